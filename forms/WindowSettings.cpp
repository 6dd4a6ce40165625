// WindowSettings.cpp - the four settings, read at start-up and written at close through clsIniFile.
#include "WindowSettings.h"

#include "clsIniFile.h"

namespace forms {

namespace {

// A fresh accessor on `file`, section "Main".
clsIniFile MainSection(const std::string& file) {
    clsIniFile ini;
    ini.SetPathIniFile(file);
    ini.SetSection(kSection);
    return ini;
}

}  // namespace

int CheckStateFromSetting(int stored, int defaultState) {
    return stored >= 0 && stored <= 2 ? stored : defaultState;
}

WindowSettings ReadWindowSettings(const std::string& file) {
    WindowSettings settings;
    if (file.empty()) return settings;
    clsIniFile ini = MainSection(file);
    settings.deleteState =
        CheckStateFromSetting(ini.GetIntValue("", "", kKeyDelete, kDefaultDelete), kDefaultDelete);
    settings.eachFileState =
        CheckStateFromSetting(ini.GetIntValue("", "", kKeyEachFile, kDefaultEachFile), kDefaultEachFile);
    settings.extension = ini.GetStrValue("", "", kKeyExtension, kDefaultExtension);
    settings.commandLine = ini.GetStrValue("", "", kKeyCommandLine, kDefaultCommandLine);
    return settings;
}

void WriteWindowSettings(const std::string& file, const WindowSettings& settings) {
    if (file.empty()) return;
    clsIniFile ini = MainSection(file);
    // The command prefix is read back from the file as it is now, so an edit made there while the tool
    // ran survives; the tool itself never changes it.
    const std::string commandLine = ini.GetStrValue("", "", kKeyCommandLine, kDefaultCommandLine);
    ini.SetValue(settings.deleteState, "", "", kKeyDelete);
    ini.SetValue(settings.eachFileState, "", "", kKeyEachFile);
    ini.SetValue(settings.extension, "", "", kKeyExtension);
    ini.SetValue(commandLine, "", "", kKeyCommandLine);
}

}  // namespace forms
