// library_search_test.cpp - guards the start-up search for lib7-zip32.so against taking the wrong file:
// the order of the places, the current working directory never searched (also not through an empty or
// relative LD_LIBRARY_PATH element), and hits that are no usable regular file passed over.
//
// The search only checks files, so any file of that name serves as a hit here; nothing is loaded.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "executable_path.h"
#include "mSevenZip32APIs.h"
#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;
using mSevenZip32APIs::FindArchiverLibrary;
using mSevenZip32APIs::IsUsableLibraryFile;
using mSevenZip32APIs::LibrarySearchPlaces;

constexpr const char* kName = "lib7-zip32.so";

// A tree with every kind of place: root/app/bin (executable folder), root/app/lib (../lib),
// root/ld1 and root/ld2 (LD_LIBRARY_PATH), root/sys1 and root/sys2 (system folders).
struct Places {
    TempFolder root;
    std::string bin = root.MakeFolder("app/bin");
    std::string lib = root.MakeFolder("app/lib");
    std::string ld1 = root.MakeFolder("ld1");
    std::string ld2 = root.MakeFolder("ld2");
    std::string sys1 = root.MakeFolder("sys1");
    std::string sys2 = root.MakeFolder("sys2");

    LibrarySearchPlaces All() const { return {bin, ld1 + ":" + ld2, {sys1, sys2}}; }
    std::string Place(const std::string& folder) const {
        const std::string file = folder + "/" + kName;
        std::ofstream(file) << "not a library";
        return file;
    }
};

TEST(LibrarySearchOrder, EachPlaceWinsOverTheOnesAfterIt) {
    Places p;
    const std::string inBin = p.Place(p.bin);
    const std::string inLib = p.Place(p.lib);
    const std::string inLd1 = p.Place(p.ld1);
    const std::string inLd2 = p.Place(p.ld2);
    const std::string inSys1 = p.Place(p.sys1);
    const std::string inSys2 = p.Place(p.sys2);

    EXPECT_EQ(FindArchiverLibrary(p.All()), inBin);
    fs::remove(inBin);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inLib);
    fs::remove(inLib);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inLd1);
    fs::remove(inLd1);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inLd2);
    fs::remove(inLd2);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inSys1);
    fs::remove(inSys1);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inSys2);
    fs::remove(inSys2);
    EXPECT_EQ(FindArchiverLibrary(p.All()), "");
}

TEST(LibrarySearchOrder, SemicolonSeparatesLibraryPathElementsToo) {
    Places p;
    const std::string inLd2 = p.Place(p.ld2);
    EXPECT_EQ(FindArchiverLibrary({"", p.ld1 + ";" + p.ld2, {}}), inLd2);
}

TEST(LibrarySearchOrder, ResultIsTheFullNormalisedPath) {
    Places p;
    p.Place(p.ld1);
    const std::string found = FindArchiverLibrary({"", p.ld1 + "//", {}});
    EXPECT_EQ(found, p.ld1 + "/" + kName);
    EXPECT_TRUE(fs::path(found).is_absolute());
}

TEST(CurrentFolderNeverSearched, LibraryInTheWorkingFolderIsNotTaken) {
    Places p;
    TempFolder work;
    work.WriteFile(kName, "planted");
    CurrentFolder cd(work.path());
    ASSERT_TRUE(fs::exists(kName));  // the loader would find it here by its bare name
    EXPECT_EQ(FindArchiverLibrary(p.All()), "");
    EXPECT_EQ(FindArchiverLibrary({"", "", {}}), "");
}

TEST(CurrentFolderNeverSearched, EmptyLibraryPathElementsAreSkipped) {
    Places p;
    TempFolder work;
    work.WriteFile(kName, "planted");
    CurrentFolder cd(work.path());
    const std::vector<std::string> paths{":", "::", ";", ":" + p.ld1, p.ld1 + ":", p.ld1 + "::" + p.ld2};
    for (const std::string& ld : paths) {
        EXPECT_EQ(FindArchiverLibrary({"", ld, {}}), "") << "LD_LIBRARY_PATH=" << ld;
    }
    // An absolute element after an empty one is still searched.
    const std::string inLd2 = p.Place(p.ld2);
    EXPECT_EQ(FindArchiverLibrary({"", "::" + p.ld2, {}}), inLd2);
}

TEST(CurrentFolderNeverSearched, RelativeElementsAndFoldersAreSkipped) {
    TempFolder work;
    work.WriteFile(kName, "planted");
    work.WriteFile(std::string("lib/") + kName, "planted");
    work.WriteFile(std::string("bin/") + kName, "planted");
    CurrentFolder cd(work.path());
    for (const std::string ld : {".", "./", "lib", "./lib", "lib:.", "bin", "lib;."}) {
        EXPECT_EQ(FindArchiverLibrary({"", ld, {}}), "") << "LD_LIBRARY_PATH=" << ld;
    }
    // A relative executable folder or system folder counts as unknown, not as the current folder.
    EXPECT_EQ(FindArchiverLibrary({"bin", "", {}}), "");
    EXPECT_EQ(FindArchiverLibrary({".", "", {}}), "");
    EXPECT_EQ(FindArchiverLibrary({"", "", {".", "lib", ""}}), "");
}

TEST(UnusableHitsPassedOver, FolderOfTheLibraryNameIsNotAHit) {
    Places p;
    fs::create_directory(p.bin + "/" + kName);
    const std::string inLd1 = p.Place(p.ld1);
    EXPECT_FALSE(IsUsableLibraryFile(p.bin + "/" + kName));
    EXPECT_EQ(FindArchiverLibrary(p.All()), inLd1);
}

TEST(UnusableHitsPassedOver, FifoIsNotAHit) {
    Places p;
    const std::string fifo = p.lib + "/" + kName;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string inSys2 = p.Place(p.sys2);
    EXPECT_FALSE(IsUsableLibraryFile(fifo));
    EXPECT_EQ(FindArchiverLibrary(p.All()), inSys2);
}

TEST(UnusableHitsPassedOver, DanglingLinkIsNotAHitButALinkToAFileIs) {
    Places p;
    fs::create_symlink(p.root.str() + "/nowhere", p.bin + "/" + kName);
    EXPECT_FALSE(IsUsableLibraryFile(p.bin + "/" + kName));
    EXPECT_EQ(FindArchiverLibrary(p.All()), "");

    const std::string real = p.root.WriteFile("real.so", "library bytes");
    fs::create_symlink(real, p.lib + "/" + kName);
    EXPECT_EQ(FindArchiverLibrary(p.All()), p.lib + "/" + kName);
}

TEST(UnusableHitsPassedOver, HiddenNameIsNotUsable) {
    TempFolder t;
    const std::string hidden = t.WriteFile(".lib7-zip32.so", "x");
    const std::string visible = t.WriteFile("lib7-zip32.so", "x");
    EXPECT_FALSE(IsUsableLibraryFile(hidden));
    EXPECT_TRUE(IsUsableLibraryFile(visible));
    EXPECT_FALSE(IsUsableLibraryFile(t.str() + "/missing.so"));
    EXPECT_FALSE(IsUsableLibraryFile(""));
}

TEST(UnusableHitsPassedOver, UnreadableFileIsNotAHit) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file; permissions cannot make one unreadable";
    Places p;
    const std::string locked = p.Place(p.bin);
    fs::permissions(locked, fs::perms::none);
    const std::string inLd1 = p.Place(p.ld1);
    EXPECT_EQ(FindArchiverLibrary(p.All()), inLd1);
}

TEST(ProcessPlaces, ExecutableFolderAndLibraryPathComeFromThisProcess) {
    TempFolder t;
    ASSERT_EQ(setenv("LD_LIBRARY_PATH", (t.str() + ":/nonexistent").c_str(), 1), 0);
    const LibrarySearchPlaces places = mSevenZip32APIs::CurrentSearchPlaces();
    unsetenv("LD_LIBRARY_PATH");
    EXPECT_EQ(places.executableFolder, ExecutableFolder());
    EXPECT_TRUE(fs::path(places.executableFolder).is_absolute());
    EXPECT_EQ(places.ldLibraryPath, t.str() + ":/nonexistent");
    EXPECT_FALSE(places.systemFolders.empty());
    for (const auto& folder : places.systemFolders) EXPECT_TRUE(fs::path(folder).is_absolute()) << folder;
}

TEST(ProcessPlaces, LibraryPathTakenFromTheEnvironmentIsSearched) {
    TempFolder t;
    const std::string placed = t.WriteFile(kName, "x");
    ASSERT_EQ(setenv("LD_LIBRARY_PATH", t.str().c_str(), 1), 0);
    LibrarySearchPlaces places = mSevenZip32APIs::CurrentSearchPlaces();
    unsetenv("LD_LIBRARY_PATH");
    // Only the library path may hold a hit: the test program's own folder and ../lib may hold the
    // real library in a build tree, so they are left out here.
    places.executableFolder.clear();
    places.systemFolders.clear();
    EXPECT_EQ(FindArchiverLibrary(places), placed);
}

}  // namespace
