# Installs the built project into a fresh prefix and uses it the two ways a user would:
# a CMake project with find_package(conlib), and a compiler command with pkg-config's flags.
#
#   cmake -DSOURCE_DIR=... -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_DIR=... -DCONFIG=...
#         -DGENERATOR=... -DMAKE_PROGRAM=... -DCXX_COMPILER=... -DCXX_FLAGS=...
#         -DLINKER_FLAGS=... -DEXE_SUFFIX=... -DVERSION=... -DBINDIR=... -DLIBDIR=... -DINCLUDEDIR=...
#         -DCMAKEDIR=... -DPKGCONFIGDIR=... -P check-install.cmake
#
# Every missing tool or file is a failure: nothing here is skipped.
cmake_minimum_required(VERSION 3.25)

foreach(name IN ITEMS SOURCE_DIR BUILD_DIR WORK_DIR CONSUMER_DIR GENERATOR CXX_COMPILER VERSION
                      BINDIR LIBDIR INCLUDEDIR CMAKEDIR PKGCONFIGDIR)
  if("${${name}}" STREQUAL "")
    message(FATAL_ERROR "check-install: ${name} is not set")
  endif()
endforeach()

# Runs a command; stops the test with its output when it fails. The output is left in `out`.
function(run_checked what)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "${what} failed (${status}):\n${output}\n${errors}")
  endif()
  set(out "${output}" PARENT_SCOPE)
endfunction()

# Runs the consumer program on a headless console and checks what it says.
function(run_consumer what program)
  set(ENV{CONLIB_CONSOLE} 80x25)
  set(ENV{LD_LIBRARY_PATH} ${prefix}/${LIBDIR})  # a shared library outside the system's paths
  execute_process(COMMAND ${program} WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  unset(ENV{CONLIB_CONSOLE})
  if(NOT status STREQUAL "0" OR NOT output STREQUAL "consumer: ok\n")
    message(FATAL_ERROR "${what}: exit status ${status}, output:\n${output}\n${errors}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# 1. Install.
set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()
run_checked("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
            ${config_args})

foreach(file IN ITEMS
    ${INCLUDEDIR}/conlib/conlib.hpp ${INCLUDEDIR}/conlib/console.hpp
    ${INCLUDEDIR}/conlib/files.hpp ${INCLUDEDIR}/conlib/input.hpp ${INCLUDEDIR}/conlib/util.hpp
    ${CMAKEDIR}/conlibConfig.cmake ${CMAKEDIR}/conlibConfigVersion.cmake
    ${CMAKEDIR}/conlib-targets.cmake ${PKGCONFIGDIR}/conlib.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(WITH_DEMO AND NOT EXISTS ${prefix}/${BINDIR}/conlib-demo${EXE_SUFFIX})
  message(FATAL_ERROR "not installed: ${BINDIR}/conlib-demo")
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

# 2. A CMake project that finds the package in the prefix.
set(build ${WORK_DIR}/consumer)
run_checked("configuring the consumer"
  ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${build} -G ${GENERATOR}
  -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCONLIB_WANTED_VERSION=${VERSION}
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
  -DCMAKE_BUILD_TYPE=${CONFIG})
file(STRINGS ${build}/CMakeCache.txt found REGEX "^conlib_DIR:")
if(NOT found STREQUAL "conlib_DIR:PATH=${prefix}/${CMAKEDIR}")
  message(FATAL_ERROR "the consumer found another conlib package: ${found}")
endif()
run_checked("building the consumer" ${CMAKE_COMMAND} --build ${build} ${config_args})
set(consumer ${build}/consumer${EXE_SUFFIX})
if(CONFIG AND NOT EXISTS ${consumer})
  set(consumer ${build}/${CONFIG}/consumer${EXE_SUFFIX})  # a multi-config generator
endif()
if(NOT EXISTS ${consumer})
  message(FATAL_ERROR "the consumer program was not built")
endif()
run_consumer("the consumer built with find_package" ${consumer})

# 3. pkg-config.
find_program(PKG_CONFIG NAMES pkg-config pkgconf)
if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config is not installed")
endif()
set(ENV{PKG_CONFIG_PATH} ${prefix}/${PKGCONFIGDIR})
unset(ENV{PKG_CONFIG_LIBDIR})
run_checked("pkg-config --modversion" ${PKG_CONFIG} --modversion conlib)
string(STRIP "${out}" modversion)
if(NOT modversion STREQUAL VERSION)
  message(FATAL_ERROR "pkg-config gives version ${modversion}, the project is ${VERSION}")
endif()
run_checked("pkg-config --cflags --libs" ${PKG_CONFIG} --cflags --libs conlib)
string(STRIP "${out}" pc_flags)
message(STATUS "pkg-config --cflags --libs conlib: ${pc_flags}")
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
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

# The same program, compiled and linked with nothing but pkg-config's flags.
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS}")
separate_arguments(linker_flags UNIX_COMMAND "${LINKER_FLAGS}")
set(program ${WORK_DIR}/consumer-pc${EXE_SUFFIX})
run_checked("compiling with pkg-config's flags"
  ${CXX_COMPILER} -std=c++20 ${cxx_flags} ${CONSUMER_DIR}/main.cpp -o ${program}
  ${linker_flags} ${pc_flags})
run_consumer("the consumer built with pkg-config" ${program})

message(STATUS "the installed package works with find_package and with pkg-config")
