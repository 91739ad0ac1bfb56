# No path of the build machine in what is built: __FILE__ (asserts, the
# engine's and curl's messages) and the debugging information name sources
# relative to the source tree or the build folder, and the dependencies by
# their own folder (curl/lib/easy.c). A Unix path left in a Windows
# executable names a folder on the current drive, which any user may create.
# Each folder is mapped as given, as its real path (.deps may be a link) and
# relative to the build folder (a compiler cache may hand the compiler
# relative names). The compiler tries the last map first, so the narrower
# folders come last.
get_filename_component(_deps_real "${PROJECT_SOURCE_DIR}/.deps/src" REALPATH)
file(RELATIVE_PATH _source_relative "${PROJECT_BINARY_DIR}" "${PROJECT_SOURCE_DIR}")
string(REGEX REPLACE "/$" "" _source_relative "${_source_relative}")
foreach(_tree "${_source_relative}" "${_source_relative}/.deps/src" "${PROJECT_SOURCE_DIR}"
        "${PROJECT_SOURCE_DIR}/.deps/src" "${_deps_real}" "${PROJECT_BINARY_DIR}")
  add_compile_options("-ffile-prefix-map=${_tree}/=")
endforeach()
