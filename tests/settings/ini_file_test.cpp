// ini_file_test.cpp - guards clsIniFile against the faults its callers would notice: wrong initial
// state, argument substitution from the instance, a stale or wrongly converted cache, defaults applied
// to present-but-empty keys, long values cut, writes that fail silently or remove more than asked, and
// settings that do not survive the start-up and shutdown sequence.
#include <gtest/gtest.h>

#include <filesystem>

#include "clsIniFile.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kDefaultCommand = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

class IniFileTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder.File("pakuto.ini");

    // An accessor bound to the test's file and section "Main", as start-up and shutdown make it.
    clsIniFile Bound() {
        clsIniFile ini;
        ini.SetPathIniFile(path);
        ini.SetSection("Main");
        return ini;
    }
};

TEST_F(IniFileTest, StartsBesideTheExecutableWithNothingElseSet) {
    const clsIniFile ini;
    EXPECT_EQ(ini.PathIniFile(), std::string(PAKUTO_TEST_BIN_DIR) + "/" + PAKUTO_TEST_BIN_NAME + ".ini");
    EXPECT_FALSE(ini.Section().has_value());
    EXPECT_FALSE(ini.Key().has_value());
    EXPECT_FALSE(ini.strValue().has_value());
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_FALSE(fs::exists(ini.PathIniFile())) << "creating the accessor must not create the file";
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndSetValueCreatesIt) {
    clsIniFile ini = Bound();
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), ".zip");
    EXPECT_EQ(ini.GetIntValue("", "", "Delete", 0), 0);
    EXPECT_EQ(ini.GetIntValue("", "", "CompEachFileAtSubFolder", 1), 1);
    EXPECT_EQ(ini.strValue(), "");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(ini.SetValue(std::string(".7z"), "", "", "Extension"));
    EXPECT_EQ(ReadBytes(path), "[Main]\nExtension=.7z\n");
}

TEST_F(IniFileTest, LongValuesAreReadWhole) {
    clsIniFile ini = Bound();
    const std::string value = std::string(300, 'a') + "END";
    ASSERT_TRUE(ini.SetValue(value, "", "", "CommandLine"));
    EXPECT_EQ(ini.GetStrValue("", "", "CommandLine", kDefaultCommand), value);
    const std::string wide = std::string(200, 'x') + std::string("圧縮").append(100, 'y');  // multi-byte text
    ASSERT_TRUE(ini.SetValue(wide, "", "", "Extension"));
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), wide);
}

TEST_F(IniFileTest, EmptyValueIsNotMissing) {
    WriteBytes(path, "[Main]\r\nExtension=\r\nCommandLine=\r\n");
    clsIniFile ini = Bound();
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), "");
    EXPECT_EQ(ini.GetStrValue("", "", "CommandLine", kDefaultCommand), "");
}

TEST_F(IniFileTest, SetValueCachesTextAndNumber) {
    clsIniFile ini = Bound();
    ASSERT_TRUE(ini.SetValue(std::string("12"), "", "", "K"));
    EXPECT_EQ(ini.strValue(), "12");
    EXPECT_EQ(ini.lngValue(), 12);
    ASSERT_TRUE(ini.SetValue(std::string("abc"), "", "", "K"));
    EXPECT_EQ(ini.strValue(), "abc");
    EXPECT_EQ(ini.lngValue(), 0);
    ASSERT_TRUE(ini.SetValue(std::string("2.5"), "", "", "K"));
    EXPECT_EQ(ini.lngValue(), 2);
    ASSERT_TRUE(ini.SetValue(std::string("3.5"), "", "", "K"));
    EXPECT_EQ(ini.lngValue(), 4);
    ASSERT_TRUE(ini.SetValue(-7, "", "", "K"));
    EXPECT_EQ(ini.strValue(), "-7");
    EXPECT_EQ(ini.lngValue(), -7);
    EXPECT_EQ(ini.GetStrValue("", "", "K", ""), "-7");
}

TEST_F(IniFileTest, NumberBeyond32BitsIsWrittenButReportedAndNotCached) {
    clsIniFile ini = Bound();
    ASSERT_TRUE(ini.SetValue(41, "", "", "K"));
    EXPECT_FALSE(ini.SetValue(int64_t{5000000000}, "", "", "K"));
    EXPECT_EQ(ini.GetStrValue("", "", "K", ""), "5000000000");
    EXPECT_EQ(ini.strValue(), "5000000000");
    EXPECT_EQ(ini.lngValue(), 41);
    EXPECT_FALSE(ini.SetValue(std::string("-3000000000"), "", "", "K"));
    EXPECT_EQ(ini.lngValue(), 41);
}

TEST_F(IniFileTest, ExplicitNamesOverrideWithoutChangingTheInstance) {
    const std::string other = folder.File("other.ini");
    clsIniFile ini = Bound();
    ini.SetKey("Current");
    ASSERT_TRUE(ini.SetValue(1, "", "", "Delete"));
    ASSERT_TRUE(ini.SetValue(2, other, "Elsewhere", "Delete"));
    EXPECT_EQ(ini.Key(), "Current");
    EXPECT_EQ(ini.Section(), "Main");
    EXPECT_EQ(ini.PathIniFile(), path);
    EXPECT_EQ(ReadBytes(path), "[Main]\nDelete=1\n");
    EXPECT_EQ(ReadBytes(other), "[Elsewhere]\nDelete=2\n");
    EXPECT_EQ(ini.GetIntValue(other, "Elsewhere", "Delete", 0), 2);
    ASSERT_TRUE(ini.SetValue(std::string("k"), "", "", ""));
    EXPECT_EQ(ini.GetStrValue("", "", "Current", ""), "k") << "an empty key name means the instance's key";
}

TEST_F(IniFileTest, SettersRefreshTheCache) {
    WriteBytes(path, "[Main]\nDelete=1\nExtension=.7z\n[Other]\nDelete=2\n");
    clsIniFile ini;
    ini.SetPathIniFile(path);
    ini.SetSection("Main");
    ini.SetKey("Delete");
    EXPECT_EQ(ini.strValue(), "1");
    EXPECT_EQ(ini.lngValue(), 1);
    ini.SetSection("Other");
    EXPECT_EQ(ini.strValue(), "2");
    EXPECT_EQ(ini.lngValue(), 2);
    ini.SetKey("Extension");
    EXPECT_EQ(ini.strValue(), "");
    ini.SetSection("Main");
    EXPECT_EQ(ini.strValue(), ".7z");
    EXPECT_EQ(ini.lngValue(), 0);
    ini.SetPathIniFile(folder.File("missing.ini"));
    EXPECT_EQ(ini.strValue(), "");
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_FALSE(fs::exists(folder.File("missing.ini")));
}

TEST_F(IniFileTest, FolderAtThePathCountsAsExistingAndReadsAsEmpty) {
    fs::create_directory(path);
    clsIniFile ini = Bound();
    ini.SetKey("Delete");
    EXPECT_EQ(ini.strValue(), "");
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_EQ(ini.GetStrValue("", "", "", ".zip"), ".zip");
    EXPECT_FALSE(ini.SetValue(1, "", "", ""));
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(IniFileTest, ValuePropertiesWriteUnderTheCurrentKey) {
    clsIniFile ini = Bound();
    ini.SetKey("Delete");
    ini.SetLngValue(2);
    EXPECT_EQ(ini.GetIntValue("", "", "", 0), 2);
    EXPECT_EQ(ini.strValue(), "2");
    ini.SetStrValue("7 apples");
    EXPECT_EQ(ini.GetStrValue("", "", "", ""), "7 apples");
    EXPECT_EQ(ini.lngValue(), 0) << "a text that is not a number as a whole caches 0";
    ini.SetValueProperty(std::string("3.5"));
    EXPECT_EQ(ini.GetStrValue("", "", "", ""), "3.5");
    EXPECT_EQ(ini.lngValue(), 4);
    ini.SetValueProperty(2.5);
    EXPECT_EQ(ini.GetStrValue("", "", "", ""), "2.5");
    EXPECT_EQ(ini.lngValue(), 2);
    ini.SetValueProperty(std::string("abc"));
    EXPECT_EQ(ini.strValue(), "abc");
    EXPECT_EQ(ini.lngValue(), 0);
    ini.SetValueProperty(int64_t{9000000000});
    EXPECT_EQ(ini.GetStrValue("", "", "", ""), "9000000000");
    EXPECT_EQ(ini.lngValue(), 0);
}

TEST_F(IniFileTest, DeleteKeyAndDeleteSection) {
    WriteBytes(path, "[A]\nx=1\n[Main]\nDelete=0\nExtension=.7z\n[B]\ny=2\n");
    clsIniFile ini = Bound();
    ini.SetKey("Delete");
    ASSERT_TRUE(ini.DeleteKey("", "", ""));
    EXPECT_FALSE(ini.strValue().has_value());
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n[Main]\nExtension=.7z\n[B]\ny=2\n");
    ASSERT_TRUE(ini.SetValue(5, "", "", ""));
    ASSERT_TRUE(ini.DeleteSection("", ""));
    EXPECT_FALSE(ini.strValue().has_value());
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n[B]\ny=2\n");
    ASSERT_TRUE(ini.DeleteSection("", "B"));
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n");
}

// Without a key the platform's write removes the whole section; a value write or a key removal with
// no key must fail instead of taking the other settings with it.
TEST_F(IniFileTest, MissingKeyNeverRemovesTheSection) {
    const std::string before = "[Main]\nDelete=1\nExtension=.7z\n";
    WriteBytes(path, before);
    clsIniFile ini = Bound();
    EXPECT_FALSE(ini.SetValue(std::string("x"), "", "", ""));
    EXPECT_FALSE(ini.DeleteKey("", "", ""));
    ini.SetStrValue("x");
    ini.SetLngValue(3);
    EXPECT_EQ(ReadBytes(path), before);
}

TEST_F(IniFileTest, FailedWritesAnswerFalseAndLeaveTheCache) {
    clsIniFile ini = Bound();
    ini.SetKey("K");
    ASSERT_TRUE(ini.SetValue(5, "", "", ""));
    const std::string nowhere = folder.File("missing/pakuto.ini");
    EXPECT_FALSE(ini.SetValue(6, nowhere, "", ""));
    EXPECT_FALSE(ini.SetValue(std::string("a\nb"), "", "", ""));
    EXPECT_EQ(ini.strValue(), "5");
    EXPECT_EQ(ini.lngValue(), 5);
    EXPECT_FALSE(ini.DeleteSection(folder.path().string(), "")) << "a folder is no settings file";
    EXPECT_EQ(ini.strValue(), "5");
    clsIniFile no_section;
    no_section.SetPathIniFile(path);
    EXPECT_FALSE(no_section.SetValue(1, "", "", "Delete"));
    EXPECT_FALSE(no_section.DeleteSection("", ""));
    EXPECT_EQ(no_section.GetIntValue("", "", "K", 9), 9) << "no section: the default";
    EXPECT_EQ(ReadBytes(path), "[Main]\nK=5\n");
}

TEST_F(IniFileTest, NulInAValueEndsTheText) {
    WriteBytes(path, std::string("[Main]\nExtension=.z\0ip\n", 23));
    clsIniFile ini = Bound();
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), ".z");
}

// The sequence start-up and shutdown run, repeated: the file gets the keys in the shutdown order, and
// long or empty values come back unchanged however often the tool starts and closes.
TEST_F(IniFileTest, SettingsSurviveRepeatedStartAndClose) {
    const std::string long_command = kDefaultCommand + " " + std::string(400, 'p');
    // What the window holds when it closes, run by run: the defaults first, then a grayed delete box,
    // an unchecked per-file box and an emptied extension box.
    int del = 0, each = 1;
    std::string ext = ".zip", cmd = kDefaultCommand;
    for (int run = 0; run < 5; ++run) {
        clsIniFile start = Bound();
        EXPECT_EQ(start.GetIntValue("", "", "Delete", 0), del) << "run " << run;
        EXPECT_EQ(start.GetIntValue("", "", "CompEachFileAtSubFolder", 1), each) << "run " << run;
        EXPECT_EQ(start.GetStrValue("", "", "Extension", ".zip"), ext) << "run " << run;
        EXPECT_EQ(start.GetStrValue("", "", "CommandLine", kDefaultCommand), cmd) << "run " << run;
        if (run == 1) {
            // Changes made in the window, and an edit of the file while the tool runs.
            del = 2, each = 0, ext = "", cmd = long_command;
            ASSERT_TRUE(start.SetValue(long_command, "", "", "CommandLine"));
        }
        clsIniFile close = Bound();
        const std::string stored_cmd = close.GetStrValue("", "", "CommandLine", kDefaultCommand);
        EXPECT_TRUE(close.SetValue(del, "", "", "Delete"));
        EXPECT_TRUE(close.SetValue(each, "", "", "CompEachFileAtSubFolder"));
        EXPECT_TRUE(close.SetValue(ext, "", "", "Extension"));
        EXPECT_TRUE(close.SetValue(stored_cmd, "", "", "CommandLine"));
        if (run == 0) {
            EXPECT_EQ(ReadBytes(path),
                      "[Main]\nDelete=0\nCompEachFileAtSubFolder=1\nExtension=.zip\nCommandLine=" +
                          kDefaultCommand + "\n");
        }
    }
    EXPECT_EQ(ReadBytes(path),
              "[Main]\nDelete=2\nCompEachFileAtSubFolder=0\nExtension=\nCommandLine=" + long_command + "\n");
}

}  // namespace
