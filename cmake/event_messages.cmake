# The service's event messages as a message table in the executable: the
# list in src/events/event_list.h becomes a message file (.mc), which
# mingw-w64's windmc compiles into a resource script for windres. Each
# message is its headline, a line break and the event's details (%1).
function(rdext_event_messages target list_file)
  set(_dir "${CMAKE_CURRENT_BINARY_DIR}/event_messages")
  set(_mc "${_dir}/event_messages.mc")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${list_file}")
  file(STRINGS "${list_file}" _events REGEX "^RDEXT_EVENT\\(")
  set(_text "LanguageNames=(English=0x409:MSG00409)\n\n")
  foreach(_event IN LISTS _events)
    if(NOT _event MATCHES "^RDEXT_EVENT\\(([0-9]+), ([A-Za-z]+), [A-Za-z]+, [A-Za-z]+, \"([^\"]*)\"\\)$")
      message(FATAL_ERROR "event_list.h: cannot read ${_event}")
    endif()
    string(APPEND _text "MessageId=${CMAKE_MATCH_1}\nSymbolicName=RDEXT_EVENT_${CMAKE_MATCH_2}\n"
                        "Language=English\n${CMAKE_MATCH_3}%n%1%0\n.\n\n")
  endforeach()
  # windmc is windres's sibling in the same toolchain.
  get_filename_component(_rc_dir "${CMAKE_RC_COMPILER}" DIRECTORY)
  get_filename_component(_rc_name "${CMAKE_RC_COMPILER}" NAME)
  string(REPLACE "windres" "windmc" _windmc "${_rc_name}")
  if(_rc_dir)
    set(_windmc "${_rc_dir}/${_windmc}")
  endif()
  file(CONFIGURE OUTPUT "${_mc}" CONTENT "${_text}")
  add_custom_command(
    OUTPUT "${_dir}/event_messages.rc" "${_dir}/event_messages.h" "${_dir}/MSG00409.bin"
    COMMAND "${_windmc}" -r "${_dir}" -h "${_dir}" "${_mc}"
    DEPENDS "${_mc}" WORKING_DIRECTORY "${_dir}" VERBATIM)
  target_sources(${target} PRIVATE "${_dir}/event_messages.rc")
  set_property(SOURCE "${_dir}/event_messages.rc" APPEND PROPERTY INCLUDE_DIRECTORIES "${_dir}")
endfunction()
