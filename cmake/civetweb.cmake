# The HTTP engine: civetweb's C engine from its source, with our patches
# (third_party/civetweb/*.patch) applied, built as a static library.
# RDEXT_CIVETWEB_SOURCE names the unpacked source folder or a source tarball.
set(RDEXT_CIVETWEB_SOURCE "${PROJECT_SOURCE_DIR}/.deps/src/civetweb"
    CACHE PATH "civetweb 1.15 source: an unpacked folder or a .tar.* archive")
# The version the patches are written against.
set(_cw_version "1.15")
# In this order, each on top of the ones before it.
set(_cw_patches rd-engine.patch rd-engine-body.patch rd-engine-wakeup.patch
                rd-engine-worker-accept.patch rd-engine-read-time-out.patch)
set(_cw_work "${CMAKE_BINARY_DIR}/civetweb")

if(NOT EXISTS "${RDEXT_CIVETWEB_SOURCE}")
  message(FATAL_ERROR "civetweb source not found at ${RDEXT_CIVETWEB_SOURCE}; run scripts/setup "
                      "or set RDEXT_CIVETWEB_SOURCE")
endif()

set(_cw_root "${RDEXT_CIVETWEB_SOURCE}")
if(NOT IS_DIRECTORY "${RDEXT_CIVETWEB_SOURCE}")
  set(_cw_unpacked "${CMAKE_BINARY_DIR}/civetweb-unpacked")
  file(REMOVE_RECURSE "${_cw_unpacked}")
  file(ARCHIVE_EXTRACT INPUT "${RDEXT_CIVETWEB_SOURCE}" DESTINATION "${_cw_unpacked}")
  file(GLOB_RECURSE _cw_found "${_cw_unpacked}/*/src/civetweb.c")
  list(GET _cw_found 0 _cw_c)
  get_filename_component(_cw_root "${_cw_c}" DIRECTORY)
  get_filename_component(_cw_root "${_cw_root}" DIRECTORY)
endif()

file(STRINGS "${_cw_root}/include/civetweb.h" _cw_version_line
     REGEX "^#define CIVETWEB_VERSION \"[^\"]*\"")
string(REGEX REPLACE ".*\"([^\"]*)\".*" "\\1" _cw_found_version "${_cw_version_line}")
if(NOT _cw_found_version STREQUAL _cw_version)
  message(FATAL_ERROR "civetweb ${_cw_version} needed, ${RDEXT_CIVETWEB_SOURCE} holds "
                      "'${_cw_found_version}'; the patches fit ${_cw_version} only")
endif()

# Copy the engine sources (never the bundled C++ wrapper) and patch the copy.
file(REMOVE_RECURSE "${_cw_work}")
file(GLOB _cw_inl "${_cw_root}/src/*.inl")
file(COPY "${_cw_root}/src/civetweb.c" ${_cw_inl} DESTINATION "${_cw_work}/src")
file(COPY "${_cw_root}/include/civetweb.h" DESTINATION "${_cw_work}/include")
# No fuzz: a hunk whose context does not match exactly fails the
# configuration instead of landing somewhere else.
find_program(PATCH_EXECUTABLE patch REQUIRED)
# CONFIGURE_DEPENDS: a patch file added later re-runs this and is refused
# until it has its place in the list.
file(GLOB _cw_patch_files CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/third_party/civetweb/*.patch")
foreach(_cw_patch_file IN LISTS _cw_patch_files)
  get_filename_component(_cw_patch_file "${_cw_patch_file}" NAME)
  if(NOT _cw_patch_file IN_LIST _cw_patches)
    message(FATAL_ERROR "third_party/civetweb/${_cw_patch_file} is not in the list of engine patches")
  endif()
endforeach()
foreach(_cw_patch_name IN LISTS _cw_patches)
  set(_cw_one_patch "${PROJECT_SOURCE_DIR}/third_party/civetweb/${_cw_patch_name}")
  execute_process(COMMAND "${PATCH_EXECUTABLE}" -p1 --forward --quiet --fuzz=0 -i "${_cw_one_patch}"
                  WORKING_DIRECTORY "${_cw_work}" RESULT_VARIABLE _cw_patched)
  if(NOT _cw_patched EQUAL 0)
    message(FATAL_ERROR "applying ${_cw_one_patch} to civetweb failed")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_cw_one_patch}")
endforeach()

add_library(civetweb STATIC "${_cw_work}/src/civetweb.c")
target_include_directories(civetweb SYSTEM PUBLIC "${_cw_work}/include")
# No file serving at all (NO_FILES): requests no handler claims get 404, never a file.
# The master thread sleeps until a connection or a stop arrives (rd-engine-wakeup.patch);
# a worker inside a connection looks at the stop flag every quantum (50 ms), so
# a stop does not wait for a slow client. An idle worker takes a waiting
# connection from a listener itself (rd-engine-worker-accept.patch).
# The stop flag as an atomic, so the threads that watch it synchronise with mg_stop.
target_compile_definitions(civetweb PRIVATE NO_CGI NO_FILES NO_CACHING OPENSSL_API_3_0 SOCKET_TIMEOUT_QUANTUM=50
                                           STOP_FLAG_NEEDS_LOCK)
target_compile_options(civetweb PRIVATE -w)
if(NOT WIN32)
  # gmtime_r: error pages of several workers at once must not share gmtime's
  # buffer (the Windows runtime keeps one per thread already).
  target_compile_definitions(civetweb PRIVATE REENTRANT_TIME)
endif()
# OpenSSL is linked in, never loaded at run time: the system's on Linux, on
# Windows the static libraries scripts/setup builds, so no DLL has to sit
# beside the executable.
target_compile_definitions(civetweb PRIVATE NO_SSL_DL)
if(WIN32)
  set(RDEXT_OPENSSL_MINGW "${PROJECT_SOURCE_DIR}/.deps/openssl-mingw"
      CACHE PATH "OpenSSL 3 built for mingw-w64: install prefix holding include/ and lib/")
  if(NOT EXISTS "${RDEXT_OPENSSL_MINGW}/lib/libssl.a")
    message(FATAL_ERROR "static OpenSSL not found in ${RDEXT_OPENSSL_MINGW}; run scripts/setup "
                        "or set RDEXT_OPENSSL_MINGW")
  endif()
  add_library(OpenSSL::Crypto STATIC IMPORTED)
  set_target_properties(OpenSSL::Crypto PROPERTIES
    IMPORTED_LOCATION "${RDEXT_OPENSSL_MINGW}/lib/libcrypto.a"
    INTERFACE_INCLUDE_DIRECTORIES "${RDEXT_OPENSSL_MINGW}/include"
    INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;user32;advapi32")
  add_library(OpenSSL::SSL STATIC IMPORTED)
  set_target_properties(OpenSSL::SSL PROPERTIES
    IMPORTED_LOCATION "${RDEXT_OPENSSL_MINGW}/lib/libssl.a"
    INTERFACE_LINK_LIBRARIES OpenSSL::Crypto)
  target_link_libraries(civetweb PUBLIC OpenSSL::SSL OpenSSL::Crypto ws2_32)
else()
  find_package(OpenSSL 3 REQUIRED)
  find_package(Threads REQUIRED)
  target_link_libraries(civetweb PUBLIC OpenSSL::SSL OpenSSL::Crypto Threads::Threads ${CMAKE_DL_LIBS})
endif()
