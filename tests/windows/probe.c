/* probe.c - reads and drives Pakuto.exe's window from inside the same Wine prefix, for the end-to-end
 * test (wine_drop_test.py): the window found by its class, its controls by their IDs (ControlIds.h).
 * Texts are printed as UTF-8, one "tag<TAB>value" line each. Commands, run in the order given:
 *   find         wait for the main window to show
 *   dump         print "caption", "line" (top first), "check" (0 = chkDelete, 1 = chkEachFile, state),
 *                "edit", "centre" (x y of the list on the screen)
 *   check I S    set check box I to state S
 *   edit TEXT    set txtExtension's text
 *   title TEXT   set the window's caption
 *   ready        print "ready"
 *   wait SUFFIX  wait for the caption to end with SUFFIX, printing each caption seen
 *   click        press cmdAbout
 *   box TITLE    wait for a dialog of that caption, print its "text" lines, press Esc until it is gone
 *   close        close the window, waiting until it is gone
 * Exits 2 with a "probe" line when a window does not come, or does not answer, within a minute. */
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#include "ControlIds.h"

enum { kWaitMs = 60000, kPollMs = 5 };
static const int kChecks[] = {PAKUTO_ID_DELETE_BOX, PAKUTO_ID_EACH_FILE_BOX};
static HWND g_window;

static void fail(const char* what) {
    printf("probe\t%s\n", what);
    exit(2);
}

static void print(const char* tag, const wchar_t* text) {
    char utf8[4096];
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL)) utf8[0] = 0;
    printf("%s\t%s\n", tag, utf8);
}

static LRESULT ask(int control, UINT message, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    HWND to = control ? GetDlgItem(g_window, control) : g_window;
    if (!to || !SendMessageTimeoutW(to, message, w, l, SMTO_ABORTIFHUNG, 10000, &result)) fail("no answer");
    return (LRESULT)result;
}

static void find(const wchar_t* kind, const wchar_t* title) {
    for (int waited = 0; !(g_window = FindWindowW(kind, title)) || !IsWindowVisible(g_window);
         waited += kPollMs) {
        if (waited > kWaitMs) fail("no window came");
        Sleep(kPollMs);
    }
}

/* Posts the message until the window is gone (a message posted just before the probe ends can be lost). */
static void end(UINT message, WPARAM w) {
    for (int waited = 0; IsWindow(g_window); waited += 50) {
        if (waited > kWaitMs) fail("the window did not close");
        PostMessageW(g_window, message, w, 0);
        Sleep(50);
    }
}

static void dump(void) {
    wchar_t text[4096];
    RECT box;
    GetWindowTextW(g_window, text, 4096);
    print("caption", text);
    for (LRESULT i = 0, count = ask(PAKUTO_ID_RESULT_LIST, LB_GETCOUNT, 0, 0); i < count; i++) {
        if (ask(PAKUTO_ID_RESULT_LIST, LB_GETTEXTLEN, (WPARAM)i, 0) >= 4096) fail("a list line is too long");
        ask(PAKUTO_ID_RESULT_LIST, LB_GETTEXT, (WPARAM)i, (LPARAM)text);
        print("line", text);
    }
    for (int i = 0; i < 2; i++) printf("check\t%d\t%d\n", i, (int)ask(kChecks[i], BM_GETCHECK, 0, 0));
    ask(PAKUTO_ID_EXTENSION_BOX, WM_GETTEXT, 4096, (LPARAM)text);
    print("edit", text);
    GetWindowRect(GetDlgItem(g_window, PAKUTO_ID_RESULT_LIST), &box);
    printf("centre\t%ld %ld\n", (box.left + box.right) / 2, (box.top + box.bottom) / 2);
}

static void wait_caption(const wchar_t* suffix) {
    wchar_t seen[512] = L"", caption[512];
    for (int waited = 0;; waited += kPollMs, Sleep(kPollMs)) {
        GetWindowTextW(g_window, caption, 512);
        if (wcscmp(caption, seen)) print("caption", wcscpy(seen, caption));
        size_t length = wcslen(caption), tail = wcslen(suffix);
        if (length >= tail && !wcscmp(caption + length - tail, suffix)) return;
        if (waited > kWaitMs || !IsWindow(g_window)) fail("the caption did not come");
    }
}

static void box(const wchar_t* title) {
    find(L"#32770", title);
    for (HWND c = GetWindow(g_window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t kind[64], text[512];
        GetClassNameW(c, kind, 64);
        if (!_wcsicmp(kind, L"Static") && GetWindowTextW(c, text, 512)) print("text", text);
    }
    end(WM_KEYDOWN, VK_ESCAPE);
}

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, NULL, _IONBF, 0);
    for (int i = 1; i < argc; i++) {
        const wchar_t *command = argv[i], *arg = i + 1 < argc ? argv[i + 1] : L"";
        if (!wcscmp(command, L"find"))
            find(PAKUTO_MAIN_CLASS, NULL);
        else if (!wcscmp(command, L"box"))
            box(arg), i++;
        else if (!g_window)
            fail("no window: find one first");
        else if (!wcscmp(command, L"dump"))
            dump();
        else if (!wcscmp(command, L"check") && i + 2 < argc && (unsigned)_wtoi(arg) < 2) {
            ask(kChecks[_wtoi(arg)], BM_SETCHECK, (WPARAM)_wtoi(argv[i + 2]), 0);
            i += 2;
        } else if (!wcscmp(command, L"edit"))
            ask(PAKUTO_ID_EXTENSION_BOX, WM_SETTEXT, 0, (LPARAM)arg), i++;
        else if (!wcscmp(command, L"title"))
            ask(0, WM_SETTEXT, 0, (LPARAM)arg), i++;
        else if (!wcscmp(command, L"ready"))
            puts("ready");
        else if (!wcscmp(command, L"wait"))
            wait_caption(arg), i++;
        else if (!wcscmp(command, L"click"))
            PostMessageW(GetDlgItem(g_window, PAKUTO_ID_ABOUT_BUTTON), BM_CLICK, 0, 0);
        else if (!wcscmp(command, L"close"))
            end(WM_CLOSE, 0);
        else
            fail("unknown command");
    }
    return 0;
}
