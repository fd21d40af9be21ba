# Shared by the scripts that build a user's project against the library (check-*.cmake): each
# builds main.cpp, with the strict warnings of a careful user turned into errors, and runs it.
#
# The scripts take, with -D:
#   SOURCE_DIR BUILD_DIR WORK_DIR PACKAGE_DIR  the project, its build, a scratch folder, tests/package
#   GENERATOR MAKE_PROGRAM CONFIG              how the build was made
#   CXX_COMPILER CXX_FLAGS LINKER_FLAGS        its compiler and flags
#   TOOLCHAIN_FILE EMULATOR                    for a cross build: its toolchain, and what runs
#                                              its programs (tools/run-in-wine)
#   SHARED WINDOWS                             the library is shared; the target is Windows
#   EXE_SUFFIX VERSION BINDIR LIBDIR INCLUDEDIR CMAKEDIR PKGCONFIGDIR WITH_DEMO
#
# Every missing tool or file is a failure: nothing here is skipped.
cmake_minimum_required(VERSION 3.25)

foreach(name IN ITEMS SOURCE_DIR BUILD_DIR WORK_DIR PACKAGE_DIR GENERATOR CXX_COMPILER VERSION
                      BINDIR LIBDIR INCLUDEDIR CMAKEDIR PKGCONFIGDIR)
  if("${${name}}" STREQUAL "")
    message(FATAL_ERROR "${CMAKE_CURRENT_LIST_FILE}: ${name} is not set")
  endif()
endforeach()

# The user's own warnings, as errors: the public headers (and, built as a subproject, the
# library's sources) must stand them.
set(consumer_cxx_flags
    "${CXX_FLAGS} -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow -Werror")

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Runs a command; stops the test with its output when it fails. The output is left in `out`.
function(run_checked what)
  execute_process(COMMAND ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "${what} failed (${status}):\n${output}\n${errors}")
  endif()
  set(out "${output}" PARENT_SCOPE)
endfunction()

# Runs the consumer program, which finds a shared library in `library_dir`. Natively on a
# headless console, where it says "consumer: ok"; a Windows program under the emulator, on a
# console of its own, where its exit code tells.
function(run_consumer what program library_dir)
  if(EMULATOR)
    # Wine looks for DLLs along WINEPATH; drive Z: is the root folder.
    string(REPLACE "/" "\\" windows_dir "Z:${library_dir}")
    set(ENV{WINEPATH} "${windows_dir}")
    execute_process(COMMAND ${EMULATOR} ${program} WORKING_DIRECTORY ${WORK_DIR}
      RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    unset(ENV{WINEPATH})
    if(NOT status STREQUAL "0")
      message(FATAL_ERROR "${what}: exit status ${status}, output:\n${output}\n${errors}")
    endif()
    return()
  endif()
  set(ENV{CONLIB_CONSOLE} 80x25)
  set(ENV{LD_LIBRARY_PATH} "${library_dir}")
  execute_process(COMMAND ${program} WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  unset(ENV{CONLIB_CONSOLE})
  unset(ENV{LD_LIBRARY_PATH})
  if(NOT status STREQUAL "0" OR NOT output STREQUAL "consumer: ok\n")
    message(FATAL_ERROR "${what}: exit status ${status}, output:\n${output}\n${errors}")
  endif()
endfunction()

# Makes the project folder `dir` of a user: the CMakeLists.txt of tests/package/`kind` and
# main.cpp.
function(make_consumer_project dir kind)
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${PACKAGE_DIR}/${kind}/CMakeLists.txt ${PACKAGE_DIR}/main.cpp DESTINATION ${dir})
endfunction()

# Configures and builds the CMake project in `source` into `build`, with the arguments that
# follow; leaves the path of the program in `program`.
function(build_consumer what source build)
  set(toolchain_args "")
  if(TOOLCHAIN_FILE)
    set(toolchain_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
  endif()
  run_checked("configuring ${what}"
    ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR}
    -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    "-DCMAKE_CXX_FLAGS=${consumer_cxx_flags}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}"
    -DCMAKE_BUILD_TYPE=${CONFIG}
    ${toolchain_args} ${ARGN})
  set(config_args "")
  if(CONFIG)
    set(config_args --config ${CONFIG})
  endif()
  run_checked("building ${what}" ${CMAKE_COMMAND} --build ${build} ${config_args})
  set(path ${build}/your_program${EXE_SUFFIX})
  if(CONFIG AND NOT EXISTS ${path})
    set(path ${build}/${CONFIG}/your_program${EXE_SUFFIX})  # a multi-config generator
  endif()
  if(NOT EXISTS ${path})
    message(FATAL_ERROR "${what}: the program was not built")
  endif()
  set(program ${path} PARENT_SCOPE)
endfunction()

# Compiles and links main.cpp with nothing but pkg-config's flags for the conlib.pc in
# `pc_dir` (--static for a static library: its own dependencies come too); leaves the program
# in `program`.
function(build_pkg_config_consumer what pc_dir)
  find_program(PKG_CONFIG NAMES pkg-config pkgconf)
  if(NOT PKG_CONFIG)
    message(FATAL_ERROR "pkg-config is not installed")
  endif()
  # The package's folder alone: nothing of the system's own packages.
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  set(ENV{PKG_CONFIG_LIBDIR} ${pc_dir})
  run_checked("pkg-config --modversion" ${PKG_CONFIG} --modversion conlib)
  string(STRIP "${out}" modversion)
  if(NOT modversion STREQUAL VERSION)
    message(FATAL_ERROR "pkg-config gives version ${modversion}, the project is ${VERSION}")
  endif()
  set(static_arg "")
  if(NOT SHARED)
    set(static_arg --static)
  endif()
  run_checked("pkg-config --cflags --libs" ${PKG_CONFIG} ${static_arg} --cflags --libs conlib)
  unset(ENV{PKG_CONFIG_PATH})
  unset(ENV{PKG_CONFIG_LIBDIR})
  string(STRIP "${out}" pc_flags)
  message(STATUS "${what}: pkg-config ${static_arg} --cflags --libs conlib: ${pc_flags}")
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  separate_arguments(cxx_flags UNIX_COMMAND "${consumer_cxx_flags}")
  separate_arguments(linker_flags UNIX_COMMAND "${LINKER_FLAGS}")
  set(link_flags ${pc_flags})
  if(SHARED AND "-static" IN_LIST linker_flags)
    # A program linked -static (as the cross build links its own: no runtime DLLs beside it)
    # takes the shared library's import library by asking for it.
    set(link_flags -Wl,-Bdynamic ${pc_flags} -Wl,-Bstatic)
  endif()
  set(path ${WORK_DIR}/consumer-pc${EXE_SUFFIX})
  run_checked("compiling ${what}"
    ${CXX_COMPILER} -std=c++20 ${cxx_flags} ${PACKAGE_DIR}/main.cpp -o ${path}
    ${linker_flags} ${link_flags})
  set(program ${path} PARENT_SCOPE)
  set(pc_flags ${pc_flags} PARENT_SCOPE)
endfunction()
