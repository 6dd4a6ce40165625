# Toolchain file for 64-bit Windows (x86_64-w64-mingw32); see mingw-common.cmake.
set(PAKUTO_MINGW_TRIPLE x86_64-w64-mingw32)
set(PAKUTO_MINGW_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
