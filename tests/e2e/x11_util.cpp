// x11_util.cpp - raw-Xlib helpers of the end-to-end test programs (see x11_util.h).
#include "x11_util.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace e2e {
namespace {

const char* g_programName = "x11";

int OnXError(Display* dpy, XErrorEvent* error) {
    char text[256] = {};
    XGetErrorText(dpy, error->error_code, text, sizeof text);
    std::fprintf(stderr, "%s: X error: %s (request %d.%d, resource 0x%lx)\n", g_programName, text,
                 error->request_code, error->minor_code, error->resourceid);
    std::_Exit(kExitXError);
}

int OnXIoError(Display*) {
    std::fprintf(stderr, "%s: the connection to the X server was lost\n", g_programName);
    std::_Exit(kExitXError);
}

struct XFreeDeleter {
    void operator()(void* p) const {
        if (p) XFree(p);
    }
};
template <typename T>
using XPtr = std::unique_ptr<T, XFreeDeleter>;

struct StampKey {
    Window window;
    Atom atom;
};

Bool IsStampNotify(Display*, XEvent* event, XPointer arg) {
    const auto* key = reinterpret_cast<const StampKey*>(arg);
    return event->type == PropertyNotify && event->xproperty.window == key->window &&
           event->xproperty.atom == key->atom;
}

void CollectByTitle(Display* dpy, const Atoms& atoms, Window window, const std::string& title,
                    std::vector<Window>& found) {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(dpy, window, &attributes) || attributes.map_state != IsViewable) return;
    if (WindowTitle(dpy, atoms, window).find(title) != std::string::npos) found.push_back(window);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, window, &root, &parent, &children, &count)) return;
    XPtr<Window> owned(children);
    for (unsigned int i = 0; i < count; ++i) CollectByTitle(dpy, atoms, children[i], title, found);
}

}  // namespace

Display* OpenDisplay(const char* programName) {
    g_programName = programName;
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "%s: cannot open display %s\n", programName, name ? name : "(DISPLAY unset)");
        return nullptr;
    }
    XSetErrorHandler(OnXError);
    XSetIOErrorHandler(OnXIoError);
    return dpy;
}

Atoms InternAtoms(Display* dpy) {
    auto get = [dpy](const char* name) { return XInternAtom(dpy, name, False); };
    Atoms a{};
    a.xdndAware = get("XdndAware");
    a.xdndProxy = get("XdndProxy");
    a.xdndEnter = get("XdndEnter");
    a.xdndPosition = get("XdndPosition");
    a.xdndStatus = get("XdndStatus");
    a.xdndLeave = get("XdndLeave");
    a.xdndDrop = get("XdndDrop");
    a.xdndFinished = get("XdndFinished");
    a.xdndSelection = get("XdndSelection");
    a.xdndTypeList = get("XdndTypeList");
    a.xdndActionCopy = get("XdndActionCopy");
    a.xdndActionList = get("XdndActionList");
    a.uriList = get("text/uri-list");
    a.targets = get("TARGETS");
    a.utf8String = get("UTF8_STRING");
    a.netWmName = get("_NET_WM_NAME");
    a.wmProtocols = get("WM_PROTOCOLS");
    a.wmDeleteWindow = get("WM_DELETE_WINDOW");
    return a;
}

bool WaitForEvent(Display* dpy, Clock::time_point deadline) {
    while (XPending(dpy) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
    }
    return true;
}

Time ServerTime(Display* dpy, Window window) {
    const Atom stamp = XInternAtom(dpy, "PAKUTO_E2E_TIMESTAMP", False);
    const unsigned char none = 0;
    XChangeProperty(dpy, window, stamp, XA_STRING, 8, PropModeReplace, &none, 0);
    XFlush(dpy);
    StampKey key{window, stamp};
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    XEvent event;
    // Other events stay queued, in order, for the caller.
    while (Clock::now() < deadline) {
        if (XCheckIfEvent(dpy, &event, IsStampNotify, reinterpret_cast<XPointer>(&key)))
            return event.xproperty.time;
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, 10);
        XEventsQueued(dpy, QueuedAfterReading);
    }
    return CurrentTime;
}

std::string WindowTitle(Display* dpy, const Atoms& atoms, Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, window, atoms.netWmName, 0, 4096, False, atoms.utf8String, &type, &format,
                           &count, &after, &data) == Success &&
        data) {
        XPtr<unsigned char> owned(data);
        if (type == atoms.utf8String && format == 8) return std::string(reinterpret_cast<char*>(data), count);
    }
    char* name = nullptr;
    if (XFetchName(dpy, window, &name) && name) {
        XPtr<char> owned(name);
        return name;
    }
    return {};
}

std::vector<Window> FindWindowsByTitle(Display* dpy, const Atoms& atoms, const std::string& title) {
    std::vector<Window> found;
    Window root = DefaultRootWindow(dpy), parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(dpy, root, &root, &parent, &children, &count)) return found;
    XPtr<Window> owned(children);
    for (unsigned int i = count; i-- > 0;) CollectByTitle(dpy, atoms, children[i], title, found);
    return found;
}

std::optional<unsigned long> ReadCardinalProperty(Display* dpy, Window window, Atom property, Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, window, property, 0, 1, False, type, &actualType, &format, &count, &after,
                           &data) != Success)
        return std::nullopt;
    XPtr<unsigned char> owned(data);
    if (!data || actualType != type || format != 32 || count < 1) return std::nullopt;
    // Xlib hands 32-bit property items back as longs.
    return static_cast<unsigned long>(reinterpret_cast<long*>(data)[0]);
}

void SendClientMessage(Display* dpy, Window destination, Window window, Atom type,
                       const std::vector<long>& data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = dpy;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (size_t i = 0; i < data.size() && i < 5; ++i) event.xclient.data.l[i] = data[i];
    XSendEvent(dpy, destination, False, NoEventMask, &event);
    XFlush(dpy);
}

std::optional<Window> ParseWindowId(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != '\0' || value == 0) return std::nullopt;
    return static_cast<Window>(value);
}

}  // namespace e2e
