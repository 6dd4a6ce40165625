# Toolchain file for 32-bit Windows (i686-w64-mingw32); see mingw-common.cmake.
set(PAKUTO_MINGW_TRIPLE i686-w64-mingw32)
set(PAKUTO_MINGW_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
