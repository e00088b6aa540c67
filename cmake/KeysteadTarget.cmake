# Per-target settings shared by every target of the project: standard, warnings,
# hidden symbols and the optional sanitizer build. Nothing touches global flags.

set(KS_SANITIZE "" CACHE STRING "Sanitizers for every target: '', 'address;undefined' or 'thread'")

function(ks_setup_target target)
  # C++20 is how this tree builds, not something the installed targets ask of
  # their consumers (their headers need C or C++11).
  target_compile_features(${target} PUBLIC $<BUILD_INTERFACE:cxx_std_20>)
  set_target_properties(${target} PROPERTIES
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
  # Not for the Windows resource compiler (version resources), which takes none of them.
  target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:C,CXX>:-Wall;-Wextra;-Wpedantic;-Werror>")
  # Clang checks the lock annotations (see plugin/platform/Mutex.h); the beta
  # group adds the declared lock order (acquired_before).
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${target} PRIVATE -Wthread-safety -Wthread-safety-beta)
  endif()
  if(KS_SANITIZE)
    list(JOIN KS_SANITIZE "," _ks_san)
    target_compile_options(${target} PRIVATE -fsanitize=${_ks_san} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${_ks_san})
  endif()
endfunction()

# A test or benchmark process holds one copy of each library: it links a
# shipped library or the static libraries built into it, never both, since
# each copy would have its own logger, registries and singletons. Fails the
# configure step when `libs` (a program's own link list) names both.
function(ks_refuse_two_copies program)
  foreach(_shared IN LISTS ARGN)
    if(NOT TARGET ${_shared})
      continue()
    endif()
    get_target_property(_type ${_shared} TYPE)
    if(NOT _type STREQUAL "SHARED_LIBRARY")
      continue()
    endif()
    # The static libraries built into it, followed through their own links.
    set(_parts "")
    set(_queue ${_shared})
    while(_queue)
      list(POP_FRONT _queue _target)
      get_target_property(_links ${_target} LINK_LIBRARIES)
      foreach(_link IN LISTS _links)
        if(TARGET ${_link} AND NOT _link IN_LIST _parts)
          get_target_property(_linkType ${_link} TYPE)
          if(_linkType STREQUAL "STATIC_LIBRARY")
            list(APPEND _parts ${_link})
            list(APPEND _queue ${_link})
          endif()
        endif()
      endforeach()
    endwhile()
    foreach(_lib IN LISTS ARGN)
      if(_lib IN_LIST _parts)
        message(FATAL_ERROR "${program} links both ${_shared} and ${_lib}, which is built into it")
      endif()
    endforeach()
  endforeach()
endfunction()

# One GoogleTest executable per source folder of tests/, registered with CTest.
function(ks_add_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  ks_refuse_two_copies(${name} ${ARG_LIBS})
  add_executable(${name} ${ARG_SOURCES})
  ks_setup_target(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# Pins the export table of a shipped library: the linker exports what the
# lists beside its CMakeLists.txt name and nothing else, `exports.*` always
# and `test-hooks.*` in KS_TEST_HOOKS builds only. A `.map` list holds the
# global entries of a GNU ld version script (ELF); a `.def` list the EXPORTS
# lines of a module definition file (mingw-w64), which is all a DLL exports
# since nothing built into it carries a dllexport marking.
function(ks_pin_exports target)
  if(WIN32)
    set(_kind def)
    set(_head "EXPORTS\n")
    set(_tail "")
  else()
    set(_kind map)
    set(_head "{\n  global:\n")
    set(_tail "  local: *;\n};\n")
  endif()
  set(_lists ${CMAKE_CURRENT_SOURCE_DIR}/exports.${_kind})
  if(KS_TEST_HOOKS)
    list(APPEND _lists ${CMAKE_CURRENT_SOURCE_DIR}/test-hooks.${_kind})
  endif()
  set(_content "${_head}")
  foreach(_list IN LISTS _lists)
    file(READ ${_list} _entries)
    string(APPEND _content "${_entries}")
  endforeach()
  string(APPEND _content "${_tail}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_lists})

  set(_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.${_kind})
  file(CONFIGURE OUTPUT ${_file} CONTENT "${_content}" @ONLY)
  if(WIN32)
    target_sources(${target} PRIVATE ${_file})
  else()
    target_link_options(${target} PRIVATE -Wl,--version-script=${_file})
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${_file})
endfunction()
