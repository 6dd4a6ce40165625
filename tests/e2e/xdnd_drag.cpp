// xdnd_drag.cpp - a drag source of our own in raw Xlib: drags local files and folders onto a window with
// the XDND protocol (version 5, text/uri-list) the way a file manager does, and ends non-zero when the
// drop does not complete.
//
//   usage: xdnd-drag (--window ID | --title TEXT) [--at X,Y] [--timeout SECONDS] [--verbose] PATH...
//
// --verbose reports each step on stderr; its "sent enter" line comes once the server has queued the
// first two messages for the target. --at is relative to the named window (default: its centre).
// Relative paths are made absolute against the current folder; paths are passed as bytes, so any name
// the file system allows can be dragged. Exit codes are those of x11_util.h: 0 dropped and finished,
// 2 usage, 3 no display / no such window / no XDND target there, 4 refused or failed, 5 timeout,
// 6 X error.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "uri_list.h"
#include "x11_util.h"

namespace {

using e2e::Clock;

// The protocol version we speak; a target announcing less gets its own version instead.
constexpr long kXdndVersion = 5;
// Oldest version whose messages carry the fields we rely on (the action in XdndPosition).
constexpr long kOldestXdndVersion = 3;

struct Options {
    std::optional<Window> window;
    std::string title;
    std::optional<std::pair<int, int>> at;
    double timeoutSeconds = 30.0;
    bool verbose = false;
    std::vector<std::string> paths;
};

struct Target {
    Window window = 0;       // the XdndAware window: named in every message
    Window destination = 0;  // where messages are sent: the window itself or its XdndProxy
    long version = 0;
};

struct Session {
    Display* dpy;
    e2e::Atoms atoms;
    Window source;
    Target target;
    std::string payload;
    bool verbose;
    int requestsServed = 0;
    bool failedRequest = false;
};

int Usage(const char* message) {
    std::fprintf(stderr, "xdnd-drag: %s\n", message);
    std::fprintf(stderr,
                 "usage: xdnd-drag (--window ID | --title TEXT) [--at X,Y] [--timeout SECONDS] [--verbose] "
                 "PATH...\n");
    return e2e::kExitUsage;
}

std::optional<Options> ParseArgs(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--window" && hasValue) {
            options.window = e2e::ParseWindowId(argv[++i]);
            if (!options.window) return std::nullopt;
        } else if (arg == "--title" && hasValue) {
            options.title = argv[++i];
        } else if (arg == "--at" && hasValue) {
            int x = 0, y = 0;
            char rest = 0;
            if (std::sscanf(argv[++i], "%d,%d%c", &x, &y, &rest) != 2) return std::nullopt;
            options.at = std::pair{x, y};
        } else if (arg == "--timeout" && hasValue) {
            char* end = nullptr;
            options.timeoutSeconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || options.timeoutSeconds <= 0) return std::nullopt;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--") {
            for (++i; i < argc; ++i) options.paths.emplace_back(argv[i]);
        } else if (arg.starts_with("--")) {
            return std::nullopt;
        } else if (!arg.empty()) {
            options.paths.push_back(arg);
        } else {
            return std::nullopt;  // an empty path names nothing
        }
    }
    if (options.window.has_value() == !options.title.empty() || options.paths.empty()) return std::nullopt;
    return options;
}

// Walks down from `start` to the window under the root point that carries XdndAware, honouring a
// valid XdndProxy. Returns nullopt when no window on the way takes XDND drops.
std::optional<Target> FindDropTarget(Display* dpy, const e2e::Atoms& atoms, Window start, int rootX,
                                     int rootY) {
    const Window root = DefaultRootWindow(dpy);
    for (Window w = start; w != None;) {
        if (auto version = e2e::ReadCardinalProperty(dpy, w, atoms.xdndAware, XA_ATOM)) {
            Target target{w, w, std::min<long>(static_cast<long>(*version), kXdndVersion)};
            if (auto proxy = e2e::ReadCardinalProperty(dpy, w, atoms.xdndProxy, XA_WINDOW)) {
                // A proxy counts only when it names itself as its own proxy.
                if (e2e::ReadCardinalProperty(dpy, *proxy, atoms.xdndProxy, XA_WINDOW) == proxy)
                    target.destination = *proxy;
            }
            return target;
        }
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(dpy, root, w, rootX, rootY, &x, &y, &child);
        w = child;
    }
    return std::nullopt;
}

void Serve(Session& s, const XSelectionRequestEvent& request) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = s.dpy;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // Clients older than ICCCM 2 leave the property out: the target's name is used instead.
    const Atom property = request.property != None ? request.property : request.target;
    const long maxBytes = XExtendedMaxRequestSize(s.dpy) > 0 ? XExtendedMaxRequestSize(s.dpy) * 4 - 1024
                                                             : XMaxRequestSize(s.dpy) * 4 - 1024;
    if (request.selection == s.atoms.xdndSelection && request.owner == s.source) {
        if (request.target == s.atoms.uriList) {
            if (static_cast<long>(s.payload.size()) <= maxBytes) {
                XChangeProperty(s.dpy, request.requestor, property, s.atoms.uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(s.payload.data()),
                                static_cast<int>(s.payload.size()));
                reply.xselection.property = property;
                ++s.requestsServed;
            } else {
                std::fprintf(stderr, "xdnd-drag: the uri-list (%zu bytes) is larger than one X request\n",
                             s.payload.size());
                s.failedRequest = true;
            }
        } else if (request.target == s.atoms.targets) {
            const long offered[] = {static_cast<long>(s.atoms.targets), static_cast<long>(s.atoms.uriList)};
            XChangeProperty(s.dpy, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 2);
            reply.xselection.property = property;
        }
    }
    if (s.verbose) {
        char* name = XGetAtomName(s.dpy, request.target);
        std::fprintf(stderr, "xdnd-drag: selection request for %s from 0x%lx: %s\n", name ? name : "?",
                     request.requestor, reply.xselection.property != None ? "served" : "refused");
        if (name) XFree(name);
    }
    XSendEvent(s.dpy, request.requestor, False, NoEventMask, &reply);
    XFlush(s.dpy);
}

// Handles events until the target sends a client message of `type`; answers data requests meanwhile.
// Returns the message, or nullopt on timeout. Ends the process when the target window goes away or
// the selection is taken from us, since the drag cannot complete then.
std::optional<XClientMessageEvent> AwaitMessage(Session& s, Atom type, Clock::time_point deadline) {
    while (e2e::WaitForEvent(s.dpy, deadline)) {
        XEvent event;
        XNextEvent(s.dpy, &event);
        if (event.type == SelectionRequest) {
            Serve(s, event.xselectionrequest);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == s.atoms.xdndSelection) {
            std::fprintf(stderr, "xdnd-drag: another client took the XdndSelection during the drag\n");
            std::exit(e2e::kExitRefused);
        } else if (event.type == DestroyNotify && event.xdestroywindow.window == s.target.window) {
            std::fprintf(stderr, "xdnd-drag: the target window 0x%lx was destroyed during the drag\n",
                         s.target.window);
            std::exit(e2e::kExitNoTarget);
        } else if (event.type == ClientMessage && event.xclient.message_type == type &&
                   static_cast<Window>(event.xclient.data.l[0]) == s.target.window) {
            return event.xclient;
        }
    }
    return std::nullopt;
}

void SendToTarget(const Session& s, Atom type, const std::vector<long>& data) {
    e2e::SendClientMessage(s.dpy, s.target.destination, s.target.window, type, data);
}

int Fail(const Session& s, int code, const char* what) {
    std::fprintf(stderr, "xdnd-drag: %s\n", what);
    SendToTarget(s, s.atoms.xdndLeave, {static_cast<long>(s.source), 0, 0, 0, 0});
    return code;
}

// The window the user named and the drop point on it, in root coordinates.
struct Aim {
    Window named = 0;
    int rootX = 0, rootY = 0;
};

std::optional<Aim> TakeAim(Display* dpy, const e2e::Atoms& atoms, const Options& options) {
    Aim aim;
    if (options.window) {
        aim.named = *options.window;
    } else {
        const auto found = e2e::FindWindowsByTitle(dpy, atoms, options.title);
        if (found.empty()) {
            std::fprintf(stderr, "xdnd-drag: no viewable window has a title containing \"%s\"\n",
                         options.title.c_str());
            return std::nullopt;
        }
        aim.named = found.front();
    }
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, aim.named, &attributes)) return std::nullopt;
    const auto [x, y] = options.at.value_or(std::pair{attributes.width / 2, attributes.height / 2});
    Window child = None;
    XTranslateCoordinates(dpy, aim.named, DefaultRootWindow(dpy), x, y, &aim.rootX, &aim.rootY, &child);
    return aim;
}

// Owns the selection, then runs enter, position, status, drop, data requests and finished.
int RunProtocol(Session& s, const Aim& aim, double timeoutSeconds, size_t pathCount) {
    Display* dpy = s.dpy;
    const e2e::Atoms& atoms = s.atoms;
    const long copy = static_cast<long>(atoms.xdndActionCopy);
    XChangeProperty(dpy, s.source, atoms.xdndActionList, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&copy), 1);
    const long offered = static_cast<long>(atoms.uriList);
    XChangeProperty(dpy, s.source, atoms.xdndTypeList, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&offered), 1);

    const Time time = e2e::ServerTime(dpy, s.source);
    XSetSelectionOwner(dpy, atoms.xdndSelection, s.source, time);
    if (XGetSelectionOwner(dpy, atoms.xdndSelection) != s.source) {
        std::fprintf(stderr, "xdnd-drag: could not own the XdndSelection\n");
        return e2e::kExitXError;
    }
    XWarpPointer(dpy, None, DefaultRootWindow(dpy), 0, 0, 0, 0, aim.rootX, aim.rootY);

    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    const long src = static_cast<long>(s.source);
    const long version = s.target.version;
    SendToTarget(s, atoms.xdndEnter, {src, version << 24, offered, 0, 0});
    const long point = (long{aim.rootX} << 16) | (aim.rootY & 0xFFFF);
    SendToTarget(s, atoms.xdndPosition, {src, 0, point, static_cast<long>(time), copy});
    if (s.verbose) {
        // Once the server has handled both, they wait in the target's queue even if it is not
        // reading now: a script may rely on this line for that.
        XSync(dpy, False);
        std::fprintf(stderr, "xdnd-drag: sent enter (version %ld) and position %d,%d to 0x%lx\n", version,
                     aim.rootX, aim.rootY, s.target.window);
    }

    const auto status = AwaitMessage(s, atoms.xdndStatus, deadline);
    if (!status) return Fail(s, e2e::kExitTimeout, "no XdndStatus from the target before the timeout");
    if ((status->data.l[1] & 1) == 0) return Fail(s, e2e::kExitRefused, "the target refused the drop");

    SendToTarget(s, atoms.xdndDrop, {src, 0, static_cast<long>(time), 0, 0});
    const auto finished = AwaitMessage(s, atoms.xdndFinished, deadline);
    if (!finished) {
        std::fprintf(stderr, "xdnd-drag: no XdndFinished from the target before the timeout\n");
        return e2e::kExitTimeout;
    }
    if (s.failedRequest) return e2e::kExitRefused;
    if (version >= 5 && (finished->data.l[1] & 1) == 0) {
        std::fprintf(stderr, "xdnd-drag: the target reported that the drop failed\n");
        return e2e::kExitRefused;
    }
    if (s.requestsServed == 0) {
        std::fprintf(stderr, "xdnd-drag: the target finished without reading the dropped paths\n");
        return e2e::kExitRefused;
    }
    std::printf("dropped %zu path(s) on 0x%lx; data read %d time(s)\n", pathCount, s.target.window,
                s.requestsServed);
    return e2e::kExitOk;
}

int Drag(Display* dpy, const Options& options) {
    const e2e::Atoms atoms = e2e::InternAtoms(dpy);
    const auto aim = TakeAim(dpy, atoms, options);
    if (!aim) return e2e::kExitNoTarget;
    const auto target = FindDropTarget(dpy, atoms, aim->named, aim->rootX, aim->rootY);
    if (!target || target->version < kOldestXdndVersion) {
        std::fprintf(stderr, "xdnd-drag: no XDND-aware window (XdndAware >= %ld) at %d,%d (root) of 0x%lx\n",
                     kOldestXdndVersion, aim->rootX, aim->rootY, aim->named);
        return e2e::kExitNoTarget;
    }
    XSelectInput(dpy, target->window, StructureNotifyMask);

    std::vector<std::string> absolute;
    for (const auto& path : options.paths) absolute.push_back(std::filesystem::absolute(path).string());
    XSetWindowAttributes sourceAttributes{};
    sourceAttributes.event_mask = PropertyChangeMask;
    const Window source = XCreateWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, InputOnly,
                                        CopyFromParent, CWEventMask, &sourceAttributes);
    Session s{dpy, atoms, source, *target, e2e::UriList(absolute), options.verbose};
    const int code = RunProtocol(s, *aim, options.timeoutSeconds, absolute.size());
    XDestroyWindow(dpy, source);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseArgs(argc, argv);
    if (!options) return Usage("bad arguments");
    Display* dpy = e2e::OpenDisplay("xdnd-drag");
    if (!dpy) return e2e::kExitNoTarget;
    const int code = Drag(dpy, *options);
    XCloseDisplay(dpy);
    return code;
}
