// name_hazards_test.cpp - guards against names at the platform's limits being lost or misread: file and
// folder names of 255 bytes (NAME_MAX), whose archive name would be longer than the platform allows,
// in ASCII and in Japanese; and one folder holding every awkward name at once (quotes, stars,
// question marks, leading dashes, a newline, bytes that are not UTF-8, Japanese) in both modes. With
// the delete box checked, each item is either archived under its exact name and only then deleted, or
// reported "[NG]" and kept; no temporary file remains and the sequence goes on.
#include "fault_support.h"

namespace faults_test {
namespace {

namespace fs = std::filesystem;

// "あ" is three bytes in UTF-8.
std::string Japanese(size_t characters) {
    std::string text;
    for (size_t i = 0; i < characters; ++i) text += "\xe3\x81\x82";
    return text;
}

// One job sequence in a child with the delete box checked, judged by ExpectNothingLost on `root`.
std::vector<std::string> RunChecked(const std::string& root,
                                    const std::function<void(RecordingWindow&)>& jobs) {
    const TreeState before = Capture(root);
    const ChildResult run = RunJobsInChild(jobs, 1, 60);
    EXPECT_TRUE(Finished(run));
    ExpectNothingLost(root, before, Capture(root), run.lines);
    return run.lines;
}

// An archive name one byte over the limit is never made: the item is reported "[NG]" and kept, or it
// is archived under a shorter free name that holds it.
void ExpectLongNameHandled(const std::string& folder, const std::string& name, const std::string& line) {
    if (line.rfind("[OK]", 0) == 0) {
        const std::string archive = line.substr(4);
        EXPECT_LE(fs::path(archive).filename().string().size(), size_t{NAME_MAX});
        EXPECT_EQ(ArchiveNames(archive), std::vector<std::string>{name});
    } else {
        EXPECT_EQ(line, "[NG]" + folder + "/" + name);
        EXPECT_TRUE(Exists(folder + "/" + name));
    }
}

TEST(LongNames, FileOf255BytesWithExtensionThenItsNumberedArchive) {
    TempDir dir;
    const std::string name = std::string(251, 'x') + ".txt";
    WriteFile(dir / name, "first\n");
    std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFile(window, kDefaultPrefix, dir / name, dir.path());
    });
    const std::string archive = dir / (std::string(251, 'x') + ".zip");
    ASSERT_EQ(lines, std::vector<std::string>{"[OK]" + archive});
    EXPECT_EQ(ReadZip(archive).at(name).content, "first\n");

    // The same name again: the archive's name is taken, and " (2)" would pass the limit.
    WriteFile(dir / name, "second\n");
    WriteFile(dir / "next.txt", "next\n");
    lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFile(window, kDefaultPrefix, dir / name, dir.path());
        mMain::CompressFile(window, kDefaultPrefix, dir / "next.txt", dir.path());
    });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[OK]" + (dir / "next.zip"));
    ExpectLongNameHandled(dir.path(), name, lines[1]);
    EXPECT_EQ(ReadZip(archive).at(name).content, "first\n") << "the first archive changed";
}

TEST(LongNames, FileOf255BytesWithoutExtension) {
    TempDir dir;
    const std::string ascii(255, 'y');
    const std::string japanese = Japanese(85);
    WriteFile(dir / ascii, "ascii\n");
    WriteFile(dir / japanese, "japanese\n");
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFile(window, kDefaultPrefix, dir / ascii, dir.path());
        mMain::CompressFile(window, kDefaultPrefix, dir / japanese, dir.path());
    });
    ASSERT_EQ(lines.size(), 2u);
    ExpectLongNameHandled(dir.path(), ascii, lines[1]);
    ExpectLongNameHandled(dir.path(), japanese, lines[0]);
}

TEST(LongNames, JapaneseNameJustUnderTheLimitRoundTrips) {
    TempDir dir;
    const std::string name = Japanese(83) + ".txt";  // 253 bytes
    WriteFile(dir / name, "日本語の中身\n");
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFile(window, kDefaultPrefix, dir / name, dir.path());
    });
    const std::string archive = dir / (Japanese(83) + ".zip");
    ASSERT_EQ(lines, std::vector<std::string>{"[OK]" + archive});
    EXPECT_EQ(ReadZip(archive).at(name).content, "日本語の中身\n");
}

TEST(LongNames, FolderOf255BytesInBothModes) {
    TempDir dir;
    const std::string folder = dir / std::string(255, 'z');
    const std::string inner = std::string(255, 'i');
    WriteFile(folder + "/" + inner, "inner\n");
    WriteFile(folder + "/short.txt", "short\n");
    fs::create_directory(dir / "out");
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFolder(window, kDefaultPrefix, folder);
        mMain::CompressEachFile(window, kDefaultPrefix, folder, dir / "out");
    });
    ASSERT_EQ(lines.size(), 3u);
    // Per-file: the inner name's archive would pass the limit; the short one is made.
    EXPECT_EQ(lines[0], "[OK]" + (dir / "out/short.zip"));
    ExpectLongNameHandled(folder, inner, lines[1]);
    // Whole folder: "<255 bytes>.zip" cannot be made beside it.
    if (lines[2].rfind("[NG]", 0) == 0) {
        EXPECT_EQ(lines[2], "[NG]" + folder + "/");
        EXPECT_TRUE(Exists(folder + "/" + inner));
    } else {
        EXPECT_LE(fs::path(lines[2].substr(4)).filename().string().size(), size_t{NAME_MAX});
    }
}

TEST(LongNames, NameOf255BytesInsideAWholeFolderIsStoredExactly) {
    TempDir dir;
    const std::string name = Japanese(85);
    WriteFile(dir / ("tree/" + name), "long\n");
    WriteFile(dir / ("tree/sub/" + std::string(255, 's')), "longer path\n");
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFolder(window, kDefaultPrefix, dir / "tree");
    });
    ASSERT_EQ(lines, std::vector<std::string>{"[OK]" + (dir / "tree.zip")});
    const std::map<std::string, ZipEntry> entries = ReadZip(dir / "tree.zip");
    EXPECT_EQ(entries.at(name).content, "long\n");
    EXPECT_EQ(entries.at("sub/" + std::string(255, 's')).content, "longer path\n");
    EXPECT_FALSE(Exists(dir / "tree"));
}

// Every awkward name at once, with their contents; the quoted one cannot be carried to the archiver.
const std::vector<std::string> kAwkward = {
    "say \"hi\".txt", "star*.txt",    "what?.txt",  "-rf",       "--",        "-ir!x",
    "new\nline.txt",  "\xff\xfe.bin", "日本語.txt", "plain.txt", "a b  c.txt"};

class AwkwardNames : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& name : kAwkward) WriteFile(dir / ("mixed/" + name), "content of " + name);
    }
    TempDir dir;
};

TEST_F(AwkwardNames, PerFileModeArchivesEachAloneOrRefusesIt) {
    fs::create_directory(dir / "out");
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressEachFile(window, kDefaultPrefix, dir / "mixed", dir / "out");
    });
    ASSERT_EQ(lines.size(), kAwkward.size());
    for (const std::string& name : kAwkward) {
        const size_t dot = name.rfind('.');
        const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
        const std::string archive = dir / ("out/" + stem + ".zip");
        if (name.find('"') != std::string::npos) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), "[NG]" + (dir / ("mixed/" + name))), lines.end());
            EXPECT_EQ(ReadFile(dir / ("mixed/" + name)), "content of " + name);
            EXPECT_FALSE(Exists(archive));
            continue;
        }
        EXPECT_NE(std::find(lines.begin(), lines.end(), "[OK]" + archive), lines.end()) << name;
        const std::map<std::string, ZipEntry> entries = ReadZip(archive);
        ASSERT_EQ(entries.size(), 1u) << name;
        EXPECT_EQ(entries.begin()->first, name);
        EXPECT_EQ(entries.begin()->second.content, "content of " + name);
        EXPECT_FALSE(Exists(dir / ("mixed/" + name))) << "archived, so deleted: " << name;
    }
}

TEST_F(AwkwardNames, WholeFolderStoresEveryNameExactly) {
    const std::vector<std::string> lines = RunChecked(dir.path(), [&](RecordingWindow& window) {
        mMain::CompressFolder(window, kDefaultPrefix, dir / "mixed");
    });
    ASSERT_EQ(lines, std::vector<std::string>{"[OK]" + (dir / "mixed.zip")});
    const std::map<std::string, ZipEntry> entries = ReadZip(dir / "mixed.zip");
    EXPECT_EQ(entries.size(), kAwkward.size());
    for (const std::string& name : kAwkward) {
        ASSERT_EQ(entries.count(name), 1u) << name;
        EXPECT_EQ(entries.at(name).content, "content of " + name);
    }
    EXPECT_FALSE(Exists(dir / "mixed"));
}

}  // namespace
}  // namespace faults_test
