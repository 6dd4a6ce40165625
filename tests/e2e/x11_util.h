// x11_util.h - small raw-Xlib helpers shared by the end-to-end test programs (drag source and
// window closer): XDND atoms, timed event waits, server timestamps, window lookup by title.
// Plain Xlib on purpose: these programs must not share the toolkit of the program under test.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Exit codes of the test programs, so a script can tell what went wrong without parsing text.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,     // bad command line
    kExitNoTarget = 3,  // no display, no such window, or the window takes no XDND drops
    kExitRefused = 4,   // the target refused the drop or reported failure
    kExitTimeout = 5,   // an expected message did not arrive in time
    kExitXError = 6,    // an X protocol error or a lost connection
};

// Interned atoms of the drag-and-drop and selection protocols.
struct Atoms {
    Atom xdndAware, xdndProxy, xdndEnter, xdndPosition, xdndStatus, xdndLeave, xdndDrop, xdndFinished;
    Atom xdndSelection, xdndTypeList, xdndActionCopy, xdndActionList;
    Atom uriList, targets, utf8String, netWmName, wmProtocols, wmDeleteWindow;
};

using Clock = std::chrono::steady_clock;

// Opens the display named by $DISPLAY and installs error handlers that print the X error and end the
// process with kExitXError (a test program has nothing sensible to do after a protocol error).
// Prints a message and returns nullptr when no display can be opened.
Display* OpenDisplay(const char* programName);

Atoms InternAtoms(Display* dpy);

// Blocks until an event is queued or `deadline` passes. Returns false on timeout.
bool WaitForEvent(Display* dpy, Clock::time_point deadline);

// A server timestamp, obtained by touching a property of `window` (which must select
// PropertyChangeMask) and reading the time of the resulting PropertyNotify. Returns CurrentTime when
// the notification does not arrive within a second.
Time ServerTime(Display* dpy, Window window);

// The window's title: _NET_WM_NAME (UTF-8) when set, otherwise WM_NAME. Empty when it has neither.
std::string WindowTitle(Display* dpy, const Atoms& atoms, Window window);

// Viewable windows below the root whose title contains `title`, in stacking order of a depth-first walk.
std::vector<Window> FindWindowsByTitle(Display* dpy, const Atoms& atoms, const std::string& title);

// Reads a single 32-bit property value (ATOM or WINDOW typed); nullopt when absent or of another shape.
std::optional<unsigned long> ReadCardinalProperty(Display* dpy, Window window, Atom property, Atom type);

// Sends a 32-bit client message of `type` to `destination` with `window` in the event's window field.
void SendClientMessage(Display* dpy, Window destination, Window window, Atom type,
                       const std::vector<long>& data);

// Parses a window id written in decimal or as 0x-prefixed hexadecimal; nullopt when it is neither.
std::optional<Window> ParseWindowId(const std::string& text);

}  // namespace e2e
