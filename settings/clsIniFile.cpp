// clsIniFile.cpp - the profile file accessor: argument substitution from the instance, the value cache,
// and error-free writes that report failure through their result.
#include "clsIniFile.h"

#include "executable_path.h"
#include "profile_file.h"

namespace {

// An empty argument stands for the instance's own name, which may be absent.
std::optional<std::string> Pick(const std::string& argument, const std::optional<std::string>& field) {
    if (!argument.empty()) return argument;
    return field;
}

std::string PickPath(const std::string& argument, const std::string& field) {
    return argument.empty() ? field : argument;
}

ProfileName AsName(const std::optional<std::string>& name) {
    if (!name) return std::nullopt;
    return std::string_view(*name);
}

}  // namespace

clsIniFile::clsIniFile() : PathIniFile_(PathBesideExecutable(".ini")) {}

void clsIniFile::SetPathIniFile(const std::string& vNewValue) {
    PathIniFile_ = vNewValue;
    RefreshValue();
}

void clsIniFile::SetSection(const std::optional<std::string>& vNewValue) {
    Section_ = vNewValue;
    RefreshValue();
}

void clsIniFile::SetKey(const std::optional<std::string>& vNewValue) {
    Key_ = vNewValue;
    RefreshValue();
}

void clsIniFile::SetStrValue(const std::string& vNewValue) {
    strValue_ = vNewValue;
    SetValue(vNewValue, "", "", "");
}

void clsIniFile::SetLngValue(int32_t vNewValue) {
    lngValue_ = vNewValue;
    SetValue(vNewValue, "", "", "");
}

void clsIniFile::SetValueProperty(const IniValue& vNewValue) {
    lngValue_ = 0;
    strValue_ = std::string();
    try {
        std::string text = IniValueText(vNewValue);
        if (IsNumericValue(vNewValue)) {
            if (const auto number = LeadingNumberToInt32(text)) lngValue_ = *number;
        }
        strValue_ = text;
        SetValue(std::move(text), "", "", "");
    } catch (...) {
        // A failed step leaves the cache as far as it got; the property never throws.
    }
}

bool clsIniFile::SetValue(const IniValue& vValue, const std::string& IniFilePath,
                          const std::string& SectionName, const std::string& KeyName) {
    try {
        const auto key = Pick(KeyName, Key_);
        const auto section = Pick(SectionName, Section_);
        const std::string path = PickPath(IniFilePath, PathIniFile_);
        // Without a key the platform's write would remove the whole section; a value write never may.
        if (!key) return false;
        std::string text = IniValueText(vValue);
        if (!WriteProfileString(AsName(section), AsName(key), std::string_view(text), path)) return false;
        strValue_ = text;
        if (!IsNumericValue(vValue)) {
            lngValue_ = 0;
            return true;
        }
        const auto number = LeadingNumberToInt32(text);
        if (!number) return false;  // written, but the number does not fit 32 bits
        lngValue_ = *number;
        return true;
    } catch (...) {
        return false;
    }
}

std::string clsIniFile::GetStrValue(const std::string& IniFilePath, const std::string& SectionName,
                                    const std::string& KeyName, const std::string& strDef) {
    return ReadProfileString(Pick(SectionName, Section_), Pick(KeyName, Key_),
                             PickPath(IniFilePath, PathIniFile_), strDef);
}

int clsIniFile::GetIntValue(const std::string& IniFilePath, const std::string& SectionName,
                            const std::string& KeyName, int lngDef) {
    return ReadProfileInt(AsName(Pick(SectionName, Section_)), AsName(Pick(KeyName, Key_)), lngDef,
                          PickPath(IniFilePath, PathIniFile_));
}

bool clsIniFile::DeleteKey(const std::string& IniFilePath, const std::string& SectionName,
                           const std::string& KeyName) {
    try {
        const auto key = Pick(KeyName, Key_);
        const auto section = Pick(SectionName, Section_);
        const std::string path = PickPath(IniFilePath, PathIniFile_);
        // Without a key the platform's removal takes the whole section; removing a key never may.
        if (!key) return false;
        if (!WriteProfileString(AsName(section), AsName(key), std::nullopt, path)) return false;
        strValue_.reset();
        lngValue_ = 0;
        return true;
    } catch (...) {
        return false;
    }
}

bool clsIniFile::DeleteSection(const std::string& IniFilePath, const std::string& SectionName) {
    try {
        const auto section = Pick(SectionName, Section_);
        const std::string path = PickPath(IniFilePath, PathIniFile_);
        if (!WriteProfileString(AsName(section), std::nullopt, std::nullopt, path)) return false;
        strValue_.reset();
        lngValue_ = 0;
        return true;
    } catch (...) {
        return false;
    }
}

void clsIniFile::RefreshValue() {
    if (IniFileExists(PathIniFile_)) {
        strValue_ = ReadProfileString(Section_, Key_, PathIniFile_, "");
        lngValue_ = ReadProfileInt(AsName(Section_), AsName(Key_), 0, PathIniFile_);
    } else {
        strValue_ = std::string();
        lngValue_ = 0;
    }
}

// One read of a text value: the value whole, or the default when the key is missing. Like a text
// buffer, the result ends at the first NUL byte a damaged file may hold.
std::string clsIniFile::ReadProfileString(const std::optional<std::string>& section,
                                          const std::optional<std::string>& key, const std::string& file,
                                          const std::string& strDefault) const {
    std::string value = ::ReadProfileString(AsName(section), AsName(key), strDefault, file);
    if (const size_t nul = value.find('\0'); nul != std::string::npos) value.resize(nul);
    return value;
}

bool clsIniFile::IniFileExists(const std::string& path) {
    return ProfilePathExists(path);
}
