# Installs the built project into a fresh prefix, the library's component alone and then the
# demo's, and uses the library the two ways a user would: a CMake project with
# find_package(conlib), and a compiler command with pkg-config's flags. Takes the -D values of
# consumer.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/consumer.cmake)

set(prefix ${WORK_DIR}/prefix)
set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()

# 1. The library alone: no program of ours comes with it.
run_checked("cmake --install --component library" ${CMAKE_COMMAND} --install ${BUILD_DIR}
            --prefix ${prefix} --component library ${config_args})

foreach(file IN ITEMS
    ${INCLUDEDIR}/conlib/conlib.hpp ${INCLUDEDIR}/conlib/console.hpp
    ${INCLUDEDIR}/conlib/export.hpp ${INCLUDEDIR}/conlib/files.hpp
    ${INCLUDEDIR}/conlib/input.hpp ${INCLUDEDIR}/conlib/util.hpp
    ${CMAKEDIR}/conlibConfig.cmake ${CMAKEDIR}/conlibConfigVersion.cmake
    ${CMAKEDIR}/conlib-targets.cmake ${PKGCONFIGDIR}/conlib.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(EXISTS ${prefix}/${BINDIR}/conlib-demo${EXE_SUFFIX})
  message(FATAL_ERROR "the library's component installed the demo")
endif()

# Only the public headers are installed: no system layer, no internal header.
file(GLOB_RECURSE headers RELATIVE ${prefix}/${INCLUDEDIR} ${prefix}/${INCLUDEDIR}/*)
list(SORT headers)
set(public conlib/conlib.hpp conlib/console.hpp conlib/export.hpp conlib/files.hpp
           conlib/input.hpp conlib/util.hpp)
if(NOT headers STREQUAL public)
  message(FATAL_ERROR "installed headers are not the public ones: ${headers}")
endif()

# The exported target names only the installed include directory: nothing of the build tree,
# and no build-only target (warning flags, internal headers) reaches the users.
file(GLOB target_files ${prefix}/${CMAKEDIR}/conlib-targets*.cmake)
foreach(target_file IN LISTS target_files)
  file(READ ${target_file} text)
  foreach(leak IN ITEMS conlib_warnings conlib_internal ${SOURCE_DIR} ${BUILD_DIR})
    string(FIND "${text}" "${leak}" at)
    if(NOT at EQUAL -1)
      message(FATAL_ERROR "${target_file} mentions ${leak}")
    endif()
  endforeach()
endforeach()
file(READ ${prefix}/${CMAKEDIR}/conlib-targets.cmake text)
if(NOT text MATCHES "INTERFACE_INCLUDE_DIRECTORIES \"\\\${_IMPORT_PREFIX}/${INCLUDEDIR}\"")
  message(FATAL_ERROR "conlib::conlib does not carry exactly the installed include "
                      "directory:\n${text}")
endif()

# A static library names the system libraries it needs for pkg-config's static link: on
# Windows, user32 (the message boxes).
file(READ ${prefix}/${PKGCONFIGDIR}/conlib.pc pc_text)
if(WINDOWS AND NOT SHARED AND NOT pc_text MATCHES "\nLibs.private:[^\n]* -luser32")
  message(FATAL_ERROR "conlib.pc of a static Windows library lacks -luser32:\n${pc_text}")
endif()

# The library's runtime part: the shared library (on Windows the DLL, in BINDIR).
if(WINDOWS)
  set(runtime_dir ${prefix}/${BINDIR})
else()
  set(runtime_dir ${prefix}/${LIBDIR})
endif()

# 2. A CMake project that finds the package in the prefix. A cross build's toolchain searches
# its own system root only: the package is named directly.
make_consumer_project(${WORK_DIR}/find-package find-package)
if(TOOLCHAIN_FILE)
  set(where -Dconlib_DIR=${prefix}/${CMAKEDIR})
else()
  set(where -DCMAKE_PREFIX_PATH=${prefix})
endif()
build_consumer("the find_package consumer" ${WORK_DIR}/find-package
               ${WORK_DIR}/find-package-build ${where})
file(STRINGS ${WORK_DIR}/find-package-build/CMakeCache.txt found REGEX "^conlib_DIR:")
# Compared as text: the prefix is a path, which may hold characters a regular expression reads
# otherwise (build-g++/...).
string(REGEX REPLACE "^conlib_DIR:[A-Z]+=" "" found_dir "${found}")
if(NOT found_dir STREQUAL "${prefix}/${CMAKEDIR}")
  message(FATAL_ERROR "the consumer found another conlib package: ${found}")
endif()
run_consumer("the consumer built with find_package" ${program} ${runtime_dir})

# 3. pkg-config.
build_pkg_config_consumer("the pkg-config consumer" ${prefix}/${PKGCONFIGDIR})
set(include_ok FALSE)
set(lib_ok FALSE)
foreach(flag IN LISTS pc_flags)
  if(flag MATCHES "^-I(.+)")
    file(REAL_PATH "${CMAKE_MATCH_1}" dir)
    if(dir STREQUAL "${prefix}/${INCLUDEDIR}")
      set(include_ok TRUE)
    endif()
  elseif(flag STREQUAL "-lconlib")
    set(lib_ok TRUE)
  endif()
endforeach()
if(NOT include_ok OR NOT lib_ok)
  message(FATAL_ERROR "pkg-config's flags do not name ${prefix}/${INCLUDEDIR} and -lconlib")
endif()
run_consumer("the consumer built with pkg-config" ${program} ${runtime_dir})

# 4. The demo's component, on top.
if(WITH_DEMO)
  run_checked("cmake --install --component demo" ${CMAKE_COMMAND} --install ${BUILD_DIR}
              --prefix ${prefix} --component demo ${config_args})
  if(NOT EXISTS ${prefix}/${BINDIR}/conlib-demo${EXE_SUFFIX})
    message(FATAL_ERROR "not installed: ${BINDIR}/conlib-demo")
  endif()
endif()

message(STATUS "the installed package works with find_package and with pkg-config")
