// DropDispatch.h - what a drop on lstResult does, whatever toolkit delivers it: each dropped path
// classified and handed to its job, the caption marked busy and done, pending window events run before
// each item.
#pragma once

#include <string>
#include <vector>

#include "JobWindow.h"

namespace forms {

enum class DropAction {
    CompressFile,      // a file that is not a system file (hidden and read-only ones too), or a link to one
    CompressFolder,    // a folder that is neither hidden nor system (or a link to one), per-file box off
    CompressEachFile,  // the same, per-file box on (any value but 0)
    Skip,              // a system file, a hidden or system folder, a dangling link, a path that is gone
};

// Classifies `path` by what it names, a link at its end followed, without opening it for reading.
// Hidden and system as the platform marks them (jobs' file-system seam). The file-system root is a
// folder like any other here: its job refuses it.
DropAction ClassifyDroppedPath(const std::string& path, int eachFileState);

// What the dispatch needs from the main window beyond what the jobs need.
class DropWindow : public mMain::JobWindow {
public:
    // Removes every line of lstResult.
    virtual void ClearResults() = 0;
    // Sets the window's caption (UTF-8).
    virtual void SetCaption(const std::string& caption) = 0;
    // Lets every pending window event run (repaint, clicks, key presses), then returns.
    virtual void RunPendingEvents() = 0;
    // True when the window was asked to close while the dispatch ran; the dispatch then stops before
    // its next item.
    virtual bool CloseRequested() const = 0;
    // The value of chkEachFile at this moment: 0, 1 or 2.
    virtual int EachFileState() const = 0;
    // The caption without a state suffix: the version text.
    virtual std::string VersionCaption() const = 0;
};

// The drop handler's work for the dropped `paths`, in order: clears the list; when there are paths,
// marks the caption busy and, for each path, runs pending events (stopping when a close was asked
// for), classifies it and runs its job with the jobs' command prefix `commandPrefix`; finally marks the
// caption done, also for an empty drop. The caller refuses further drops while this runs.
void DispatchDrop(DropWindow& window, const std::vector<std::string>& paths, const std::string& commandPrefix);

}  // namespace forms
