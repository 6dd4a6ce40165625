// executable_path_test.cpp - guards where the program believes it lives: the settings file and the
// archiver library are looked for there, so a wrong folder or base name loses the settings or loads
// the wrong library. Checked against the build's own output folder and against a copy of a helper
// program started from a temporary folder: under a dotted name, through a symbolic link, and removed
// while running.
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

// A copy of the helper program, started as `started` (a link to the copy when that differs), with
// an optional argument; the folder and base name it must report.
struct CopyCase {
    const char* name;
    const char* copy;
    const char* started;
    const char* argument;
    const char* folder;
    const char* base;
};

TEST(ExecutablePath, CopiesStartedElsewhere) {
    const CopyCase cases[] = {
        {"dotted name in a folder with a space", "some dir/tool.v2.bin", "some dir/tool.v2.bin", "",
         "some dir", "tool.v2"},
        {"through a symbolic link: the real file", "real/pakuto", "launcher.sh", "", "real", "pakuto"},
        {"name starting with a dot is kept whole", ".hidden", ".hidden", "", "", ".hidden"},
        // Not "pakuto (deleted)", which would name another settings file.
        {"removed while running keeps its name", "pakuto", "pakuto", "--delete-self", "", "pakuto"},
    };
    for (const CopyCase& c : cases) {
        TempFolder temp;
        const fs::path copy = temp.path() / c.copy;
        fs::create_directories(copy.parent_path());
        fs::copy_file(PAKUTO_HELPER_PROGRAM, copy);
        const fs::path started = temp.path() / c.started;
        if (started != copy) fs::create_symlink(copy, started);
        const std::string folder = fs::canonical(temp.path() / c.folder).string();
        EXPECT_EQ(RunAndReadLines(started.string(), c.argument),
                  (std::vector<std::string>{folder + "/" + copy.filename().string(), folder, c.base}))
            << c.name;
        if (*c.argument != '\0') {
            EXPECT_FALSE(fs::exists(copy)) << "the helper did not remove itself";
        }
    }
}

}  // namespace
