// job_fixture.h - what every job test starts from: a fresh temporary folder, a recording window with
// the default settings, the default command prefix, and the archiver library built in this tree.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "CompressionJobs.h"
#include "mSevenZip32APIs.h"
#include "recording_window.h"
#include "temp_dir.h"

namespace jobs_test {

inline const std::string kDefaultPrefix = "a -tzip -hide -mx=9 -mfb=64 -mpass=4";

class JobTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSevenZip32APIs::SetArchiverLibraryPath(PAKUTO_TEST_ARCHIVER_LIBRARY);
        // Wide enough for whole temporary paths; tests of the shortening set their own width.
        window.listWidthTwips = 40000;
    }

    void File(const std::string& file, const std::string& destFolder) {
        mMain::CompressFile(window, prefix, file, destFolder);
    }
    void Folder(const std::string& folder) { mMain::CompressFolder(window, prefix, folder); }
    void EachFile(const std::string& folder, const std::string& destFolder) {
        mMain::CompressEachFile(window, prefix, folder, destFolder);
    }

    // The number of archiver calls so far (each disables the window once).
    int ArchiverCalls() const {
        int calls = 0;
        for (bool value : window.enableCalls) calls += value ? 0 : 1;
        return calls;
    }

    TempDir dir;
    RecordingWindow window;
    std::string prefix = kDefaultPrefix;
};

}  // namespace jobs_test
