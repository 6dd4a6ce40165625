# Read after CMake's Windows platform rules (CMAKE_USER_MAKE_RULES_OVERRIDE of mingw-common.cmake),
# which search import libraries (.dll.a) first: here only static archives are searched, so
# find_library and pkg-config's libraries resolve to zlib's libz.a, never to libz.dll.a.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
