// DllSearch_win32.h - internal, Windows: the process's DLL search without the current folder.
#pragma once

namespace mSevenZip32APIs {

// Takes the current folder out of the system's DLL search for the rest of the process:
// SetDllDirectoryW(L"") and SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE |
// BASE_SEARCH_PATH_PERMANENT). Done once; every later call returns at once. The library search and the
// binding call it before they search or load anything.
void RemoveCurrentFolderFromDllSearch();

}  // namespace mSevenZip32APIs
