// DropDispatch.cpp - which job a dropped path goes to.
#include "DropDispatch.h"

#include <sys/stat.h>

#include "PathText.h"

DropAction ClassifyDroppedPath(const std::string& path, int eachFileState) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return DropAction::Skip;
    if (S_ISREG(info.st_mode)) return DropAction::CompressFile;
    if (!S_ISDIR(info.st_mode)) return DropAction::Skip;
    if (mMain::IsHiddenName(mMain::GetFileName(path))) return DropAction::Skip;
    return eachFileState != 0 ? DropAction::CompressEachFile : DropAction::CompressFolder;
}
