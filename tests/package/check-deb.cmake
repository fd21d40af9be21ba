# Makes the Debian package of the build (cpack -G DEB), checks its control fields, unpacks it
# into a scratch root (dpkg-deb -x) and builds a program against it with pkg-config's flags.
# Takes the -D values of consumer.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/consumer.cmake)

find_program(CPACK NAMES cpack HINTS ${CMAKE_COMMAND}/.. REQUIRED)
find_program(DPKG_DEB dpkg-deb REQUIRED)
set(config_args "")
if(CONFIG)
  set(config_args -C ${CONFIG})
endif()
run_checked("cpack -G DEB" ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake
            -B ${WORK_DIR}/packages ${config_args})
file(GLOB packages ${WORK_DIR}/packages/*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} Debian packages: ${packages}")
endif()

run_checked("dpkg-deb --field" ${DPKG_DEB} --field ${packages} Package Version Maintainer
            Description Depends Architecture)
set(fields "${out}")
foreach(field IN ITEMS "Package: libconlib-dev" "Version: ${VERSION}" "Maintainer: [^\n]*<"
                       "Description: [^\n]" "Depends: [^\n]" "Architecture: [^\n]")
  if(NOT fields MATCHES "(^|\n)${field}")
    message(FATAL_ERROR "the package's control fields lack \"${field}\":\n${fields}")
  endif()
endforeach()

set(root ${WORK_DIR}/root)
run_checked("dpkg-deb -x" ${DPKG_DEB} -x ${packages} ${root})
if(EXISTS ${root}/usr/${BINDIR}/conlib-demo)
  message(FATAL_ERROR "the library's package holds the demo")
endif()
build_pkg_config_consumer("the consumer of the Debian package" ${root}/usr/${PKGCONFIGDIR})
run_consumer("the consumer of the Debian package" ${program} ${root}/usr/${LIBDIR})
message(STATUS "the Debian package works with pkg-config")
