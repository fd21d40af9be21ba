# The shared library's exported symbols are the public API and nothing else: every one of
# them is a function or object of namespace conlib declared in the public headers, none lies
# in an inner namespace (the system layer, the internals) or in namespace std, and each name
# declared CONLIB_API in the headers is exported.
#
#   cmake -DLIBRARY=... -DNM=... -DOBJDUMP=... -DINCLUDE_DIR=... -DWINDOWS=... -P check-exports.cmake
cmake_minimum_required(VERSION 3.25)

if(WINDOWS)
  # The export table of the DLL, demangled by the cross binutils' c++filt beside objdump.
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "objdump -p ${LIBRARY} failed")
  endif()
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [^\n]+\n)+" table
         "${table}")
  string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [^\n]+" mangled "${table}")
  list(TRANSFORM mangled REPLACE "^\t\\[ *[0-9]+\\] " "")
  get_filename_component(binutils_dir ${OBJDUMP} DIRECTORY)
  get_filename_component(objdump_name ${OBJDUMP} NAME)
  string(REPLACE "objdump" "c++filt" cxxfilt_name ${objdump_name})
  find_program(CXXFILT NAMES ${cxxfilt_name} c++filt HINTS ${binutils_dir} REQUIRED)
  execute_process(COMMAND ${CXXFILT} ${mangled} OUTPUT_VARIABLE symbols)
else()
  execute_process(COMMAND ${NM} -DC --defined-only ${LIBRARY}
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "nm -DC ${LIBRARY} failed")
  endif()
  # The dynamic symbols the library defines, less the linker's own markers.
  string(REGEX REPLACE "(^|\n)[0-9a-f]+ [A-Za-z] " "\\1" symbols "${listing}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")
list(FILTER symbols EXCLUDE REGEX "^(_init|_fini|_edata|_end|__bss_start)$")

# The names the public headers declare CONLIB_API.
file(GLOB headers ${INCLUDE_DIR}/conlib/*.hpp)
set(declared "")
foreach(header IN LISTS headers)
  file(READ ${header} text)
  # Each up to the parenthesis (or, for an array, bracket) after the declared name; brackets
  # would upset the list.
  string(REPLACE "[" "(" text "${text}")
  string(REGEX MATCHALL "CONLIB_API [A-Za-z0-9_:<>*& ]*[(]" found "${text}")
  foreach(declaration IN LISTS found)
    if(declaration MATCHES "([A-Za-z_][A-Za-z0-9_]*) *[(]$")
      set(name ${CMAKE_MATCH_1})
      if(NOT name MATCHES "^__")  # the attributes in export.hpp
        list(APPEND declared ${name})
      endif()
    endif()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES declared)
list(LENGTH declared declared_count)
if(declared_count LESS 10)
  message(FATAL_ERROR "found only ${declared_count} CONLIB_API declarations in ${INCLUDE_DIR}")
endif()

set(wrong "")
set(exported "")
foreach(symbol IN LISTS symbols)
  if(symbol MATCHES "^conlib::([A-Za-z_][A-Za-z0-9_]*)(\\(|$)")
    list(APPEND exported ${CMAKE_MATCH_1})
    if(NOT CMAKE_MATCH_1 IN_LIST declared)
      list(APPEND wrong "${symbol}")
    endif()
  else()
    list(APPEND wrong "${symbol}")
  endif()
endforeach()
if(wrong)
  list(JOIN wrong "\n  " wrong)
  message(FATAL_ERROR "${LIBRARY} exports symbols outside the public API:\n  ${wrong}")
endif()
foreach(name IN LISTS declared)
  if(NOT name IN_LIST exported)
    message(FATAL_ERROR "${LIBRARY} does not export conlib::${name}")
  endif()
endforeach()
list(LENGTH symbols count)
message(STATUS "${LIBRARY}: ${count} symbols, all of them the public API")
