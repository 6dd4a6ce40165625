# mingw-common.cmake - the part of the Windows toolchain files both architectures share; the file
# naming the architecture sets PAKUTO_MINGW_TRIPLE and includes this one.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake [-DPAKUTO_WINDOWS_DEPS=<prefix>]
# The compilers have the posix thread model (std::thread, std::mutex). Everything links statically, so
# the programs and the DLL import only system DLLs (no libstdc++-6.dll, libgcc or libwinpthread).
# Libraries are searched in the mingw sysroot and in the staging prefix of the static dependencies
# (scripts/windows-deps.sh; default <build folder>/windows-deps), static archives only: zlib's import
# library libz.dll.a would otherwise be picked beside libz.a.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PAKUTO_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${PAKUTO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAKUTO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PAKUTO_MINGW_TRIPLE}-windres)

if(NOT PAKUTO_WINDOWS_DEPS)
  set(PAKUTO_WINDOWS_DEPS ${CMAKE_BINARY_DIR}/windows-deps)
endif()
# try_compile projects read this file again: they get the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PAKUTO_WINDOWS_DEPS)

set(PAKUTO_MINGW_SYSROOT /usr/${PAKUTO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${PAKUTO_WINDOWS_DEPS} ${PAKUTO_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only; the platform rules set the suffixes after this file, so the override does.
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/mingw-static-libraries.cmake)

# pkg-config sees only the target's .pc files: the staged ones, then mingw's zlib.pc.
set(ENV{PKG_CONFIG_LIBDIR} "${PAKUTO_WINDOWS_DEPS}/lib/pkgconfig:${PAKUTO_MINGW_SYSROOT}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
