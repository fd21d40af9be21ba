# Install rules: the library, its public headers, the demo program, an exported CMake package
# (find_package(conlib) gives the imported target conlib::conlib) and a pkg-config file.
include(CMakePackageConfigHelpers)

set(CONLIB_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/conlib
    CACHE STRING "Where the CMake package files are installed, relative to the prefix")
set(CONLIB_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    CACHE STRING "Where conlib.pc is installed, relative to the prefix")

install(TARGETS conlib
  EXPORT conlib-targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The public headers only: the library's internal headers and the system layer stay private.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/conlib
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.hpp")

if(TARGET conlib-demo)
  install(TARGETS conlib-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT conlib-targets
  NAMESPACE conlib::
  FILE conlib-targets.cmake
  DESTINATION ${CONLIB_INSTALL_CMAKEDIR})

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
  DESTINATION ${CONLIB_INSTALL_CMAKEDIR})

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

configure_file(${CMAKE_CURRENT_LIST_DIR}/conlib.pc.in ${PROJECT_BINARY_DIR}/conlib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/conlib.pc DESTINATION ${CONLIB_INSTALL_PKGCONFIGDIR})
