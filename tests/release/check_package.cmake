# Builds the release archive with CPack into a scratch folder and checks it:
# exactly the expected files, the sample config.ini unchanged, the version in
# the README and in the executable and, on Windows, the version resource and
# only system DLLs imported.
#
#   cmake -DCPACK=... -DCPACK_CONFIG=... -DWORK_DIR=... -DARCHIVE=<file name>
#         -DEXPECTED=<path;path;...> -DCONFIG_INI=... -DEXE=<path in archive>
#         -DVERSION_TEXT=... [-DVERSION_RESOURCE=<version>]
#         [-DOBJDUMP=... -DSYSTEM_DLLS=<name;name;...>]
#         -P check_package.cmake
cmake_minimum_required(VERSION 3.25)

function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${CPACK}" --config "${CPACK_CONFIG}" -B "${WORK_DIR}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  fail("cpack failed (${result}):\n${output}")
endif()
set(archive "${WORK_DIR}/${ARCHIVE}")
if(NOT EXISTS "${archive}")
  fail("cpack did not write ${ARCHIVE}:\n${output}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${archive}"
                RESULT_VARIABLE result OUTPUT_VARIABLE listing)
if(NOT result EQUAL 0)
  fail("cannot list ${archive}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" listing "${listing}")
list(FILTER listing EXCLUDE REGEX "/$")  # folder entries, if the format stores them
list(SORT listing)
list(SORT EXPECTED)
if(NOT listing STREQUAL EXPECTED)
  string(REPLACE ";" "\n  " got "${listing}")
  string(REPLACE ";" "\n  " want "${EXPECTED}")
  fail("${ARCHIVE} holds\n  ${got}\nexpected\n  ${want}")
endif()

set(unpacked "${WORK_DIR}/unpacked")
file(ARCHIVE_EXTRACT INPUT "${archive}" DESTINATION "${unpacked}")
list(FILTER listing INCLUDE REGEX "/config\\.ini$")
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${CONFIG_INI}" "${unpacked}/${listing}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("config.ini in the archive differs from ${CONFIG_INI}")
endif()
get_filename_component(top "${EXE}" DIRECTORY)
file(READ "${unpacked}/${top}/README.txt" readme)
string(FIND "${readme}" "${VERSION_TEXT}" at)
if(at LESS 0)
  fail("README.txt does not name \"${VERSION_TEXT}\"")
endif()
file(STRINGS "${unpacked}/${EXE}" found REGEX "^${VERSION_TEXT}$")
if(NOT found)
  fail("${EXE} does not hold the text \"${VERSION_TEXT}\"")
endif()

if(VERSION_RESOURCE)
  # The version resource's strings are UTF-16, each name followed by its value.
  string(REPLACE "." "\\." version_pattern "${VERSION_RESOURCE}")
  file(STRINGS "${unpacked}/${EXE}" resource ENCODING UTF-16LE REGEX
       "^(FileDescription|FileVersion|ProductName|ProductVersion|RD service extension|rdserver_ext|${version_pattern})$")
  string(JOIN "\n" resource ${resource})
  foreach(pair "FileDescription\nRD service extension" "FileVersion\n${VERSION_RESOURCE}"
               "ProductName\nrdserver_ext" "ProductVersion\n${VERSION_RESOURCE}")
    string(FIND "${resource}" "${pair}" at)
    if(at LESS 0)
      string(REPLACE "\n" " = " pair "${pair}")
      fail("${EXE} has no version resource entry ${pair}")
    endif()
  endforeach()
endif()

if(OBJDUMP)
  execute_process(COMMAND "${OBJDUMP}" -p "${unpacked}/${EXE}" RESULT_VARIABLE result
                  OUTPUT_VARIABLE headers)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
  if(NOT result EQUAL 0 OR NOT imports)
    fail("cannot read the imports of ${EXE}")
  endif()
  string(TOLOWER "${SYSTEM_DLLS}" allowed)
  foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" dll "${line}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST allowed)
      fail("${EXE} imports ${dll}, which is not part of Windows")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
