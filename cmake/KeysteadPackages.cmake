# Debian packages (cpack -G DEB in a build folder), one per install component:
#   keystead-host            the host, its page and its systemd user unit
#   libkeystead              the plug-in and the vault
#   libkeystead-dev          headers, CMake package and pkg-config files, apart
#                            as Debian does it: hosts that load the plug-in
#                            need none of them
#   keystead-engine-standin  the stand-in engine; it provides the virtual
#                            package keystead-engine that libkeystead needs, so
#                            a real engine package providing it replaces it
# The packages' own dependencies on system libraries come from dpkg-shlibdeps.
if(WIN32)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME keystead)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_CONTACT "Keystead developers <dev@keystead.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL Host Libraries Development EngineStandIn)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The plug-in's engine is found beside it, in whichever package provides it.
get_target_property(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS Corvane.Keystead.SDKLib BINARY_DIR)

set(_same_version "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_HOST_PACKAGE_NAME keystead-host)
set(CPACK_DEBIAN_HOST_PACKAGE_DEPENDS "libkeystead ${_same_version}")
string(CONCAT CPACK_DEBIAN_HOST_DESCRIPTION
    "Keystead local web host\n"
    "Serves the Keystead plug-in and its demo page on 127.0.0.1; a systemd user\n"
    "unit starts it: systemctl --user enable --now keystead-host")

set(CPACK_DEBIAN_LIBRARIES_PACKAGE_NAME libkeystead)
set(CPACK_DEBIAN_LIBRARIES_PACKAGE_DEPENDS keystead-engine)
string(CONCAT CPACK_DEBIAN_LIBRARIES_DESCRIPTION
    "Keystead plug-in and key vault\n"
    "Corvane.Keystead.Plugin.so, the request-handling plug-in that a local web\n"
    "host loads, and KeysteadVault.so, the machine-wide key vault.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkeystead-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libkeystead ${_same_version}")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
string(CONCAT CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "Keystead plug-in and key vault: development files\n"
    "Headers under /usr/include/keystead, the CMake package (find_package(Keystead)\n"
    "gives Keystead::Plugin and Keystead::Vault) and pkg-config files.")

set(CPACK_DEBIAN_ENGINESTANDIN_PACKAGE_NAME keystead-engine-standin)
set(CPACK_DEBIAN_ENGINESTANDIN_PACKAGE_PROVIDES keystead-engine)
# One engine at a time: the same file name as the real engine's.
set(CPACK_DEBIAN_ENGINESTANDIN_PACKAGE_CONFLICTS keystead-engine)
set(CPACK_DEBIAN_ENGINESTANDIN_PACKAGE_REPLACES keystead-engine)
string(CONCAT CPACK_DEBIAN_ENGINESTANDIN_DESCRIPTION
    "Keystead face-login engine, stand-in\n"
    "A scriptable stand-in for the closed face-login engine, under the engine's\n"
    "file name (Corvane.Keystead.SDKLib.so). A real engine package that provides\n"
    "keystead-engine replaces it.")

include(CPack)
