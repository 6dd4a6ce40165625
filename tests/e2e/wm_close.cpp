// wm_close.cpp - asks a window to close the way a window manager's close box does: a WM_DELETE_WINDOW
// message of the WM_PROTOCOLS kind. The test display runs no window manager, and destroying or killing
// the window instead would skip the program's own shutdown (where it saves its settings).
//
//   usage: wm-close WINDOW
//
// Exit codes are those of x11_util.h: 0 sent, 2 usage, 3 no display or the window does not take
// WM_DELETE_WINDOW, 6 X error (for example no such window).
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>

#include "x11_util.h"

int main(int argc, char** argv) {
    const auto window = argc == 2 ? e2e::ParseWindowId(argv[1]) : std::nullopt;
    if (!window) {
        std::fprintf(stderr, "usage: wm-close WINDOW\n");
        return e2e::kExitUsage;
    }
    Display* dpy = e2e::OpenDisplay("wm-close");
    if (!dpy) return e2e::kExitNoTarget;
    const e2e::Atoms atoms = e2e::InternAtoms(dpy);

    Atom* protocols = nullptr;
    int count = 0;
    bool takesDelete = false;
    if (XGetWMProtocols(dpy, *window, &protocols, &count)) {
        for (int i = 0; i < count; ++i) takesDelete = takesDelete || protocols[i] == atoms.wmDeleteWindow;
        XFree(protocols);
    }
    if (!takesDelete) {
        std::fprintf(stderr, "wm-close: window 0x%lx does not take WM_DELETE_WINDOW\n", *window);
        XCloseDisplay(dpy);
        return e2e::kExitNoTarget;
    }
    e2e::SendClientMessage(dpy, *window, *window, atoms.wmProtocols,
                           {static_cast<long>(atoms.wmDeleteWindow), CurrentTime, 0, 0, 0});
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return e2e::kExitOk;
}
