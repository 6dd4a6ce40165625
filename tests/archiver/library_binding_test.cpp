// library_binding_test.cpp - guards the binding of SevenZip: it comes from exactly the file set at
// start-up, never from a search by name (a library in the current folder or on the library path is not
// taken instead), and a file that cannot be bound gives a failure result with a reason, never a crash.
//
// The library that cannot be bound is a copy of the system's zlib (a real shared library without the
// entry point); the one that binds is the project's own lib7-zip32.so, and what it writes is read back
// with unzip.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "mSevenZip32APIs.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using mSevenZip32APIs::kArchiverNotBound;
using mSevenZip32APIs::SetArchiverLibraryPath;

constexpr const char* kName = "lib7-zip32.so";

int32_t Call(const std::string& command, std::string* output = nullptr) {
    std::array<char, 4096> buffer{};
    const int32_t result = mSevenZip32APIs::SevenZip(nullptr, command.c_str(), buffer.data(),
                                                     static_cast<int32_t>(buffer.size()));
    if (output) *output = buffer.data();
    return result;
}

// The files this process has mapped, as the kernel lists them.
std::string MappedFiles() {
    std::ifstream maps("/proc/self/maps");
    std::ostringstream text;
    text << maps.rdbuf();
    return text.str();
}

// A real shared library that has no SevenZip entry point, placed under the archiver's file name.
std::string PlaceLibraryWithoutEntryPoint(const TempFolder& folder, const std::string& relative = kName) {
    const fs::path target = folder.path() / relative;
    fs::create_directories(target.parent_path());
    fs::copy_file(PAKUTO_TEST_ZLIB, target);
    return target.string();
}

class Binding : public ::testing::Test {
protected:
    void TearDown() override { SetArchiverLibraryPath(""); }
};

TEST_F(Binding, NoPathSetGivesNotBoundWithAReason) {
    SetArchiverLibraryPath("");
    std::string reason;
    EXPECT_EQ(Call("a -tzip x.zip", &reason), kArchiverNotBound);
    EXPECT_FALSE(reason.empty());
}

TEST_F(Binding, JunkFileGivesNotBoundAndNamesThePath) {
    TempFolder t;
    const std::string junk = t.WriteFile(kName, std::string(1000, '\x7f') + "ELF? no");
    SetArchiverLibraryPath(junk);
    std::string reason;
    EXPECT_EQ(Call("a -tzip x.zip", &reason), kArchiverNotBound);
    EXPECT_NE(reason.find(junk), std::string::npos) << reason;
    // A second call tries again and fails the same way.
    EXPECT_EQ(Call("a -tzip x.zip"), kArchiverNotBound);
}

TEST_F(Binding, LibraryWithoutEntryPointGivesNotBound) {
    TempFolder t;
    const std::string lib = PlaceLibraryWithoutEntryPoint(t);
    SetArchiverLibraryPath(lib);
    std::string reason;
    EXPECT_EQ(Call("a -tzip x.zip", &reason), kArchiverNotBound);
    EXPECT_NE(reason.find("SevenZip"), std::string::npos) << reason;
}

TEST_F(Binding, FileRemovedAfterTheSearchGivesNotBound) {
    TempFolder t;
    const std::string lib = PlaceLibraryWithoutEntryPoint(t);
    SetArchiverLibraryPath(lib);
    fs::remove(lib);
    EXPECT_EQ(Call("a -tzip x.zip"), kArchiverNotBound);
}

TEST_F(Binding, FolderOrRelativePathIsNeverLoaded) {
    TempFolder t;
    PlaceLibraryWithoutEntryPoint(t);
    CurrentFolder cd(t.path());
    SetArchiverLibraryPath(kName);  // relative: would be a search
    EXPECT_EQ(Call("a"), kArchiverNotBound);
    SetArchiverLibraryPath(t.str());  // a folder
    EXPECT_EQ(Call("a"), kArchiverNotBound);
    EXPECT_EQ(MappedFiles().find(t.str()), std::string::npos);
}

TEST_F(Binding, ReasonRespectsTheOutputBuffer) {
    SetArchiverLibraryPath("/nonexistent/folder/that/is/long/" + std::string(200, 'x') + "/" + kName);
    std::array<char, 16> small;
    small.fill('#');
    EXPECT_EQ(mSevenZip32APIs::SevenZip(nullptr, "a", small.data(), 8), kArchiverNotBound);
    EXPECT_EQ(std::strlen(small.data()), 7u);
    EXPECT_EQ(small[8], '#');  // nothing written past the size given
    EXPECT_EQ(mSevenZip32APIs::SevenZip(nullptr, "a", nullptr, 100), kArchiverNotBound);
    EXPECT_EQ(mSevenZip32APIs::SevenZip(nullptr, "a", small.data(), 0), kArchiverNotBound);
    EXPECT_EQ(mSevenZip32APIs::SevenZip(nullptr, "a", small.data(), -5), kArchiverNotBound);
    EXPECT_EQ(small[8], '#');
}

#ifdef PAKUTO_TEST_ARCHIVER
// Runs the command "a -tzip -hide <archive> <folder>/ a.txt" on a fresh a.txt and says whether unzip
// reads the archive back with that one member.
bool ArchiveOneFileAndReadBack(const TempFolder& work, int32_t& result) {
    const std::string source = work.MakeFolder("src");
    work.WriteFile("src/a.txt", "hello from a real file\n");
    const std::string archive = work.str() + "/out.zip";
    result = Call("a -tzip -hide \"" + archive + "\" \"" + source + "/\" \"a.txt\"");
    if (result != 0) return false;
    const std::string check =
        "unzip -tqq '" + archive + "' >/dev/null 2>&1 && unzip -Z1 '" + archive + "' | grep -qx 'a.txt'";
    return std::system(check.c_str()) == 0;
}

TEST_F(Binding, BindsTheExactFileAndItsArchiveReadsBack) {
    TempFolder libFolder;
    const std::string lib = libFolder.str() + "/" + kName;
    fs::copy_file(PAKUTO_TEST_ARCHIVER, lib);
    SetArchiverLibraryPath(lib);
    TempFolder work;
    int32_t result = -2;
    EXPECT_TRUE(ArchiveOneFileAndReadBack(work, result)) << "result " << result;
    EXPECT_EQ(result, 0);
    EXPECT_NE(MappedFiles().find(lib), std::string::npos);
}

TEST_F(Binding, LibraryFoundByNameElsewhereIsNotTakenInstead) {
    // The test runs with LD_LIBRARY_PATH naming the build's library folder, so a load by name would
    // find the real archiver there; the working folder holds another copy. The path set at start-up
    // names a library without the entry point: binding must fail rather than fall back on a search.
    void* byName = dlopen(kName, RTLD_LAZY | RTLD_LOCAL);
    if (byName == nullptr) GTEST_SKIP() << "run through ctest: the loader must find " << kName << " by name";
    dlclose(byName);
    TempFolder planted;
    fs::copy_file(PAKUTO_TEST_ARCHIVER, planted.path() / kName);
    CurrentFolder cd(planted.path());
    TempFolder checked;
    SetArchiverLibraryPath(PlaceLibraryWithoutEntryPoint(checked));
    TempFolder work;
    int32_t result = -2;
    EXPECT_FALSE(ArchiveOneFileAndReadBack(work, result));
    EXPECT_EQ(result, kArchiverNotBound);
    EXPECT_FALSE(fs::exists(work.path() / "out.zip"));
    EXPECT_EQ(MappedFiles().find(planted.str()), std::string::npos);
}

TEST_F(Binding, SettingAnotherPathRebinds) {
    TempFolder t;
    SetArchiverLibraryPath(PlaceLibraryWithoutEntryPoint(t, "a/lib7-zip32.so"));
    EXPECT_EQ(Call("a"), kArchiverNotBound);
    const std::string lib = t.str() + "/b/" + kName;
    fs::create_directories(t.path() / "b");
    fs::copy_file(PAKUTO_TEST_ARCHIVER, lib);
    SetArchiverLibraryPath(lib);
    TempFolder work;
    int32_t result = -2;
    EXPECT_TRUE(ArchiveOneFileAndReadBack(work, result)) << "result " << result;
}

TEST_F(Binding, LibraryFailureComesBackAsItsOwnResult) {
    SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER);
    TempFolder work;
    // A file that does not exist: the library's own failure, not a binding failure.
    const std::string command =
        "a -tzip -hide \"" + work.str() + "/x.zip\" \"" + work.str() + "/\" \"nope.txt\"";
    const int32_t result = Call(command);
    EXPECT_NE(result, 0);
    EXPECT_NE(result, kArchiverNotBound);
    EXPECT_FALSE(fs::exists(work.path() / "x.zip"));
}
#endif

}  // namespace
