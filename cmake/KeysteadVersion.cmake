# The project's version as the code and Windows see it.

# KEYSTEAD_VERSION for the programs that print it.
set(KS_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/KeysteadVersion.h.in
               ${KS_GENERATED_INCLUDE_DIR}/KeysteadVersion.h @ONLY)

# Gives a shipped module its Windows version resource (VS_VERSION_INFO: the
# file and product versions and names that Explorer and installers show),
# compiled with the toolchain's resource compiler. Does nothing elsewhere.
function(ks_add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set(KS_RC_FILE_TYPE VFT_APP)
  else()
    set(KS_RC_FILE_TYPE VFT_DLL)
  endif()
  set(KS_RC_TARGET ${target})
  set(KS_RC_DESCRIPTION "${description}")
  file(READ ${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in _template)
  string(CONFIGURE "${_template}" _resource @ONLY)
  # The file name is known once the target's properties are final.
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc CONTENT "${_resource}")
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                         ${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in)
endfunction()
