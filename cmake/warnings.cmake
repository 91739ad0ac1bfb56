# Our own targets build with every warning as an error; third-party code does not.
function(rdext_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# Sources of one folder for this platform: foo_posix.cpp on POSIX,
# foo_win32.cpp on Windows, everything else on both.
function(rdext_platform_sources out dir)
  file(GLOB _all CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(WIN32)
    list(FILTER _all EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER _all EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out} ${_all} PARENT_SCOPE)
endfunction()
