# Per-target settings shared by every target of the project: standard, warnings,
# hidden symbols and the optional sanitizer build. Nothing touches global flags.

set(KS_SANITIZE "" CACHE STRING "Sanitizers for every target: '', 'address;undefined' or 'thread'")

function(ks_setup_target target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    POSITION_INDEPENDENT_CODE ON)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  if(KS_SANITIZE)
    list(JOIN KS_SANITIZE "," _ks_san)
    target_compile_options(${target} PRIVATE -fsanitize=${_ks_san} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${_ks_san})
  endif()
endfunction()

# One GoogleTest executable per source folder of tests/, registered with CTest.
function(ks_add_test_suite name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  ks_setup_target(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
