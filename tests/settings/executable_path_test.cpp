// executable_path_test.cpp - guards where the program believes it lives: the settings file and the
// archiver library are looked for there, so a wrong folder or base name loses the settings or loads
// the wrong library. Checked against the build's own output folder and against a copy of a helper
// program started from a temporary folder, under a dotted name and through a symbolic link.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "executable_path.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> RunAndReadLines(const std::string& program, const std::string& argument = "") {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(("'" + program + "' " + argument).c_str(), "r");
    if (pipe == nullptr) return lines;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    ::pclose(pipe);
    return lines;
}

TEST(ExecutablePath, NamesThisTestProgram) {
    const std::string folder = fs::canonical(PAKUTO_TEST_BIN_DIR).string();
    EXPECT_EQ(ExecutableFolder(), folder);
    EXPECT_EQ(ExecutableBaseName(), "executable_path_test");
    EXPECT_EQ(ExecutablePath(), folder + "/executable_path_test");
}

TEST(ExecutablePath, CopyUnderADottedNameInAnotherFolder) {
    TempFolder temp;
    fs::create_directory(temp.path() / "some dir");
    const std::string copy = (temp.path() / "some dir" / "tool.v2.bin").string();
    fs::copy_file(PAKUTO_HELPER_PROGRAM, copy);
    const auto lines = RunAndReadLines(copy);
    ASSERT_EQ(lines.size(), 3u);
    const std::string folder = fs::canonical(temp.path() / "some dir").string();
    EXPECT_EQ(lines[0], folder + "/tool.v2.bin");
    EXPECT_EQ(lines[1], folder);
    EXPECT_EQ(lines[2], "tool.v2");
}

TEST(ExecutablePath, ThroughASymbolicLinkNamesTheRealFile) {
    TempFolder temp;
    fs::create_directory(temp.path() / "real");
    const std::string copy = (temp.path() / "real" / "pakuto").string();
    fs::copy_file(PAKUTO_HELPER_PROGRAM, copy);
    const std::string link = (temp.path() / "launcher.sh").string();
    fs::create_symlink(copy, link);
    const auto lines = RunAndReadLines(link);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], fs::canonical(temp.path() / "real").string());
    EXPECT_EQ(lines[2], "pakuto");
}

TEST(ExecutablePath, NameStartingWithADotIsKeptWhole) {
    TempFolder temp;
    const std::string copy = (temp.path() / ".hidden").string();
    fs::copy_file(PAKUTO_HELPER_PROGRAM, copy);
    const auto lines = RunAndReadLines(copy);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], ".hidden");
}

TEST(ExecutablePath, RemovedWhileRunningKeepsItsName) {
    TempFolder temp;
    const std::string copy = (temp.path() / "pakuto").string();
    fs::copy_file(PAKUTO_HELPER_PROGRAM, copy);
    const auto lines = RunAndReadLines(copy, "--delete-self");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_FALSE(fs::exists(copy)) << "the helper did not remove itself";
    EXPECT_EQ(lines[0], fs::canonical(temp.path()).string() + "/pakuto");
    EXPECT_EQ(lines[2], "pakuto") << "the settings file would become \"pakuto (deleted).ini\"";
}

}  // namespace
