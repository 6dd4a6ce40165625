// driver_test.cpp - guards the sevenzip32 driver that scripts and benchmarks rely on: its one argument
// reaches the library unchanged, the library's output is printed, and the exit status is 0 exactly when
// the archive was written.
#include <gtest/gtest.h>

#include "sevenzip_test_support.h"

using namespace sztest;

TEST(Driver, WritesTheArchiveAndExitsZero) {
    TempDir dir;
    writeFile(dir / "w/a b.txt", "driver");
    const std::string command =
        kPrefix + " " + quoted(dir / "w/a b.zip") + " " + quoted(dir / "w/") + " \"a b.txt\"";
    const ProcessResult run = runProcess({PAKUTO_TEST_DRIVER, command});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("a b.zip"), std::string::npos) << run.out;
    EXPECT_EQ(compareArchive(dir / "w/a b.zip", {{"a b.txt", "driver"}}, {}), "");
}

TEST(Driver, FailureExitsOneAndSaysWhy) {
    TempDir dir;
    const std::string command =
        kPrefix + " " + quoted(dir / "x.zip") + " " + quoted(dir.path() + "/") + " missing.txt";
    const ProcessResult run = runProcess({PAKUTO_TEST_DRIVER, command});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("missing.txt"), std::string::npos) << run.out;
    EXPECT_TRUE(folderNames(dir.path()).empty());
}

TEST(Driver, WrongArgumentCountExitsOne) {
    EXPECT_EQ(runProcess({PAKUTO_TEST_DRIVER}).exitCode, 1);
    EXPECT_EQ(runProcess({PAKUTO_TEST_DRIVER, "a", "b"}).exitCode, 1);
}
