# Shared by the MinGW-w64 toolchain files, which set conlib_mingw_triplet first.
find_program(CMAKE_C_COMPILER NAMES ${conlib_mingw_triplet}-gcc-posix ${conlib_mingw_triplet}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${conlib_mingw_triplet}-g++-posix ${conlib_mingw_triplet}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${conlib_mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${conlib_mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLLs of the compiler's runtime beside the programs: libgcc, libstdc++ and winpthreads
# are linked into each of them, and into conlib.dll in a shared build.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
