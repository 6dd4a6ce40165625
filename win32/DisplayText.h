// DisplayText.h - text between the tool's UTF-8 and what the window's controls show and hold.
//
// Unlike the exact conversions of wide_text.h, these never refuse: a byte sequence that is not UTF-8
// shows as U+FFFD, and a lone surrogate typed into a box reads as U+FFFD. What the window shows and
// what a user typed is text, not a file's name: a U+FFFD in an archive name makes the job refuse it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);

// The whole text of a window (caption, edit box), UTF-16.
std::wstring WindowText(HWND window);

}  // namespace win32
