# Sources of one folder for this platform: foo_win32.cpp on Windows,
# foo_posix.cpp on every other system, foo_linux.cpp (Linux-only facilities
# such as pipe2, /proc or systemd) on Linux only, everything else everywhere.
function(rdext_platform_sources out dir)
  file(GLOB _all CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(WIN32)
    list(FILTER _all EXCLUDE REGEX "_(posix|linux)\\.cpp$")
  else()
    list(FILTER _all EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    list(FILTER _all EXCLUDE REGEX "_linux\\.cpp$")
  endif()
  set(${out} ${_all} PARENT_SCOPE)
endfunction()
