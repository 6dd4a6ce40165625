// ini_file_test.cpp - guards clsIniFile against the faults its callers would notice: wrong initial
// state, argument substitution from the instance, a stale cache, defaults applied to present-but-empty
// keys, long values cut, writes that fail silently or remove more than asked (a missing key), and
// numbers converted wrongly into the cache. (The start-up and shutdown sequence through the real window
// is guarded in tests/app.)
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

// The cache as one value: strValue ("<null>" when absent) and lngValue.
using CacheValue = std::pair<std::string, int32_t>;
CacheValue Cache(const clsIniFile& ini) {
    return {ini.strValue().value_or("<null>"), ini.lngValue()};
}

TEST_F(IniFileTest, StartsBesideTheExecutableWithNothingElseSet) {
    const clsIniFile ini;
    EXPECT_EQ(ini.PathIniFile(), std::string(PAKUTO_TEST_BIN_DIR) + "/" + PAKUTO_TEST_BIN_NAME + ".ini");
    EXPECT_FALSE(ini.Section().has_value());
    EXPECT_FALSE(ini.Key().has_value());
    EXPECT_FALSE(ini.strValue().has_value());
    EXPECT_EQ(ini.lngValue(), 0);
    EXPECT_FALSE(fs::exists(ini.PathIniFile())) << "creating the accessor must not create the file";
}

TEST_F(IniFileTest, DefaultsOnlyForMissingKeys) {
    clsIniFile ini = Bound();
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), ".zip");
    EXPECT_EQ(ini.GetIntValue("", "", "CompEachFileAtSubFolder", 1), 1);
    EXPECT_FALSE(fs::exists(path)) << "reading must not create the file";
    WriteBytes(path, "[Main]\r\nExtension=\r\nCommandLine=\r\n");
    EXPECT_EQ(ini.GetStrValue("", "", "Extension", ".zip"), "");
    EXPECT_EQ(ini.GetStrValue("", "", "CommandLine", kDefaultCommand), "");
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

// Each way of storing a value under the current key, over a cached 41: the text in the file, the cache
// it leaves, and SetValue's answer (a number beyond 32 bits is written but reported, its number not
// cached).
enum class Via { SetValue, ValueProperty, StrValue, LngValue };
struct StoreCase {
    const char* name;
    Via via;
    IniValue value;
    const char* text;
    int32_t lng;
    bool answer = true;
};

TEST_F(IniFileTest, StoredValuesAreCachedAsTextAndNumber) {
    const StoreCase cases[] = {
        {"number text", Via::SetValue, std::string("12"), "12", 12},
        {"plain text", Via::SetValue, std::string("abc"), "abc", 0},
        {"tie to even down", Via::SetValue, std::string("2.5"), "2.5", 2},
        {"tie to even up", Via::SetValue, std::string("3.5"), "3.5", 4},
        {"negative integer", Via::SetValue, -7, "-7", -7},
        {"integer beyond 32 bits", Via::SetValue, int64_t{5000000000}, "5000000000", 41, false},
        {"text beyond 32 bits", Via::SetValue, std::string("-3000000000"), "-3000000000", 41, false},
        {"property: tie", Via::ValueProperty, std::string("3.5"), "3.5", 4},
        {"property: double", Via::ValueProperty, 2.5, "2.5", 2},
        {"property: text", Via::ValueProperty, std::string("abc"), "abc", 0},
        {"property: beyond 32 bits gives 0", Via::ValueProperty, int64_t{9000000000}, "9000000000", 0},
        {"text with a leading number is no number", Via::StrValue, std::string("7 apples"), "7 apples", 0},
        {"integer property", Via::LngValue, 2, "2", 2},
    };
    for (const StoreCase& c : cases) {
        clsIniFile ini = Bound();
        ini.SetKey("K");
        ASSERT_TRUE(ini.SetValue(41, "", "", ""));
        if (c.via == Via::SetValue) {
            EXPECT_EQ(ini.SetValue(c.value, "", "", ""), c.answer) << c.name;
        }
        if (c.via == Via::ValueProperty) ini.SetValueProperty(c.value);
        if (c.via == Via::StrValue) ini.SetStrValue(c.text);
        if (c.via == Via::LngValue) ini.SetLngValue(c.lng);
        EXPECT_EQ(ini.GetStrValue("", "", "", "<missing>"), c.text) << c.name;
        EXPECT_EQ(Cache(ini), CacheValue(c.text, c.lng)) << c.name;
    }
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
    EXPECT_EQ(Cache(ini), CacheValue("1", 1));
    ini.SetSection("Other");
    EXPECT_EQ(Cache(ini), CacheValue("2", 2));
    ini.SetKey("Extension");
    EXPECT_EQ(Cache(ini), CacheValue("", 0));
    ini.SetSection("Main");
    EXPECT_EQ(Cache(ini), CacheValue(".7z", 0));
    ini.SetPathIniFile(folder.File("missing.ini"));
    EXPECT_EQ(Cache(ini), CacheValue("", 0));
    EXPECT_FALSE(fs::exists(folder.File("missing.ini")));
}

TEST_F(IniFileTest, DeleteKeyAndDeleteSectionClearTheCache) {
    WriteBytes(path, "[A]\nx=1\n[Main]\nDelete=0\nExtension=.7z\n[B]\ny=2\n");
    clsIniFile ini = Bound();
    ini.SetKey("Delete");
    ASSERT_TRUE(ini.DeleteKey("", "", ""));
    EXPECT_EQ(Cache(ini), CacheValue("<null>", 0));
    EXPECT_EQ(ReadBytes(path), "[A]\nx=1\n[Main]\nExtension=.7z\n[B]\ny=2\n");
    ASSERT_TRUE(ini.SetValue(5, "", "", ""));
    ASSERT_TRUE(ini.DeleteSection("", ""));
    EXPECT_EQ(Cache(ini), CacheValue("<null>", 0));
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
    EXPECT_FALSE(ini.DeleteSection(folder.path().string(), "")) << "a folder is no settings file";
    EXPECT_EQ(Cache(ini), CacheValue("5", 5));
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

}  // namespace
