// driver_command_win32.cpp - the argument from the wide command line, in the ANSI code page exactly.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "driver_command.h"

bool driverCommand(int, char**, std::string& command) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    bool ok = args != nullptr && count == 2;
    command = ok ? std::string() : "usage: sevenzip32 \"COMMAND TEXT\"";
    if (ok && args[1][0] != L'\0') {
        // UTF-8 as the code page replaces nothing, and takes no question about it.
        BOOL replaced = FALSE;
        BOOL* ask = GetACP() == CP_UTF8 ? nullptr : &replaced;
        const int size =
            WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, args[1], -1, nullptr, 0, nullptr, ask);
        command.assign(static_cast<size_t>(size > 0 ? size : 1), '\0');
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, args[1], -1, command.data(), size, nullptr, ask);
        command.resize(command.size() - 1);
        ok = size > 0 && !replaced;
        if (!ok)
            command =
                "the command holds characters the ANSI code page " + std::to_string(GetACP()) + " lacks";
    }
    LocalFree(args);
    return ok;
}
