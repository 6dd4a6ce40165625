// parent_folder.cpp - the folder that holds a path.
#include "parent_folder.h"

namespace {

// The length of `text` without its trailing '/', keeping a leading one.
size_t WithoutTrailingSlashes(const std::string& text, size_t length) {
    while (length > 1 && text[length - 1] == '/') --length;
    return length;
}

}  // namespace

std::string ParentFolder(const std::string& path) {
    const size_t end = WithoutTrailingSlashes(path, path.size());
    const size_t slash = end == 0 ? std::string::npos : path.rfind('/', end - 1);
    if (slash == std::string::npos) return ".";
    return path.substr(0, WithoutTrailingSlashes(path, slash == 0 ? 1 : slash));
}
