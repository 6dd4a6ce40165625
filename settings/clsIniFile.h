// clsIniFile.h - accessor for one profile (INI) file: remembers a file, section and key, and caches the
// value last read or written under them.
//
// Start-up and shutdown each use a fresh instance:
//     clsIniFile ini;                      // file: <executable folder>\<executable base name>.ini
//     ini.SetPathIniFile(path);
//     ini.SetSection("Main");
//     int n = ini.GetIntValue("", "", "Delete", 0);
//     ini.SetValue(std::string(".zip"), "", "", "Extension");
//
// In every method an empty IniFilePath, SectionName or KeyName means "use this instance's PathIniFile,
// Section or Key"; the substitution is done argument by argument. An absent Section or Key then reads as
// the default and makes writes fail.
//
// Reads never fail: a missing file, section or key, or a file that cannot be read, gives the default.
// Values are returned whole, however long. Writes never throw: SetValue, DeleteKey and DeleteSection
// answer false when the file could not be changed (the file is then left exactly as it was) or when a
// number does not fit 32 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ini_value.h"

class clsIniFile {
public:
    // PathIniFile starts as the executable folder + the platform's separator ("\\" on Windows, "/"
    // elsewhere) + executable base name + ".ini"; the file is not read until a setter asks for it.
    clsIniFile();

    const std::string& PathIniFile() const { return PathIniFile_; }
    const std::optional<std::string>& Section() const { return Section_; }
    const std::optional<std::string>& Key() const { return Key_; }
    const std::optional<std::string>& strValue() const { return strValue_; }
    int32_t lngValue() const { return lngValue_; }

    // Store the new name, then reload the cache (strValue, lngValue) from the file for the current
    // path, section and key; a missing path gives empty text and 0.
    void SetPathIniFile(const std::string& vNewValue);
    void SetSection(const std::optional<std::string>& vNewValue);
    void SetKey(const std::optional<std::string>& vNewValue);

    // Store the text (or number) in the cache, then write it under the current path, section and key
    // as SetValue(value, "", "", "") does.
    void SetStrValue(const std::string& vNewValue);
    void SetLngValue(int32_t vNewValue);

    // The Value property: clears the cache (empty text, 0), converts a numeric value to lngValue
    // (leading number of its text, rounded to nearest, ties to even), stores the text form in strValue
    // and writes it under the current key. Never throws; failed steps are skipped.
    void SetValueProperty(const IniValue& vNewValue);

    // Writes the text form of vValue under the key. On success strValue becomes that text and lngValue
    // its numeric conversion (0 for text that is not a number); result true. Result false, with the file
    // unchanged and the cache untouched, when the write fails; result false, with the key written and
    // strValue set but lngValue unchanged, when a numeric value does not fit 32 bits.
    bool SetValue(const IniValue& vValue, const std::string& IniFilePath, const std::string& SectionName,
                  const std::string& KeyName);

    // The value of the key, whole; strDef when the key is missing (a key with an empty value reads as
    // empty). The cache is not touched.
    std::string GetStrValue(const std::string& IniFilePath, const std::string& SectionName,
                            const std::string& KeyName, const std::string& strDef);

    // The leading integer of the key's value ("12abc" -> 12, "0x10" -> 16, "abc" -> 0); lngDef when
    // the key is missing or empty. The cache is not touched.
    int GetIntValue(const std::string& IniFilePath, const std::string& SectionName,
                    const std::string& KeyName, int lngDef);

    // Remove the key, or the whole section with its keys and comments. Result true when the file no
    // longer holds it (also when it never did); the cache is cleared (strValue absent, lngValue 0).
    // Result false, file and cache unchanged, when the file could not be rewritten.
    bool DeleteKey(const std::string& IniFilePath, const std::string& SectionName,
                   const std::string& KeyName);
    bool DeleteSection(const std::string& IniFilePath, const std::string& SectionName);

private:
    void RefreshValue();
    std::string ReadProfileString(const std::optional<std::string>& section,
                                  const std::optional<std::string>& key, const std::string& file,
                                  const std::string& strDefault) const;
    static bool IniFileExists(const std::string& path);

    std::string PathIniFile_;
    std::optional<std::string> Section_;
    std::optional<std::string> Key_;
    std::optional<std::string> strValue_;
    int32_t lngValue_ = 0;
};
