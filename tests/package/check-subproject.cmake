# Builds a user's project that takes the library's sources in, as MODE says: `subdirectory`
# (add_subdirectory of a folder conlib/ beside it, a link to the source tree) or
# `fetchcontent` (FetchContent from an archive of the source tree, through a file:// URL: no
# network). Static or shared as the project's own build (SHARED). The user's build must stay
# free of our demo, examples and tests, and of our warnings as errors; the program runs.
# Takes the -D values of consumer.cmake, and MODE.
include(${CMAKE_CURRENT_LIST_DIR}/consumer.cmake)

set(project ${WORK_DIR}/project)
make_consumer_project(${project} ${MODE})
set(extra_args "")
if(MODE STREQUAL "subdirectory")
  file(CREATE_LINK ${SOURCE_DIR} ${project}/conlib SYMBOLIC)
elseif(MODE STREQUAL "fetchcontent")
  # The archive holds what a source release does: the tree without its build folders.
  set(archive ${WORK_DIR}/conlib-${VERSION}.tar.gz)
  file(GLOB entries RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
  list(FILTER entries EXCLUDE REGEX "^(build.*|\\..*)$")
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf ${archive} ${entries}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status ERROR_VARIABLE errors)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "packing the sources failed: ${errors}")
  endif()
  set(extra_args -DCONLIB_URL=file://${archive} -DFETCHCONTENT_QUIET=ON)
else()
  message(FATAL_ERROR "check-subproject: MODE must be subdirectory or fetchcontent")
endif()
if(SHARED)
  list(APPEND extra_args -DBUILD_SHARED_LIBS=ON)
endif()

set(build ${WORK_DIR}/build)
build_consumer("the ${MODE} consumer" ${project} ${build} ${extra_args})
# A shared library is found through the program's build-tree run path.
run_consumer("the ${MODE} consumer" ${program} "")

# Only the library was built of ours: no demo, example, test, benchmark or fuzz target.
file(GLOB_RECURSE built LIST_DIRECTORIES false RELATIVE ${build}
     ${build}/*conlib-demo* ${build}/*conlib_*_tests* ${build}/*random_table*
     ${build}/*number_bases* ${build}/*diagnostics_demo* ${build}/*gtest*
     ${build}/*conlib_bench* ${build}/*_fuzz*)
list(FILTER built EXCLUDE REGEX "^_deps/conlib-(src|subbuild)/")
if(built)
  message(FATAL_ERROR "the ${MODE} consumer built programs of ours: ${built}")
endif()
file(STRINGS ${build}/CMakeCache.txt werror REGEX "^CONLIB_WARNINGS_AS_ERRORS:")
if(NOT werror MATCHES "=OFF$")
  message(FATAL_ERROR "the ${MODE} consumer got our warnings as errors: ${werror}")
endif()
message(STATUS "the ${MODE} consumer builds and runs")
