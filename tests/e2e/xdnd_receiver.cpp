// xdnd_receiver.cpp - a minimal XDND drop target in raw Xlib, the stand-in receiver the drag source is
// verified against before it meets the real tool. It reports every protocol step on stdout, checks the
// source's messages, fetches text/uri-list on the drop and saves the bytes exactly as received.
//
//   usage: xdnd-receiver --title TEXT --out FILE [--refuse] [--no-finish] [--not-aware] [--timeout SECONDS]
//
// stdout, one line each: "ready WINDOW X Y WIDTH HEIGHT" once mapped (root coordinates), then
// "enter source=S version=V types=T1,T2", "position X Y action=A", "leave", "drop bytes=N type=T".
// It ends after a leave or a completed drop (0), on a protocol fault ("error: ...", 4) or when nothing
// ends the drag in time (5). A WM_DELETE_WINDOW request prints "close" and ends it too (0), so the
// window closer can be checked here as well. --refuse answers every position with "not accepted"; --no-finish
// never sends XdndFinished; --not-aware leaves XdndAware off the window.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "x11_util.h"

namespace {

using e2e::Clock;

constexpr long kXdndVersion = 5;

struct Options {
    std::string title;
    std::string out;
    bool refuse = false;
    bool noFinish = false;
    bool notAware = false;
    double timeoutSeconds = 30.0;
};

std::optional<Options> ParseArgs(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--title" && hasValue) {
            o.title = argv[++i];
        } else if (arg == "--out" && hasValue) {
            o.out = argv[++i];
        } else if (arg == "--timeout" && hasValue) {
            o.timeoutSeconds = std::strtod(argv[++i], nullptr);
        } else if (arg == "--refuse") {
            o.refuse = true;
        } else if (arg == "--no-finish") {
            o.noFinish = true;
        } else if (arg == "--not-aware") {
            o.notAware = true;
        } else {
            return std::nullopt;
        }
    }
    if (o.title.empty() || o.out.empty() || o.timeoutSeconds <= 0) return std::nullopt;
    return o;
}

std::string AtomName(Display* dpy, Atom atom) {
    if (atom == None) return "None";
    char* name = XGetAtomName(dpy, atom);
    std::string text = name ? name : "?";
    if (name) XFree(name);
    return text;
}

int ProtocolError(const std::string& what) {
    std::printf("error: %s\n", what.c_str());
    std::fflush(stdout);
    return e2e::kExitRefused;
}

// The types a source offers: up to three in XdndEnter, or all of them in its XdndTypeList property.
std::vector<Atom> OfferedTypes(Display* dpy, const e2e::Atoms& atoms, const XClientMessageEvent& enter) {
    std::vector<Atom> types;
    if (enter.data.l[1] & 1) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, static_cast<Window>(enter.data.l[0]), atoms.xdndTypeList, 0, 1024, False,
                               XA_ATOM, &type, &format, &count, &after, &data) == Success &&
            data) {
            for (unsigned long i = 0; i < count; ++i) types.push_back(reinterpret_cast<Atom*>(data)[i]);
            XFree(data);
        }
    } else {
        for (int i = 2; i < 5; ++i)
            if (enter.data.l[i] != None) types.push_back(static_cast<Atom>(enter.data.l[i]));
    }
    return types;
}

// Reads the whole property (in chunks) and deletes it; nullopt when it is missing.
std::optional<std::string> TakeProperty(Display* dpy, Window window, Atom property, Atom& type) {
    std::string bytes;
    long offset = 0;
    for (;;) {
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, window, property, offset, 65536, False, AnyPropertyType, &type, &format,
                               &count, &after, &data) != Success ||
            type == None)
            return std::nullopt;
        const size_t unit = format == 8 ? 1 : format == 16 ? sizeof(short) : sizeof(long);
        bytes.append(reinterpret_cast<const char*>(data), count * unit);
        XFree(data);
        if (after == 0) break;
        offset += static_cast<long>(count * unit / 4);
    }
    XDeleteProperty(dpy, window, property);
    return bytes;
}

// Asks the source for its uri-list and waits for the answer; nullopt on refusal or timeout.
std::optional<std::string> FetchDrop(Display* dpy, const e2e::Atoms& atoms, Window self, Time time,
                                     Clock::time_point deadline, Atom& type) {
    const Atom property = XInternAtom(dpy, "PAKUTO_E2E_DROP", False);
    XConvertSelection(dpy, atoms.xdndSelection, atoms.uriList, property, self, time);
    XFlush(dpy);
    while (e2e::WaitForEvent(dpy, deadline)) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type != SelectionNotify || event.xselection.requestor != self) continue;
        if (event.xselection.property == None) return std::nullopt;
        return TakeProperty(dpy, self, event.xselection.property, type);
    }
    return std::nullopt;
}

int Receive(Display* dpy, const Options& o) {
    const e2e::Atoms atoms = e2e::InternAtoms(dpy);
    const Window root = DefaultRootWindow(dpy);
    const Window self = XCreateSimpleWindow(dpy, root, 100, 100, 400, 300, 0, 0, 0xFFFFFF);
    XSelectInput(dpy, self, StructureNotifyMask | PropertyChangeMask);
    XStoreName(dpy, self, o.title.c_str());
    XChangeProperty(dpy, self, atoms.netWmName, atoms.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(o.title.data()), static_cast<int>(o.title.size()));
    if (!o.notAware)
        XChangeProperty(dpy, self, atoms.xdndAware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&kXdndVersion), 1);
    Atom deleteWindow = atoms.wmDeleteWindow;
    XSetWMProtocols(dpy, self, &deleteWindow, 1);
    XMapWindow(dpy, self);

    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(o.timeoutSeconds));
    XEvent event;
    do {
        if (!e2e::WaitForEvent(dpy, deadline)) return e2e::kExitTimeout;
        XNextEvent(dpy, &event);
    } while (event.type != MapNotify);
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(dpy, self, root, 0, 0, &x, &y, &child);
    std::printf("ready 0x%lx %d %d 400 300\n", self, x, y);
    std::fflush(stdout);

    Window source = None;
    while (e2e::WaitForEvent(dpy, deadline)) {
        XNextEvent(dpy, &event);
        if (event.type != ClientMessage) continue;
        const XClientMessageEvent& m = event.xclient;
        const auto from = static_cast<Window>(m.data.l[0]);
        if (m.message_type == atoms.wmProtocols && static_cast<Atom>(m.data.l[0]) == atoms.wmDeleteWindow) {
            std::printf("close\n");
            std::fflush(stdout);
            return e2e::kExitOk;
        }
        if (m.message_type == atoms.xdndEnter) {
            source = from;
            std::string types;
            for (const Atom t : OfferedTypes(dpy, atoms, m))
                types += (types.empty() ? "" : ",") + AtomName(dpy, t);
            std::printf("enter source=0x%lx version=%ld types=%s\n", source, (m.data.l[1] >> 24) & 0xFF,
                        types.c_str());
        } else if (m.message_type == atoms.xdndPosition) {
            if (source == None || from != source)
                return ProtocolError("XdndPosition without a matching XdndEnter");
            const long point = m.data.l[2];
            std::printf("position %ld %ld action=%s\n", (point >> 16) & 0xFFFF, point & 0xFFFF,
                        AtomName(dpy, static_cast<Atom>(m.data.l[4])).c_str());
            const long accepted = o.refuse ? 0 : 1;
            e2e::SendClientMessage(dpy, source, self, atoms.xdndStatus,
                                   {static_cast<long>(self), accepted, 0, 0,
                                    o.refuse ? 0 : static_cast<long>(atoms.xdndActionCopy)});
        } else if (m.message_type == atoms.xdndLeave) {
            std::printf("leave\n");
            std::fflush(stdout);
            return e2e::kExitOk;
        } else if (m.message_type == atoms.xdndDrop) {
            if (source == None || from != source)
                return ProtocolError("XdndDrop without a matching XdndEnter");
            if (XGetSelectionOwner(dpy, atoms.xdndSelection) != source)
                return ProtocolError("the XdndSelection is not owned by the drag source");
            Atom type = None;
            const auto data = FetchDrop(dpy, atoms, self, static_cast<Time>(m.data.l[2]), deadline, type);
            if (!data) return ProtocolError("the source did not deliver text/uri-list");
            std::ofstream(o.out, std::ios::binary) << *data;
            std::printf("drop bytes=%zu type=%s\n", data->size(), AtomName(dpy, type).c_str());
            std::fflush(stdout);
            if (!o.noFinish) {
                e2e::SendClientMessage(dpy, source, self, atoms.xdndFinished,
                                       {static_cast<long>(self), 1, static_cast<long>(atoms.xdndActionCopy)});
                return e2e::kExitOk;
            }
        }
        std::fflush(stdout);
    }
    return e2e::kExitTimeout;
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = ParseArgs(argc, argv);
    if (!options) {
        std::fprintf(stderr,
                     "usage: xdnd-receiver --title TEXT --out FILE [--refuse] [--no-finish] [--not-aware] "
                     "[--timeout SECONDS]\n");
        return e2e::kExitUsage;
    }
    Display* dpy = e2e::OpenDisplay("xdnd-receiver");
    if (!dpy) return e2e::kExitNoTarget;
    const int code = Receive(dpy, *options);
    XCloseDisplay(dpy);
    return code;
}
