# Signs FILE in place with osslsigncode: Authenticode, SHA-256, time-stamped
# when TIMESTAMP_URL is set. Run as
#   cmake -DOSSLSIGNCODE=<exe> -DPKCS12=<file> [-DPASSWORD_FILE=<file>]
#         [-DTIMESTAMP_URL=<url>] -DFILE=<file> -P sign_file.cmake
# or included with those variables set. The password comes from
# PASSWORD_FILE, else from the environment variable RDEXT_SIGN_PASSWORD.
set(_args sign -pkcs12 "${PKCS12}" -h sha256 -n "RD service extension")
if(TIMESTAMP_URL)
  list(APPEND _args -ts "${TIMESTAMP_URL}")
endif()
set(_signed "${FILE}.signed")
file(REMOVE "${_signed}")
if(PASSWORD_FILE)
  execute_process(COMMAND "${OSSLSIGNCODE}" ${_args} -readpass "${PASSWORD_FILE}"
                          -in "${FILE}" -out "${_signed}"
                  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
elseif(DEFINED ENV{RDEXT_SIGN_PASSWORD})
  # Through standard input: a command line is readable by every local user.
  execute_process(COMMAND sh -c "printf '%s' \"$RDEXT_SIGN_PASSWORD\""
                  COMMAND "${OSSLSIGNCODE}" ${_args} -readpass /dev/stdin -in "${FILE}" -out "${_signed}"
                  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
else()
  message(FATAL_ERROR "Signing ${FILE}: set RDEXT_SIGN_PASSWORD (environment) or RDEXT_SIGN_PASSWORD_FILE")
endif()
if(NOT _result EQUAL 0)
  file(REMOVE "${_signed}")
  message(FATAL_ERROR "osslsigncode could not sign ${FILE}:\n${_output}")
endif()
file(RENAME "${_signed}" "${FILE}")
