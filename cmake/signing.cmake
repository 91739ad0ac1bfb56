# Authenticode signing (SHA-256) of the Windows release files with Debian's
# osslsigncode: rdserver_ext.exe and rdservice_sim.exe in the zip and the
# .msi, and the rdserver_ext.exe inside the .msi. Nothing is signed unless a
# certificate is given:
#   RDEXT_SIGN_PKCS12         cache variable: the PKCS#12 file (.p12/.pfx) with
#                             the code-signing certificate, its chain and key
#   RDEXT_SIGN_PASSWORD_FILE  cache variable: a file holding its password, or
#   RDEXT_SIGN_PASSWORD       environment variable at build time, read when no
#                             password file is given (never stored in the cache)
#   RDEXT_SIGN_TIMESTAMP_URL  cache variable, optional: an RFC 3161 time-stamp
#                             server, so signatures outlive the certificate
# The three cache variables take their first value from environment
# variables of the same names when the build folder is configured.
include_guard(GLOBAL)

set(RDEXT_SIGN_PKCS12 "$ENV{RDEXT_SIGN_PKCS12}" CACHE FILEPATH
    "PKCS#12 file with the code-signing certificate; empty: nothing is signed")
set(RDEXT_SIGN_PASSWORD_FILE "$ENV{RDEXT_SIGN_PASSWORD_FILE}" CACHE FILEPATH
    "File holding the PKCS#12 password; empty: the RDEXT_SIGN_PASSWORD environment variable")
set(RDEXT_SIGN_TIMESTAMP_URL "$ENV{RDEXT_SIGN_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamp server for the signatures (optional)")

set(RDEXT_SIGNING OFF)
if(WIN32 AND RDEXT_SIGN_PKCS12)
  find_program(OSSLSIGNCODE_EXECUTABLE osslsigncode)
  if(NOT OSSLSIGNCODE_EXECUTABLE)
    message(FATAL_ERROR "RDEXT_SIGN_PKCS12 is set but osslsigncode is missing (Debian: osslsigncode)")
  endif()
  if(NOT EXISTS "${RDEXT_SIGN_PKCS12}")
    message(FATAL_ERROR "RDEXT_SIGN_PKCS12: no file ${RDEXT_SIGN_PKCS12}")
  endif()
  set(RDEXT_SIGNING ON)
  message(STATUS "Signing release files with ${RDEXT_SIGN_PKCS12}")
endif()

# The settings of cmake/sign_file.cmake, as script code.
set(_rdext_sign_settings
  "set(OSSLSIGNCODE [==[${OSSLSIGNCODE_EXECUTABLE}]==])
set(PKCS12 [==[${RDEXT_SIGN_PKCS12}]==])
set(PASSWORD_FILE [==[${RDEXT_SIGN_PASSWORD_FILE}]==])
set(TIMESTAMP_URL [==[${RDEXT_SIGN_TIMESTAMP_URL}]==])
")
set(_rdext_sign_script "${CMAKE_CURRENT_LIST_DIR}/sign_file.cmake")

# rdext_sign_command(<var> <file>): in <var>, the COMMAND arguments for
# add_custom_command that sign <file> in place; empty when not signing.
function(rdext_sign_command var file)
  set(_command "")
  if(RDEXT_SIGNING)
    set(_command COMMAND "${CMAKE_COMMAND}" "-DOSSLSIGNCODE=${OSSLSIGNCODE_EXECUTABLE}"
        "-DPKCS12=${RDEXT_SIGN_PKCS12}" "-DPASSWORD_FILE=${RDEXT_SIGN_PASSWORD_FILE}"
        "-DTIMESTAMP_URL=${RDEXT_SIGN_TIMESTAMP_URL}" "-DFILE=${file}" -P "${_rdext_sign_script}")
  endif()
  set(${var} ${_command} PARENT_SCOPE)
endfunction()

# rdext_install_signature(<file name> <component>): signs the installed file
# of that name (after the install step has stripped it) when signing.
function(rdext_install_signature name component)
  if(RDEXT_SIGNING)
    install(CODE "${_rdext_sign_settings}set(FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${name}\")
include([==[${_rdext_sign_script}]==])" COMPONENT ${component})
  endif()
endfunction()
