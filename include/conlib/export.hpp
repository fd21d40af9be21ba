// conlib: the mark of the library's public interface.
//
// CONLIB_API marks the functions and objects of the public headers. A shared build of the
// library exports these and nothing else: everything else in it is compiled hidden. On Windows
// the users of conlib.dll import them: the CMake target conlib::conlib and conlib.pc of a
// shared build define CONLIB_SHARED for them, and the library's own build also defines
// CONLIB_BUILDING. A static library needs neither.
#pragma once

#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(CONLIB_SHARED) && defined(CONLIB_BUILDING)
#define CONLIB_API __declspec(dllexport)
#elif defined(CONLIB_SHARED)
#define CONLIB_API __declspec(dllimport)
#else
#define CONLIB_API
#endif
#elif defined(__GNUC__)
#define CONLIB_API __attribute__((visibility("default")))
#else
#define CONLIB_API
#endif
