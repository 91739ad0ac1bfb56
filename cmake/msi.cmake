# The Windows Installer package for fleets: `cmake --build <build> --target msi`
# writes package/rdserver_ext-<version>-x64.msi with wixl (Debian's msitools),
# from packaging/rdserver_ext.wxs. The product code follows from the version,
# so a rebuild of the same version is the same product, and every version
# upgrades the ones before it (fixed UpgradeCode in the .wxs).
if(NOT WIN32 OR NOT TARGET rdserver_ext)
  return()
endif()
find_program(WIXL_EXECUTABLE wixl)
find_program(MSIBUILD_EXECUTABLE msibuild)
if(NOT WIXL_EXECUTABLE OR NOT MSIBUILD_EXECUTABLE)
  message(STATUS "wixl or msibuild not found (Debian: wixl, msitools): no msi target")
  return()
endif()

include(signing)

set(_wxs "${PROJECT_SOURCE_DIR}/packaging/rdserver_ext.wxs")
set(_staging "${PROJECT_BINARY_DIR}/msi")
# What the service writes beside itself, deleted when it is uninstalled
# (RemoveFile rows: key, file name as short|long, on uninstall = 2).
set(_written_files
  "('ServiceLog', 'Program', 'RDSERV~1.LOG|rdserver_ext.log', 'INSTALLDIR', 2)"
  "('ServiceLogOld', 'Program', 'RDSERV~1.1|rdserver_ext.log.1', 'INSTALLDIR', 2)"
  "('EngineLog', 'Program', 'RDSERV~2.LOG|rdserver_ext_error.log', 'INSTALLDIR', 2)")

# The public properties written into config.ini at install time, one
# KEY=VALUE argument each for the program's -write-settings command (an empty
# value, a property not given, leaves its line alone). The option words are
# the program's (src/host/settings_command.h, src/host/browser_policy.h).
set(_settings_properties SERVER_PORT_START SERVER_SSL_CERTICICATE ALLOWED_ORIGINS)
set(_write_settings "\"[#rdserver_ext.exe]\" -write-settings")
set(_any_setting "")
foreach(_property IN LISTS _settings_properties)
  string(APPEND _write_settings " \"${_property}=[${_property}]\"")
  list(APPEND _any_setting ${_property})
endforeach()
list(JOIN _any_setting " OR " _any_setting)
list(JOIN _settings_properties "$<SEMICOLON>" _secure_settings)

# Who may change what the service does. The settings and the browser policy
# are written, as the system, only on a first install or an upgrade (which
# is a first install of the newer product; both need an administrator for a
# per-machine package) or when an administrator runs the package again. A
# repair is an install that every user may start on a per-machine product,
# elevated, with properties of their own; it changes nothing of these.
# - AdminUser is that "an administrator": since Windows Vista the installer
#   sets it whenever the install runs elevated (it equals Privileged, which a
#   standard user's repair of a per-machine product has), unless the package
#   sets MSIUSEREALADMINDETECTION to 1, which asks for the actual user.
# - The properties stay in SecureCustomProperties: an administrator's install
#   started from a prompt that is not elevated reaches the system side only
#   with secure properties, and the condition, not the list, keeps a
#   standard user's values out.
set(_admin_only "(NOT Installed OR AdminUser)")

# What wixl cannot express (see the comment in the .wxs), as table edits:
# - Config never overwrites an existing config.ini (attributes: 64-bit 256 +
#   NeverOverwrite 128);
# - the old product is removed after the new one is installed: InstallExecute
#   runs the script so far, then RemoveExistingProducts (wixl puts it after
#   InstallValidate, which removes the old product and its config.ini first);
# - WriteSettings: the program, run from the install folder after InstallFiles
#   and before the service is started (type 34 exe with a command line,
#   + 1024 deferred, + 2048 as the system, not the user; a failure fails the
#   install), when any of the properties is given and not on removal.
set(_table_edits
  "UPDATE Component SET Attributes = 384 WHERE Component = 'Config'"
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('InstallExecute', '', 6500)"
  "UPDATE InstallExecuteSequence SET Sequence = 6501 WHERE Action = 'RemoveExistingProducts'"
  "INSERT INTO Property (Property, Value) VALUES ('MSIUSEREALADMINDETECTION', '1')"
  "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('WriteSettings', 3106, 'INSTALLDIR', '${_write_settings}')"
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('WriteSettings', '(${_any_setting}) AND ${_admin_only} AND NOT REMOVE~=\"ALL\"', 4001)")
# The browsers' local-network policy, only with BROWSER_POLICY=1: the program
# writes the origins that config.ini (as WriteSettings left it) allows into
# the Chrome and Edge lists, as the system, before the service starts. The
# final uninstall (not the removal of an older product during an upgrade)
# takes back only the values the package wrote, before the files go (type 34
# + 1024 + 2048, + 64 where a failure must not stop the uninstall).
list(APPEND _table_edits
  "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('WriteBrowserPolicy', 3106, 'INSTALLDIR', '\"[#rdserver_ext.exe]\" -write-browser-policy')"
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('WriteBrowserPolicy', 'BROWSER_POLICY=\"1\" AND ${_admin_only} AND NOT REMOVE~=\"ALL\"', 4002)"
  "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('RemoveBrowserPolicy', 3170, 'INSTALLDIR', '\"[INSTALLDIR]rdserver_ext.exe\" -remove-browser-policy')"
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('RemoveBrowserPolicy', 'REMOVE~=\"ALL\" AND NOT UPGRADINGPRODUCTCODE', 1910)"
  "UPDATE Property SET Value = 'WIX_DOWNGRADE_DETECTED$<SEMICOLON>WIX_UPGRADE_DETECTED$<SEMICOLON>${_secure_settings}$<SEMICOLON>BROWSER_POLICY' WHERE Property = 'SecureCustomProperties'")
# FinishInstall: wixl has no element for failure actions (ServiceConfig /
# ServiceConfigFailureActions), for permissions (Permission, PermissionEx) or
# for a folder outside the product, so the program does all three itself,
# run as the system like WriteSettings, after InstallServices (5800) and
# before StartServices (5900), on every install and upgrade: restart on
# failure for the service, the data folder for administrators only, and
# ssl_localhost.pem (when present) for SYSTEM and Administrators only. The
# option word is the program's (src/host/installation_protection.h).
list(APPEND _table_edits
  "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('FinishInstall', 3106, 'INSTALLDIR', '\"[#rdserver_ext.exe]\" -finish-install')"
  "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FinishInstall', 'NOT REMOVE~=\"ALL\"', 5850)")
foreach(_row IN LISTS _written_files)
  list(APPEND _table_edits "INSERT INTO RemoveFile (FileKey, Component_, FileName, DirProperty, InstallMode) VALUES ${_row}")
endforeach()

# rdext_add_msi(<target> <version> <output> [ALL]): a target building the
# package of that version from the staged files, signed last when signing.
function(rdext_add_msi target version output)
  string(UUID _product NAMESPACE D8C2A65E-48CA-4A0A-9F64-956CAE8AD9E2
         NAME "rdserver_ext ${version}" TYPE SHA1 UPPER)
  set(_queries "")
  foreach(_edit IN LISTS _table_edits)
    list(APPEND _queries -q "${_edit}")
  endforeach()
  rdext_sign_command(_sign "${output}")
  set(_all "")
  if(ARGN STREQUAL "ALL")
    set(_all ALL)
  endif()
  add_custom_command(OUTPUT "${output}"
    COMMAND "${WIXL_EXECUTABLE}" -a x64 -D Version=${version} -D ProductCode=${_product}
            -o "${output}" "${_wxs}"
    COMMAND "${MSIBUILD_EXECUTABLE}" "${output}" ${_queries}
    ${_sign}
    DEPENDS "${_wxs}" "${_staging}/rdserver_ext.exe" "${_staging}/config.ini" "${_staging}/README.txt"
    WORKING_DIRECTORY "${_staging}"  # wixl finds the files named in the .wxs here
    COMMENT "Building ${output}" VERBATIM)
  add_custom_target(${target} ${_all} DEPENDS "${output}")
endfunction()

# The package holds the executable without its debugging information, signed
# after stripping when signing.
rdext_sign_command(_sign_staged "${_staging}/rdserver_ext.exe")
add_custom_command(OUTPUT "${_staging}/rdserver_ext.exe" "${_staging}/config.ini" "${_staging}/README.txt"
  COMMAND "${CMAKE_STRIP}" -o "${_staging}/rdserver_ext.exe" "$<TARGET_FILE:rdserver_ext>"
  ${_sign_staged}
  COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/config/config.ini"
          "${PROJECT_BINARY_DIR}/packaging/README.txt" "${_staging}/"
  DEPENDS rdserver_ext "${PROJECT_SOURCE_DIR}/config/config.ini" "${PROJECT_BINARY_DIR}/packaging/README.txt"
  VERBATIM)

set(RDEXT_MSI "${PROJECT_BINARY_DIR}/package/rdserver_ext-${PROJECT_VERSION}-x64.msi")
rdext_add_msi(msi ${PROJECT_VERSION} "${RDEXT_MSI}" ALL)

# The same package one patch version later, for the test that upgrades in place.
math(EXPR _next_patch "${PROJECT_VERSION_PATCH} + 1")
set(_next "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${_next_patch}")
set(RDEXT_MSI_NEXT "${PROJECT_BINARY_DIR}/tests/release/rdserver_ext-${_next}-x64.msi")
rdext_add_msi(msi_next ${_next} "${RDEXT_MSI_NEXT}" ALL)
