# README.md shows, as snippets for a user's project, the CMakeLists.txt files of the consumer
# projects that the package tests build: each must appear there whole, as a cmake code block.
#
#   cmake -DREADME=... -DPACKAGE_DIR=... -P check-readme.cmake
cmake_minimum_required(VERSION 3.25)

file(READ ${README} readme)
foreach(kind IN ITEMS find-package subdirectory fetchcontent)
  file(READ ${PACKAGE_DIR}/${kind}/CMakeLists.txt project)
  string(FIND "${readme}" "```cmake\n${project}```\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.md lacks the snippet of tests/package/${kind}/CMakeLists.txt:\n"
                        "${project}")
  endif()
endforeach()
message(STATUS "README.md shows every consumer project as it is tested")
