# No path of the build machine in what is built: __FILE__ (asserts, the
# engine's and curl's messages) and the debugging information name sources
# relative to the source tree, the build folder or the dependencies' folder
# (.deps may be a link elsewhere). The compiler tries the last map first, so
# the build folder inside the tree comes last. A Unix path left in a Windows executable
# names a folder on the current drive, which any user may create.
get_filename_component(_deps_real "${PROJECT_SOURCE_DIR}/.deps" REALPATH)
foreach(_tree "${_deps_real}" "${PROJECT_SOURCE_DIR}" "${PROJECT_BINARY_DIR}")
  add_compile_options("-ffile-prefix-map=${_tree}/=")
endforeach()
