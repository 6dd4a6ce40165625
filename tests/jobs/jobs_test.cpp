// jobs_test.cpp - the compression jobs with the real library, through a window that records what
// they do: archive names never taken from what exists, the per-file walk's order, odd names archived
// exactly, and sources deleted only when a verified archive holds them unchanged. Also path compaction.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "CompactPath.h"
#include "CompressionJobs.h"
#include "mSevenZip32APIs.h"
#include "support.h"

namespace {

const std::string kPrefix = "a -tzip -hide -mx=1";

struct Window : mMain::JobWindow {
    std::string extension = ".zip";
    int deleteState = 0;
    int archiverCalls = 0;
    std::vector<std::string> lines;        // in the order the jobs gave them
    std::function<void()> beforeArchiver;  // runs once, when the window is disabled for a call
    std::function<void()> afterArchiver;   // runs once, when the window is enabled after a call
    std::string ExtensionText() const override { return extension; }
    int DeleteState() const override { return deleteState; }
    void* NativeHandle() const override { return nullptr; }
    void SetWindowEnabled(bool enabled) override {
        if (!enabled) ++archiverCalls;
        if (!enabled && beforeArchiver) std::exchange(beforeArchiver, nullptr)();
        if (enabled && afterArchiver) std::exchange(afterArchiver, nullptr)();
    }
    int ResultListWidthTwips() const override { return 1 << 20; }
    int TextWidthTwips(const std::string& text) const override { return static_cast<int>(text.size()); }
    void InsertResultLine(const std::string& line) override { lines.push_back(line); }
    bool AllLinesAre(const std::string& tag) const {
        for (const std::string& line : lines)
            if (!line.starts_with(tag)) return false;
        return !lines.empty();
    }
};

class Jobs : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mSevenZip32APIs::SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER); }
    ts::TempDir dir;
    Window window;
    std::string D = dir / "D";
    void SetUp() override { ts::MakeDir(D); }
    std::string Make(const std::string& name, const std::string& data = "") {
        ts::WriteFile(D + "/" + name, data.empty() ? "data of " + name : data);
        return D + "/" + name;
    }
};

struct NameRow {
    std::vector<std::string> taken;
    std::string source, extension, archive;  // no archive: the job refuses without calling the archiver
    bool folder = false;
    std::vector<std::string> appears = {};  // taken by other processes, one after each name chosen
};

// The names "a.txt" gets, one after the other, when other processes take each name it chooses.
std::vector<std::string> LostRaces(int count) {
    std::vector<std::string> names = {"a.zip"};
    for (int i = 2; i <= count; ++i) names.push_back("a (" + std::to_string(i) + ").zip");
    return names;
}

TEST_F(Jobs, ArchiveNamesAreFree) {
    const NameRow rows[] = {
        {{}, "a.txt", ".zip", "a.zip"},
        {{"a.zip"}, "a.txt", ".zip", "a (2).zip"},
        {{"a.zip", "a (2).zip"}, "a.txt", ".zip", "a (3).zip"},
        {{"a.zip", "a (3).zip"}, "a.txt", ".zip", "a (2).zip"},
        {{"a.tar.zip"}, "a.tar.gz", ".zip", "a.tar (2).zip"},
        {{}, ".profile", ".zip", ".profile.zip"},
        {{"a.7z"}, "a.txt", ".7z", "a (2).7z"},
        {{"f.zip"}, "f", ".zip", "f (2).zip", true},
        {{"a.zip/"}, "a.txt", ".zip", "a (2).zip"},
        {{}, "f", "", "f (2)", true},
        {{}, "a.txt", ".zip", "a (12).zip", false, LostRaces(11)},
        {{"a/"}, "a.txt", "/x.zip", ""},
        {{}, "f", "/in.zip", "", true},
    };
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.source + " -> " + row.archive);
        ts::TempDir d;
        for (const std::string& name : row.taken)
            name.ends_with('/') ? ts::MakeDir(d / name) : ts::WriteFile(d / name, "taken " + name);
        std::vector<std::string> taken = row.taken;
        Window w;
        w.extension = row.extension;
        taken.insert(taken.end(), row.appears.begin(), row.appears.end());
        size_t raced = 0;
        std::function<void()> race = [&] {
            ts::WriteFile(d / row.appears[raced], "taken " + row.appears[raced]);
            if (++raced < row.appears.size()) w.beforeArchiver = race;
        };
        if (!row.appears.empty()) w.beforeArchiver = race;
        if (row.folder) {
            ts::MakeDir(d / row.source);
            ts::WriteFile(d / row.source + "/inside", "inside");
            mMain::CompressFolder(w, kPrefix, d / row.source);
        } else {
            ts::WriteFile(d / row.source, "data");
            mMain::CompressFile(w, kPrefix, d / row.source, d.path());
        }
        const bool made = !row.archive.empty();
        EXPECT_TRUE(w.AllLinesAre(made ? "[OK]" : "[NG]"));
        for (const std::string& name : taken)
            EXPECT_TRUE(name.ends_with('/') || ts::ReadFile(d / name) == "taken " + name) << name;
        const std::vector<std::string> names = {row.folder ? "inside" : row.source};
        EXPECT_TRUE(!made || ts::ReadZip(d / row.archive).Names() == names);
        EXPECT_EQ(w.archiverCalls == 0, !made);
        EXPECT_EQ(ts::Tree(d.path()).size(), taken.size() + (row.folder ? 2 : 1) + (made ? 1 : 0));
    }
}

TEST_F(Jobs, PerFileWalkOrderAndSkips) {
    for (const char* folder : {"c", "c/.h", "z", "empty"}) ts::MakeDir(D + "/" + folder);
    for (const char* file : {"b.txt", "a.txt", ".hidden", "z/y.txt", "c/x.txt", "c/.h/q.txt"}) Make(file);
    mkfifo((D + "/pipe").c_str(), 0666);
    const std::string out = dir / "out";
    ts::MakeDir(out);
    mMain::CompressEachFile(window, kPrefix, D, out);
    EXPECT_EQ(window.lines.size(), 4u);
    EXPECT_TRUE(window.AllLinesAre("[OK]"));
    const std::vector<std::string> order = {"x.zip", "y.zip", "a.zip", "b.zip"};
    for (size_t i = 0; i < order.size() && i < window.lines.size(); ++i)
        EXPECT_NE(window.lines[i].find(order[i]), std::string::npos) << window.lines[i];
    EXPECT_EQ(ts::Tree(out), (std::vector<std::string>{"a.zip", "b.zip", "x.zip", "y.zip"}));
    EXPECT_EQ(ts::ReadZip(out + "/x.zip").Names(), std::vector<std::string>{"x.txt"});
}

// What the per-file walk meets but cannot reach: each gets an [NG] line, in the walk's order, and the
// walk goes on. `lines` are the tags with how each line ends.
struct ReachRow {
    const char* what;
    std::function<void(const std::string& folder)> build;
    std::vector<std::string> lines;
};

// 21 folders of 200-character names, a file in the deepest: its folder's path passes the system's limit.
void BuildDeepTree(const std::string& folder) {
    int fd = open(folder.c_str(), O_DIRECTORY);
    for (int level = 0; level < 21; ++level) {
        mkdirat(fd, std::string(200, 'd').c_str(), 0777);
        const int next = openat(fd, std::string(200, 'd').c_str(), O_DIRECTORY);
        close(fd);
        fd = next;
    }
    close(openat(fd, "deep.txt", O_CREAT | O_WRONLY, 0644));
    close(fd);
}

TEST_F(Jobs, PerFileWalkReportsWhatItCannotReach) {
    const ReachRow rows[] = {
        {"a folder that cannot be listed",
         [](const std::string& f) { ts::MakeDir(f + "/sealed", 0); },
         {"[NG]sealed/", "[OK]a.zip"}},
        {"a folder listed but not searchable",
         [](const std::string& f) {
             ts::MakeDir(f + "/r");
             ts::WriteFile(f + "/r/f.txt", "f");
             chmod((f + "/r").c_str(), 0444);
         },
         {"[NG]r/f.txt", "[OK]a.zip"}},
        {"a path past the system's limit",
         BuildDeepTree,
         {"[NG]" + std::string(200, 'd') + "/", "[OK]a.zip"}},
    };
    for (const ReachRow& row : rows) {
        SCOPED_TRACE(row.what);
        ts::TempDir d;
        row.build(d.path());
        ts::WriteFile(d / "a.txt", "a");
        const int seen = ts::InChild(
            [&] {
                Window w;
                mMain::CompressEachFile(w, kPrefix, d.path(), d.path());
                bool same = w.lines.size() == row.lines.size();
                for (size_t i = 0; same && i < row.lines.size(); ++i)
                    same = w.lines[i].starts_with(row.lines[i].substr(0, 4)) &&
                           w.lines[i].ends_with(row.lines[i].substr(4));
                return same ? 0 : 1;
            },
            true);
        EXPECT_EQ(seen, 0);
        ts::Run({"/bin/rm", "-rf", d.path()});
    }
}

struct OddRow {
    std::string name, archive;
    bool ok;
};

TEST_F(Jobs, OddNamesArchivedExactly) {
    const OddRow rows[] = {
        {"*", "*.zip", true},
        {"?", "?.zip", true},
        {"-x.txt", "-x.zip", true},
        {"new\nline", "new\nline.zip", true},
        {"bad\xff\xfe.txt", "bad\xff\xfe.zip", true},
        {"日本語.txt", "日本語.zip", true},
        {"$HOME 'q'", "$HOME 'q'.zip", true},
        {"a\"b.txt", "", false},
    };
    for (const OddRow& row : rows) {
        SCOPED_TRACE(row.name);
        ts::TempDir d;
        ts::WriteFile(d / row.name, "odd");
        ts::WriteFile(d / "a", "bystander");
        Window w;
        mMain::CompressFile(w, kPrefix, d / row.name, d.path());
        EXPECT_TRUE(w.AllLinesAre(row.ok ? "[OK]" : "[NG]"));
        EXPECT_EQ(w.archiverCalls, row.ok ? 1 : 0);
        EXPECT_EQ(ts::Tree(d.path()).size(), row.ok ? 3u : 2u);
        if (!row.ok) continue;
        const ts::ZipReport zip = ts::ReadZip(d / row.archive);
        EXPECT_TRUE(zip.ok && ts::UnzipTests(d / row.archive));
        EXPECT_EQ(zip.Names(), std::vector<std::string>{row.name});
    }
    ts::MakeDir(D + "/*");
    Make("*/-f");
    Make("other");
    mMain::CompressFolder(window, kPrefix, D + "/*");
    EXPECT_EQ(ts::ReadZip(D + "/*.zip").Names(), std::vector<std::string>{"-f"});
    mMain::CompressFile(window, kPrefix, "relative.txt", D);
    mMain::CompressFolder(window, kPrefix, "/");
    EXPECT_EQ(window.archiverCalls, 1);
    EXPECT_EQ(window.lines.size(), 3u);
    EXPECT_TRUE(window.lines[1].starts_with("[NG]") && window.lines[2].starts_with("[NG]"));
}

// What may change between the archiver's call and the deletion, and what must then survive.
struct DeleteRow {
    const char* what;
    std::function<void(const std::string& folder, const std::string& archive)> meanwhile;
    std::vector<std::string> left;  // what is left in the folder
};

void ReplaceArchive(const std::string& archive, const std::string& name, const std::string& data) {
    ts::TempDir other;
    ts::MakeDir(other / "sub");
    ts::WriteFile(other / name, data);
    const std::string made = other / "made.zip";
    char output[1024];
    ASSERT_EQ(mSevenZip32APIs::SevenZip(
                  nullptr, ("a -tzip \"" + made + "\" \"" + other.path() + "/\" " + name).c_str(), output,
                  sizeof output),
              0);
    ASSERT_EQ(rename(made.c_str(), archive.c_str()), 0);
}

TEST_F(Jobs, DeletesOnlyWhatTheArchiveHoldsUnchanged) {
    const auto none = [](const std::string&, const std::string&) {};
    const DeleteRow rows[] = {
        {"nothing changes", none, {"ro.txt"}},
        {"a file grows, one appears",
         [](const std::string& f, const std::string&) {
             ts::WriteFile(f + "/sub/b.txt", "longer data of sub/b.txt");
             ts::WriteFile(f + "/new.txt", "new");
         },
         {"new.txt", "ro.txt", "sub/", "sub/b.txt"}},
        {"a file is replaced by one of the same size",
         [](const std::string& f, const std::string&) {
             ts::WriteFile(f + "/b.new", "DATA OF SUB/B.TXT");
             rename((f + "/b.new").c_str(), (f + "/sub/b.txt").c_str());
         },
         {"ro.txt", "sub/", "sub/b.txt"}},
        {"the archive lacks a file and the empty folder",
         [](const std::string&, const std::string& a) { ReplaceArchive(a, "a.txt", "data of a.txt"); },
         {"empty/", "ro.txt", "sub/", "sub/b.txt"}},
        {"the archive holds a file at another size",
         [](const std::string&, const std::string& a) { ReplaceArchive(a, "sub/b.txt", "short"); },
         {"a.txt", "empty/", "ro.txt", "sub/", "sub/b.txt"}},
    };
    for (const DeleteRow& row : rows) {
        SCOPED_TRACE(row.what);
        ts::TempDir d;
        const std::string F = d / "F";
        for (const char* folder : {"F", "F/sub", "F/empty"}) ts::MakeDir(d / folder);
        for (const char* file : {"a.txt", "sub/b.txt", "ro.txt"})
            ts::WriteFile(F + "/" + file, std::string("data of ") + file);
        chmod((F + "/ro.txt").c_str(), 0444);
        ts::WriteFile(d / "F.txt", "bystander");
        Window w;
        w.deleteState = 1;
        w.afterArchiver = [&] { row.meanwhile(F, d / "F.zip"); };
        mMain::CompressFolder(w, kPrefix, F);
        EXPECT_TRUE(w.AllLinesAre("[OK]"));
        EXPECT_EQ(ts::Tree(F), row.left);
        EXPECT_EQ(ts::ReadFile(d / "F.txt"), "bystander");
    }
}

TEST_F(Jobs, FileDeletedOnlyWhenAskedAndArchived) {
    struct Row {
        int deleteState;
        mode_t mode;
        bool writableDest, gone;
    };
    for (const Row& row : {Row{1, 0644, true, true}, Row{0, 0644, true, false}, Row{2, 0644, true, false},
                           Row{1, 0444, true, false}, Row{1, 0644, false, false}}) {
        SCOPED_TRACE(::testing::Message() << row.deleteState << " " << row.mode << " " << row.writableDest);
        ts::TempDir d;
        const std::string out = d / "out";
        ts::MakeDir(out, row.writableDest ? 0777 : 0555);
        ts::WriteFile(d / "f.txt", "data");
        chmod((d / "f.txt").c_str(), row.mode);
        Window w;
        w.deleteState = row.deleteState;
        const int ok = ts::InChild(
            [&] {
                mMain::CompressFile(w, kPrefix, d / "f.txt", out);
                return w.AllLinesAre(row.writableDest ? "[OK]" : "[NG]") ? 0 : 1;
            },
            true);
        EXPECT_EQ(ok, 0);
        EXPECT_EQ(!ts::Exists(d / "f.txt"), row.gone);
        EXPECT_EQ(ts::Exists(out + "/f.zip"), row.writableDest);
    }
}

// A dropped link is archived as what it points to, under its own name (a file link with its content, a
// folder link with the folder's tree); the delete box removes the link, never what it points to.
TEST_F(Jobs, LinkArchivedAsItsFileAndOnlyTheLinkDeleted) {
    Make("f.txt", "content");
    symlink("f.txt", (D + "/lf").c_str());
    window.deleteState = 1;
    mMain::CompressFile(window, kPrefix, D + "/lf", D);
    EXPECT_TRUE(window.AllLinesAre("[OK]"));
    const ts::ZipReport zip = ts::ReadZip(D + "/lf.zip");
    ASSERT_EQ(zip.Names(), std::vector<std::string>{"lf"});
    EXPECT_EQ(zip.entries[0].content, "content");
    EXPECT_FALSE(ts::Exists(D + "/lf"));
    EXPECT_EQ(ts::ReadFile(D + "/f.txt"), "content");
    ts::MakeDir(D + "/d");
    Make("d/in.txt", "inside");
    symlink("d", (D + "/ld").c_str());
    mMain::CompressFolder(window, kPrefix, D + "/ld");
    EXPECT_EQ(ts::ReadZip(D + "/ld.zip").Names(), std::vector<std::string>{"in.txt"});
    EXPECT_FALSE(ts::Exists(D + "/ld"));
    EXPECT_EQ(ts::ReadFile(D + "/d/in.txt"), "inside");
}

// An entry over 4 GiB (a sparse file) is archived with its 64-bit size and CRC, and then deleted.
TEST_F(Jobs, EntryOver4GiB) {
    const std::string big = D + "/big.bin";
    const uint64_t size = uint64_t{4097} << 20;
    if (!ts::MakeBigFile(big, size, false)) GTEST_SKIP() << "the file system here cannot hold a 4 GiB file";
    window.deleteState = 1;
    mMain::CompressFile(window, "a -tzip -hide -mx=1", big, D);
    EXPECT_TRUE(window.AllLinesAre("[OK]"));
    const ts::ZipReport zip = ts::ReadZip(D + "/big.zip");
    EXPECT_TRUE(zip.ok);  // every CRC checked
    ASSERT_EQ(zip.entries.size(), 1u);
    EXPECT_EQ(zip.entries[0].size, size);
    EXPECT_FALSE(ts::Exists(big)) << "the archived source stayed";
}

struct CompactRow {
    std::string path;
    int width;
    std::string shown;
};

TEST(CompactPath, ShortensFolderNamesNeverTheName) {
    const CompactRow rows[] = {
        {"/home/user/docs/file.txt", 24, "/home/user/docs/file.txt"},
        {"/home/user/docs/file.txt", 23, "/.../user/docs/file.txt"},
        {"/home/user/docs/file.txt", 22, "/.../docs/file.txt"},
        {"/home/user/docs/file.txt", 15, "/.../file.txt"},
        {"/home/user/docs/file.txt", 12, ".../file.txt"},
        {"/home/user/docs/file.txt", 11, "file.txt"},
        {"C:/dir/sub/f", 12, "C:/dir/sub/f"},
        {"C:/dir/sub/f", 10, "C:/.../f"},
        {"C:/dir/sub/f", 7, ".../f"},
        {"/.../.git/x/f", 11, "/.../x/f"},
        {"/a/verylongname", 3, "verylongname"},
        {"no-separator", 1, "no-separator"},
        {"", 0, ""},
    };
    const mMain::TextMeasure measure = [](const std::string& s) { return static_cast<int>(s.size()); };
    for (const CompactRow& row : rows)
        EXPECT_EQ(mMain::CompactPath(row.path, measure, row.width), row.shown)
            << row.path << " " << row.width;
    const std::pair<double, int> widths[] = {
        {1000.0, 600}, {400.5, 0}, {401.5, 2}, {1e9, 32767}, {-1e9, -32768}};
    for (const auto& [width, line] : widths) EXPECT_EQ(mMain::ResultLineWidth(width), line) << width;
}

}  // namespace
