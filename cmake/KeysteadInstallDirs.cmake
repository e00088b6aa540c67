# Where an install puts each kind of file, relative to its prefix (the GNU
# layout). The installed host finds the plug-in and the page from these,
# relative to its own folder.
set(KS_INSTALL_HEADER_DIR ${CMAKE_INSTALL_INCLUDEDIR}/keystead)
set(KS_INSTALL_WEB_DIR ${CMAKE_INSTALL_DATADIR}/keystead/web)
set(KS_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Keystead)
set(KS_INSTALL_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(KS_INSTALL_USER_UNIT_DIR lib/systemd/user)
# The shared libraries: a DLL lies beside the programs, where Windows looks first.
if(WIN32)
  set(KS_INSTALL_MODULE_DIR ${CMAKE_INSTALL_BINDIR})
else()
  set(KS_INSTALL_MODULE_DIR ${CMAKE_INSTALL_LIBDIR})
endif()
