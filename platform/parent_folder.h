// parent_folder.h - the folder that holds a path, from the path's text alone ('/' separated).
#pragma once

#include <string>

// The folder holding `path`, as dirname(1) names it: trailing '/' are ignored, the text before the
// last '/' is the folder ("/work/a.txt" -> "/work", "/work/docs/" -> "/work", "/a" -> "/", "/" ->
// "/"); a path without '/' is in the current folder, "." ("a.txt" -> ".", "" -> ".").
std::string ParentFolder(const std::string& path);
