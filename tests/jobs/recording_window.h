// recording_window.h - a JobWindow for tests: fixed settings, a text measure of 100 twips per byte, and
// a record of every enable/disable (with an optional hook) and every result line, newest first as in the real
// list.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "JobWindow.h"

namespace jobs_test {

class RecordingWindow : public mMain::JobWindow {
public:
    std::string extension = ".zip";
    int deleteState = 0;
    int listWidthTwips = 4305;
    bool enabled = true;
    std::vector<bool> enableCalls;   // every SetWindowEnabled argument, in order
    std::vector<std::string> lines;  // lstResult's content, index 0 on top
    // What `enabled` was when each line was inserted.
    std::vector<bool> enabledAtInsert;
    // Runs inside SetWindowEnabled, after the state changed: false comes right before the archiver
    // call, true right after it, so a test can change the sources "while the archive is made".
    std::function<void(bool)> onSetEnabled;

    std::string ExtensionText() const override { return extension; }
    int DeleteState() const override { return deleteState; }
    void* NativeHandle() const override { return nullptr; }
    void SetWindowEnabled(bool value) override {
        enabled = value;
        enableCalls.push_back(value);
        if (onSetEnabled) onSetEnabled(value);
    }
    int ResultListWidthTwips() const override { return listWidthTwips; }
    int TextWidthTwips(const std::string& text) const override { return 100 * static_cast<int>(text.size()); }
    void InsertResultLine(const std::string& line) override {
        lines.insert(lines.begin(), line);
        enabledAtInsert.insert(enabledAtInsert.begin(), enabled);
    }
};

}  // namespace jobs_test
