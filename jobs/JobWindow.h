// JobWindow.h - what a compression job needs from the main window, and nothing more.
//
// The jobs never see a widget: the main window implements this interface and hands itself to each
// job. Every call happens on the user-interface thread, while the job runs.
#pragma once

#include <string>

namespace mMain {

class JobWindow {
public:
    virtual ~JobWindow() = default;

    // The text of txtExtension at this moment, UTF-8, appended unchanged to archive names.
    virtual std::string ExtensionText() const = 0;

    // The value of chkDelete at this moment: 0 unchecked, 1 checked, 2 grayed. Only 1 deletes.
    virtual int DeleteState() const = 0;

    // The window's native handle, passed to the archiver as the owner of anything it shows; may be null.
    virtual void* NativeHandle() const = 0;

    // Disables (false) or enables (true) the whole window; the jobs disable it only around an
    // archiver call.
    virtual void SetWindowEnabled(bool enabled) = 0;

    // The current width of lstResult, in twips.
    virtual int ResultListWidthTwips() const = 0;

    // The width of `text` (UTF-8 or raw path bytes) drawn with the window's font, in twips.
    virtual int TextWidthTwips(const std::string& text) const = 0;

    // Inserts `line` at index 0 of lstResult. The line holds path bytes that may not be valid UTF-8;
    // the window decodes them for display.
    virtual void InsertResultLine(const std::string& line) = 0;
};

}  // namespace mMain
