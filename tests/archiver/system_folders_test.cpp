// system_folders_test.cpp - guards the reading of the loader's configuration for the system library
// folders: include lines followed in order, comments and directives ignored, relative entries (which
// would mean the current folder) dropped, include cycles ended, and the built-in folders last.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mSevenZip32APIs.h"
#include "temp_folder.h"

namespace {

using mSevenZip32APIs::SystemLibraryFolders;

// The loader's built-in folders that always close the list, in their order.
std::vector<std::string> BuiltInTail(const std::vector<std::string>& folders) {
    const auto at = std::find(folders.begin(), folders.end(), "/lib");
    return {at, folders.end()};
}

TEST(SystemFolders, IncludedFilesAreReadInSortedOrderAtTheirPlace) {
    TempFolder t;
    t.WriteFile("conf.d/20-b.conf", "/opt/b\n");
    t.WriteFile("conf.d/10-a.conf", "# a comment\n/opt/a1\n\n   /opt/a2   # trailing comment\n");
    t.WriteFile("conf.d/ignored.txt", "/opt/not-conf\n");
    const std::string conf =
        t.WriteFile("ld.so.conf", "/opt/first\ninclude " + t.str() + "/conf.d/*.conf\n/opt/last\n");

    const auto folders = SystemLibraryFolders(conf);
    ASSERT_GE(folders.size(), 5u);
    const std::vector<std::string> head(folders.begin(), folders.begin() + 5);
    EXPECT_EQ(head, (std::vector<std::string>{"/opt/first", "/opt/a1", "/opt/a2", "/opt/b", "/opt/last"}));
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/opt/not-conf"), 0);
}

TEST(SystemFolders, RelativeIncludeIsTakenFromTheConfigurationFolder) {
    TempFolder t;
    t.WriteFile("conf.d/x.conf", "/opt/x\n");
    const std::string conf = t.WriteFile("ld.so.conf", "include conf.d/*.conf\n");
    const auto folders = SystemLibraryFolders(conf);
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), "/opt/x");
}

TEST(SystemFolders, RelativeEntriesAndDirectivesAreDropped) {
    TempFolder t;
    const std::string conf =
        t.WriteFile("ld.so.conf", "lib\n.\n./here\nhwcap 1 nosegneg\n/opt/typed=libc6\n\t/opt/tabbed\t\n");
    const auto folders = SystemLibraryFolders(conf);
    for (const auto& folder : folders) EXPECT_EQ(folder.front(), '/') << folder;
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders[0], "/opt/typed");
    EXPECT_EQ(folders[1], "/opt/tabbed");
}

TEST(SystemFolders, IncludeCycleEndsAndDuplicatesAppearOnce) {
    TempFolder t;
    const std::string self = t.str() + "/ld.so.conf";
    t.WriteFile("ld.so.conf", "/opt/loop\ninclude " + self + "\n/lib\n");
    const auto folders = SystemLibraryFolders(self);
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/opt/loop"), 1);
    EXPECT_EQ(std::count(folders.begin(), folders.end(), "/lib"), 1);
}

TEST(SystemFolders, BuiltInFoldersCloseTheListEvenWithoutConfiguration) {
    TempFolder t;
    const auto folders = SystemLibraryFolders(t.str() + "/missing.conf");
    ASSERT_FALSE(folders.empty());
    const auto tail = BuiltInTail(folders);
    EXPECT_EQ(tail, (std::vector<std::string>{"/lib", "/usr/lib"}));
    // The multiarch folders come first, when the build knows the architecture.
    if (folders.size() > 2) {
        EXPECT_EQ(folders[0].rfind("/lib/", 0), 0u) << folders[0];
        EXPECT_EQ(folders[1].rfind("/usr/lib/", 0), 0u) << folders[1];
    }
}

TEST(SystemFolders, BinaryJunkNeverGivesARelativeFolder) {
    TempFolder t;
    std::string junk;
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 37 + 11) % 256);
    const std::string conf = t.WriteFile("ld.so.conf", junk);
    const auto folders = SystemLibraryFolders(conf);
    for (const auto& folder : folders) EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(BuiltInTail(folders), (std::vector<std::string>{"/lib", "/usr/lib"}));
}

}  // namespace
