# Windows 32-bit x86 programs built on Linux with MinGW-w64 (Debian: g++-mingw-w64-i686).
#   cmake --preset windows-x86      (CMakePresets.json)
# The posix thread model of the compilers gives the C++ library its threads; the runtime is
# linked statically, so that each .exe runs alone.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(conlib_mingw_triplet i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
