# Install rules: the library, its public headers, an exported CMake package
# (find_package(conlib) gives the imported target conlib::conlib) and a pkg-config file, all
# in the component "library"; the demo program in a component of its own, "demo", which an
# install of the library alone (`cmake --install BUILD --component library`) leaves out. The
# Debian package (cpack -G DEB) holds the library component.
include(CMakePackageConfigHelpers)

set(CONLIB_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/conlib
    CACHE STRING "Where the CMake package files are installed, relative to the prefix")
set(CONLIB_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    CACHE STRING "Where conlib.pc is installed, relative to the prefix")

install(TARGETS conlib
  EXPORT conlib-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library)

# The public headers only: the library's internal headers and the system layer stay private.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/conlib
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT library
  FILES_MATCHING PATTERN "*.hpp")

if(TARGET conlib-demo)
  install(TARGETS conlib-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT demo)
endif()

install(EXPORT conlib-targets
  NAMESPACE conlib::
  FILE conlib-targets.cmake
  DESTINATION ${CONLIB_INSTALL_CMAKEDIR}
  COMPONENT library)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/conlibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/conlibConfig.cmake
  INSTALL_DESTINATION ${CONLIB_INSTALL_CMAKEDIR})

# Before 1.0 a new minor version may change the API: only the same minor version matches.
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/conlibConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)

install(FILES
  ${PROJECT_BINARY_DIR}/conlibConfig.cmake
  ${PROJECT_BINARY_DIR}/conlibConfigVersion.cmake
  DESTINATION ${CONLIB_INSTALL_CMAKEDIR}
  COMPONENT library)

# conlib.pc finds the prefix from its own place (${pcfiledir}), so the package stays right
# wherever it is installed (`cmake --install --prefix`, DESTDIR, a moved tree). Absolute
# directories are written as they are.
function(conlib_pc_dir result dir)
  if(IS_ABSOLUTE "${dir}")
    set(${result} "${dir}" PARENT_SCOPE)
  else()
    set(${result} "\${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

if(IS_ABSOLUTE "${CONLIB_INSTALL_PKGCONFIGDIR}")
  set(CONLIB_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH CONLIB_PC_UP "/prefix/${CONLIB_INSTALL_PKGCONFIGDIR}" "/prefix")
  string(REGEX REPLACE "/$" "" CONLIB_PC_UP "${CONLIB_PC_UP}")
  set(CONLIB_PC_PREFIX "\${pcfiledir}/${CONLIB_PC_UP}")
endif()
conlib_pc_dir(CONLIB_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
conlib_pc_dir(CONLIB_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")

# What a user's link needs beyond -lconlib: the system libraries that the library links, for
# a static library (Libs.private, taken by `pkg-config --static` and by the static-only
# MinGW link); users of the Windows DLL import its API (CONLIB_SHARED).
set(CONLIB_PC_LIBS_PRIVATE "")
set(CONLIB_PC_CFLAGS "")
get_target_property(conlib_type conlib TYPE)
if(conlib_type STREQUAL "STATIC_LIBRARY")
  get_target_property(conlib_link_libraries conlib INTERFACE_LINK_LIBRARIES)
  foreach(library IN LISTS conlib_link_libraries)
    if(library STREQUAL "Threads::Threads")
      if(CMAKE_THREAD_LIBS_INIT)
        string(APPEND CONLIB_PC_LIBS_PRIVATE " ${CMAKE_THREAD_LIBS_INIT}")
      endif()
    elseif(library AND NOT TARGET ${library} AND NOT library MATCHES "[$<>:/]")
      string(APPEND CONLIB_PC_LIBS_PRIVATE " -l${library}")
    endif()
  endforeach()
elseif(WIN32 OR CYGWIN)
  set(CONLIB_PC_CFLAGS " -DCONLIB_SHARED")
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/conlib.pc.in ${PROJECT_BINARY_DIR}/conlib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/conlib.pc DESTINATION ${CONLIB_INSTALL_PKGCONFIGDIR}
  COMPONENT library)

# cpack -G DEB in the build folder: a Debian package of the library component. Only for the
# top-level project: a parent project packages itself.
if(NOT PROJECT_IS_TOP_LEVEL)
  return()
endif()
set(CPACK_PACKAGE_NAME conlib)
set(CPACK_PACKAGE_VENDOR "conlib developers")
set(CPACK_PACKAGE_CONTACT "conlib developers <conlib@localhost>"
    CACHE STRING "The packages' maintainer: a name and an e-mail address")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "A C++20 library for console programs: text output, cursor and colours, number output, \
file access, keyboard input, string routines, random numbers and the clock. It follows the \
Windows console's behaviour, on Windows and on any VT terminal. This package holds the \
library, its headers, its CMake package and its pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL library)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_PACKAGE_NAME libconlib-dev)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(conlib_type STREQUAL "SHARED_LIBRARY")
  # The libraries that libconlib.so links, with their versions, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  # A static library: the user's program links the C++ runtime the library needs.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libstdc++-dev")
endif()
include(CPack)
