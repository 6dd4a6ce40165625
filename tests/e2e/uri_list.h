// uri_list.h - the text/uri-list payload a file manager offers when it drags local files: one file://
// URI per path, percent-encoded byte by byte, each line ended by CRLF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// The file URI of an absolute path, with an empty host ("file:///..."). Every byte other than an
// ASCII letter, digit, '-', '.', '_', '~' or the '/' separator is written as %XX (upper-case hex), so
// spaces, '%', '#', '?', newlines, UTF-8 sequences and bytes that are not UTF-8 all survive the trip.
std::string FileUri(std::string_view absolutePath);

// The whole payload: FileUri of each path in order, each followed by "\r\n".
std::string UriList(const std::vector<std::string>& absolutePaths);

}  // namespace e2e
