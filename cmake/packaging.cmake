# The release archive: `cmake --build <build> --target package` writes
# rdserver_ext-<version>-win64.zip (Windows) or -linux-x86_64.tar.gz (Linux)
# holding the two executables, the sample config.ini and a README.txt.
# Everything that goes into it is installed as the component "release", and
# CPack packs that component only.
if(NOT TARGET rdserver_ext OR NOT TARGET rdservice_sim)
  return()
endif()

if(WIN32)
  set(_platform win64)
  set(_readme_in "${PROJECT_SOURCE_DIR}/packaging/README-windows.txt.in")
  set(_newlines CRLF)
  set(CPACK_GENERATOR ZIP)
  set(_extension .zip)
else()
  set(_platform linux-${CMAKE_SYSTEM_PROCESSOR})
  set(_readme_in "${PROJECT_SOURCE_DIR}/packaging/README-linux.txt.in")
  set(_newlines UNIX)
  set(CPACK_GENERATOR TGZ)
  set(_extension .tar.gz)
endif()
# The archive's name and its top folder; the tests read these.
set(RDEXT_PACKAGE_NAME "rdserver_ext-${PROJECT_VERSION}-${_platform}")
set(RDEXT_PACKAGE_ARCHIVE "${RDEXT_PACKAGE_NAME}${_extension}")
configure_file("${_readme_in}" "${PROJECT_BINARY_DIR}/packaging/README.txt" @ONLY
               NEWLINE_STYLE ${_newlines})

install(TARGETS rdserver_ext rdservice_sim RUNTIME DESTINATION . COMPONENT release)
# Signed once CPack has stripped them (cmake/signing.cmake; Windows only).
include(signing)
rdext_install_signature(rdserver_ext${CMAKE_EXECUTABLE_SUFFIX} release)
rdext_install_signature(rdservice_sim${CMAKE_EXECUTABLE_SUFFIX} release)
install(FILES "${PROJECT_SOURCE_DIR}/config/config.ini" "${PROJECT_BINARY_DIR}/packaging/README.txt"
        DESTINATION . COMPONENT release)

set(CPACK_PACKAGE_NAME rdserver_ext)
set(CPACK_PACKAGE_VENDOR Lumetra)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RD service extension")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "${RDEXT_PACKAGE_NAME}")
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};release;/")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/package")
# The build keeps its debugging information; the archive does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
