# GoogleTest from Debian's googletest source package (/usr/src/googletest),
# compiled with our flags so sanitizer and Windows builds match.
set(RDEXT_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest source folder")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${RDEXT_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)
