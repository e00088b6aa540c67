# What `cmake --install` puts where, by component:
#   Libraries      the plug-in and the vault
#   Development    their public headers (include/keystead/), import libraries,
#                  the CMake package and the pkg-config files
#   Host           keystead-host, the demo page it serves and its systemd user unit
#   EngineStandIn  our stand-in for the closed face-login engine, under the
#                  engine's file name beside the plug-in, so that the real
#                  engine replaces it file for file
include(CMakePackageConfigHelpers)

set_target_properties(Corvane.Keystead.Plugin PROPERTIES EXPORT_NAME Plugin)
set_target_properties(KeysteadVault PROPERTIES EXPORT_NAME Vault)
install(TARGETS Corvane.Keystead.Plugin KeysteadVault
  EXPORT KeysteadTargets
  RUNTIME DESTINATION ${KS_INSTALL_MODULE_DIR} COMPONENT Libraries
  LIBRARY DESTINATION ${KS_INSTALL_MODULE_DIR} COMPONENT Libraries
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/plugin/entry/KeysteadPlugin.h
  ${PROJECT_SOURCE_DIR}/plugin/entry/KeysteadPluginExport.h
  ${PROJECT_SOURCE_DIR}/vault/KeysteadVault.h
  ${PROJECT_SOURCE_DIR}/vault/VaultExport.h
  DESTINATION ${KS_INSTALL_HEADER_DIR} COMPONENT Development)

# Exported as Keystead::Engine only because the plug-in links it; a consumer
# never names it (the plug-in finds it beside itself).
set_target_properties(Corvane.Keystead.SDKLib PROPERTIES EXPORT_NAME Engine)
install(TARGETS Corvane.Keystead.SDKLib
  EXPORT KeysteadTargets
  RUNTIME DESTINATION ${KS_INSTALL_MODULE_DIR} COMPONENT EngineStandIn
  LIBRARY DESTINATION ${KS_INSTALL_MODULE_DIR} COMPONENT EngineStandIn
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT EngineStandIn)

install(TARGETS keystead-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Host)
# Every file the host reads from the page folder at start.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/web/ DESTINATION ${KS_INSTALL_WEB_DIR} COMPONENT Host
  FILES_MATCHING PATTERN "*.html" PATTERN "*.js" PATTERN "*.css" PATTERN "*.json")

# The CMake package: find_package(Keystead 1) gives Keystead::Plugin and
# Keystead::Vault. Relocatable: the files find the prefix from their own place.
install(EXPORT KeysteadTargets NAMESPACE Keystead:: DESTINATION ${KS_INSTALL_CMAKE_DIR}
  COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/packaging/KeysteadConfig.cmake.in
  ${PROJECT_BINARY_DIR}/packaging/KeysteadConfig.cmake INSTALL_DESTINATION ${KS_INSTALL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/packaging/KeysteadConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/packaging/KeysteadConfig.cmake
              ${PROJECT_BINARY_DIR}/packaging/KeysteadConfigVersion.cmake
  DESTINATION ${KS_INSTALL_CMAKE_DIR} COMPONENT Development)

if(WIN32)
  return()
endif()

# pkg-config files. The file names have no "lib" prefix, so they are linked
# by full name (-l:<file>); the prefix is found from the .pc file's place.
file(RELATIVE_PATH KS_PC_PREFIX_FROM_PC_DIR /${KS_INSTALL_PKGCONFIG_DIR} /)
string(REGEX REPLACE "/$" "" KS_PC_PREFIX_FROM_PC_DIR "${KS_PC_PREFIX_FROM_PC_DIR}")
function(ks_install_pkg_config name description target)
  set(KS_PC_NAME ${name})
  set(KS_PC_DESCRIPTION "${description}")
  set(KS_PC_LIBRARY_FILE ${target}${CMAKE_SHARED_LIBRARY_SUFFIX})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/keystead.pc.in
                 ${PROJECT_BINARY_DIR}/packaging/${name}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/${name}.pc
    DESTINATION ${KS_INSTALL_PKGCONFIG_DIR} COMPONENT Development)
endfunction()
ks_install_pkg_config(keystead-plugin "Keystead request-handling plug-in (C interface)"
                      Corvane.Keystead.Plugin)
ks_install_pkg_config(keystead-vault "Keystead key vault" KeysteadVault)

# The systemd user unit. It names the host by absolute path, so it is written
# at install time for the prefix being installed to (/usr in the packages).
install(CODE "
  set(KS_UNIT_HOST \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/keystead-host\")
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/keystead-host.service.in\"
                 \"${PROJECT_BINARY_DIR}/packaging/keystead-host.service\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${KS_INSTALL_USER_UNIT_DIR}\" TYPE FILE
       FILES \"${PROJECT_BINARY_DIR}/packaging/keystead-host.service\")
" COMPONENT Host)
