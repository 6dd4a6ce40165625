// library_test.cpp - the archiver library through its C entry point and its driver: what a command
// stores and under which names, how bad commands and faults end (a result code, nothing published,
// nothing existing replaced, no temporary file left), and the path forms it takes. Built for Linux
// (with library_posix_test.cpp) and for Windows, where it runs under Wine (tests/windows/run_wine.py):
// rows marked for one platform run there only, and on Windows the archives made are left in the folder
// PAKUTO_WINE_ARCHIVES names for unzip -t, bsdtar -tf and Python's zipfile on the Linux side.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "library_tree.h"
#include "sevenzip32.h"
#include "support.h"
#include "write_fault.h"

namespace {

using Tree = ts::LibraryTree;
using ts::On;
using ts::Zip;

// Japanese with a character whose second byte in code page 932 is a backslash (0x5C): the name stays
// one name.
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE8\xA1\xA8.jp";

struct StoreRow {
    const char* switches;
    std::string operands;
    std::vector<std::string> names;
    On on = On::Both;
    const char* target = "\"{A}\" \"{S}\"";  // the archive and base folder, spelled as Fill() takes them
};

std::string Fill(std::string text, const Tree& t);

// The names stored, and the path forms taken: doubled separators, a folder deeper than MAX_PATH, and on
// Windows backslashes, the "\\?\" form and UNC paths.
TEST(Library, StoresWhatTheCommandNames) {
    const std::vector<std::string> subTree = {"sub/", "sub/deep/", "sub/deep/w.txt", "sub/z.txt"};
    const StoreRow rows[] = {
        {"-mx=1", "x.txt", {"x.txt"}},
        {"-mx=0", "x.txt y.log", {"x.txt", "y.log"}},
        {"-mx=9", "sub", subTree},
        {"-mx=1", "empty", {"empty/"}},
        {"-mx=1", "?.log", {"y.log"}},
        {"-mx=1", "*.txt", {"x.txt"}},
        {"-mx=1 -ir!*.txt", "", {"sub/deep/w.txt", "sub/z.txt", "x.txt"}},
        {"-mx=1 -ir!w.*", "", {"sub/deep/w.txt"}},
        {"-mx=1 -spd", "a*b", {"a*b"}, On::Posix},
        {"-mx=1", "-- -lead", {"-lead"}},
        {"-mx=1", "\"sub/deep/w.txt\"", {"sub/deep/w.txt"}},
        {"-mx=1", "\"" + kJapanese + "\"", {kJapanese}},
        {"-mx=1", "sub\\deep\\w.txt", {"sub/deep/w.txt"}, On::Windows},
        {"-mx=1", "x.txt", {"x.txt"}, On::Both, "\"{A}\" \"{F}//\""},
        {"-mx=1", "f.txt", {"f.txt"}, On::Both, "\"{A}\" \"{D}/\""},
        {"-mx=1", "x.txt", {"x.txt"}, On::Windows, "\"{A}\" \"{F}\\\""},
        {"-mx=1", "sub\\z.txt", {"sub/z.txt"}, On::Windows, "\"{A}\" \"{F}\\\\\""},
        {"-mx=1", "x.txt", {"x.txt"}, On::Windows, "\"\\\\?\\{A}\" \"{F}\\\""},
        {"-mx=1",
         "x.txt sub\\deep",
         {"sub/deep/", "sub/deep/w.txt", "x.txt"},
         On::Windows,
         "\"{UA}\" \"{US}\\\""},
    };
    for (const StoreRow& row : rows) {
        if (!ts::RunsHere(row.on)) continue;
        Tree t;
        const std::string command =
            "a -tzip -hide " + std::string(row.switches) + " " + Fill(row.target, t) + " " + row.operands;
        SCOPED_TRACE(command);
        ASSERT_EQ(Zip(command), SEVENZIP_OK);
        const ts::ZipReport zip = ts::ReadZip(t.A);
        EXPECT_TRUE(zip.ok && ts::UnzipTests(t.A) && ts::BsdtarLists(t.A));
        EXPECT_EQ(zip.Names(), row.names);
        for (const std::string& name : row.names) {
            const ts::ZipEntry* e = zip.Find(name);
            if (e != nullptr && name.back() != '/') {
                EXPECT_EQ(e->content, "data of " + name);
            }
            if (e != nullptr) {
                EXPECT_EQ(e->utf8Flag,
                          std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; }));
            }
        }
        EXPECT_TRUE(t.OutHolds(true));
    }
}

TEST(Library, DriverRunsOneCommand) {
    Tree t;
    std::string output;
    EXPECT_EQ(ts::Run({PAKUTO_TEST_DRIVER, t.Prefix() + "x.txt"}, &output), 0) << output;
    EXPECT_EQ(ts::ReadZip(t.A).Names(), std::vector<std::string>{"x.txt"});
    EXPECT_EQ(ts::Run({PAKUTO_TEST_DRIVER, t.Prefix() + "missing"}), 1);
    EXPECT_EQ(ts::Run({PAKUTO_TEST_DRIVER}), 1);
    // A character its code page lacks is refused, never made a look-alike ("xe.txt") or a wildcard.
    Tree u;
    ts::WriteFile(u.S + "/xe.txt", "data of xe.txt");
    EXPECT_EQ(ts::Run({PAKUTO_TEST_DRIVER, u.Prefix() + "x\xC3\xA9.txt"}), 1);
    EXPECT_TRUE(u.OutHolds(false));
}

struct ErrorRow {
    const char* command;  // as Fill() takes it
    int result;           // -1: any failure
    On on = On::Both;
};

// {A}: the archive, {S}: the source folder with its '/', {F}: the source folder alone, all in the
// platform's spelling; {N}: an archive name longer than a file system takes; {D}: a folder beside
// S/ deeper than MAX_PATH holding f.txt; {UA}, {US}: the archive and source folder as UNC paths.
std::string Fill(std::string text, const Tree& t) {
    const std::string tooLong = t.out + "/" + std::string(252, 'n') + ".zip";
    std::string deep = t.dir / "deep";
    ts::MakeDir(deep);
    for (int i = 0; i < 6; ++i) ts::MakeDir(deep += "/long-folder-name-" + std::string(40, 'd'));
    ts::WriteFile(deep + "/f.txt", "data of f.txt");
    for (const auto& [key, value] :
         {std::pair{"{A}", ts::NativePath(t.A)}, std::pair{"{S}", ts::NativePath(t.S) + "/"},
          std::pair{"{F}", ts::NativePath(t.S)}, std::pair{"{N}", tooLong},
          std::pair{"{D}", ts::NativePath(deep)}, std::pair{"{UA}", ts::UncPath(t.A)},
          std::pair{"{US}", ts::UncPath(t.S)}})
        for (size_t at; (at = text.find(key)) != std::string::npos;)
            text.replace(at, std::strlen(key), value);
    return text;
}

// Every refused command: its result, no file made, and no source read (a read ends the child with 99).
// Run as an unprivileged user, so that permission bits apply; on Windows the locked file and folder
// are held open by the test, sharing nothing. The output buffer is filled within its size, 0 and 1
// included.
TEST(Library, RefusedCommandsLeaveNothing) {
    const ErrorRow rows[] = {
        {"a -tzip \"{A} {S} x.txt", SEVENZIP_E_SYNTAX},
        {"x -tzip {A} {S} x.txt", SEVENZIP_E_SYNTAX},
        {"a -t7z {A} {S} x.txt", SEVENZIP_E_SYNTAX},
        {"a -tzip -bogus {A} {S} x.txt", SEVENZIP_E_SYNTAX},
        {"a -tzip -mx=10 {A} {S} x.txt", SEVENZIP_E_SYNTAX},
        {"", SEVENZIP_E_SYNTAX},
        {"a -tzip {A} {S} missing.txt", SEVENZIP_E_NO_FILES},
        {"a -tzip {A} {S} ../S/x.txt", -1},
        {"a -tzip {A} {S} sub/../../S/x.txt", -1},
        {"a -tzip {A} {S} /x.txt", -1},
        {"a -tzip {A}/no/such.zip {S} x.txt", SEVENZIP_E_WRITE},
        {"a -tzip {A} {S} locked.txt", SEVENZIP_E_READ},
        {"a -tzip {A} {S} sealed", SEVENZIP_E_READ},
        {"a -tzip {N} {S} x.txt", SEVENZIP_E_WRITE},
        {"a -tzip {A} {S} sub:x.txt", SEVENZIP_E_SYNTAX, On::Windows},     // a drive-relative name
        {"a -tzip {A} {S} x.txt:hidden", SEVENZIP_E_SYNTAX, On::Windows},  // a data stream
        {"a -tzip {A} {S} x\x81", SEVENZIP_E_SYNTAX, On::Windows},         // a lead byte alone: no CP932 text
        {"a -tzip {A} {S} \x81\x20.txt", SEVENZIP_E_SYNTAX, On::Windows},  // a bad trail byte
    };
    for (const ErrorRow& row : rows) {
        if (!ts::RunsHere(row.on)) continue;
        Tree t;
        const std::string command = Fill(row.command, t);
        SCOPED_TRACE(command);
        ts::WriteFile(t.S + "/locked.txt", "secret");
        ts::MakeDir(t.S + "/sealed");
        const ts::Held locked(t.S + "/locked.txt", ts::Hold::Everything);
        const ts::Held sealed(t.S + "/sealed", ts::Hold::Everything);
        const int result = ts::InChild(
            [&] {
                ts::ArmReadHook(t.S, [] { _exit(99); });
                return Zip(command);
            },
            true);
        EXPECT_TRUE(row.result < 0 ? result > 0 : result == row.result) << result;
        EXPECT_TRUE(t.OutHolds(false));
    }
    // The output stays within its size (0 and 1 included), always terminated; cut anywhere, it is the
    // start of the whole report, in whole characters of its encoding.
    const std::string japanese = ts::CommandText("x" + kJapanese);
    char whole[256], part[257];
    SevenZip(nullptr, japanese.c_str(), whole, sizeof whole);
    for (unsigned size = 0; size < sizeof whole; ++size) {
        std::memset(part, 'x', sizeof part);
        ASSERT_NE(SevenZip(nullptr, japanese.c_str(), part, size), SEVENZIP_OK);
        EXPECT_EQ(part[size], 'x') << size;
        EXPECT_TRUE(size == 0 || (std::memchr(part, '\0', size) != nullptr &&
                                  std::string(whole).rfind(part, 0) == 0 && ts::IsText(part)))
            << size;
    }
}

// Nothing is published but a verified archive, and nothing under the archive's name is replaced: a
// file there before the call or appearing while the archive is written stays; an archive damaged on
// disk while written is not published; a source that changes while read (grown, or rewritten at the
// same size) fails the call, and on Windows a source another program holds open for writing is not
// read at all.
TEST(Library, PublishesOnlyWhatVerifies) {
    enum class Fault {
        NameTaken,
        NameTakenLater,
        DamagedArchive,
        SourceGrows,
        SourceRewritten,
        HeldByWriter
    };
    struct FaultRow {
        Fault fault;
        int result;
        On on = On::Both;
    };
    for (const FaultRow& row :
         {FaultRow{Fault::NameTaken, SEVENZIP_E_EXISTS}, FaultRow{Fault::NameTakenLater, SEVENZIP_E_EXISTS},
          FaultRow{Fault::DamagedArchive, SEVENZIP_E_VERIFY}, FaultRow{Fault::SourceGrows, SEVENZIP_E_READ},
          FaultRow{Fault::SourceRewritten, SEVENZIP_E_READ},
          FaultRow{Fault::HeldByWriter, SEVENZIP_E_READ, On::Windows}}) {
        if (!ts::RunsHere(row.on)) continue;
        Tree t;
        const std::string big = t.S + "/big.bin";
        ts::WriteFile(big, std::string(3 << 20, 'A'));
        // An hour back, so that a rewrite of the same size changes the time whatever the clock's steps.
        std::filesystem::last_write_time(big, std::filesystem::last_write_time(big) - std::chrono::hours(1));
        const bool taken = row.fault == Fault::NameTaken || row.fault == Fault::NameTakenLater;
        if (row.fault == Fault::NameTaken) ts::WriteFile(t.A, "precious");
        if (row.fault == Fault::NameTakenLater)
            ts::ArmWriteFault(ts::WriteFault::Hook, [&] { ts::WriteFile(t.A, "precious"); });
        if (row.fault == Fault::DamagedArchive) ts::ArmWriteFault(ts::WriteFault::FlipByte);
        const std::string changed =
            std::string(3 << 20, 'B') + (row.fault == Fault::SourceGrows ? "more" : "");
        if (row.fault == Fault::SourceGrows || row.fault == Fault::SourceRewritten)
            ts::ArmReadHook("big.bin", [&] { ts::WriteFile(big, changed); });
        const ts::Held writer(row.fault == Fault::HeldByWriter ? big : "", ts::Hold::Writer);
        EXPECT_EQ(Zip(t.Prefix("-mx=0") + "big.bin"), row.result);
        EXPECT_TRUE(ts::WriteFaultFired());
        EXPECT_TRUE(t.OutHolds(taken) && (!taken || ts::ReadFile(t.A) == "precious"));
    }
}

}  // namespace
