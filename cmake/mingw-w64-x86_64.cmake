# Cross build for 64-bit Windows with Debian's mingw-w64, posix thread model
# (std::thread and std::mutex need it). Use with
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_PREFIX_PATH=<deps prefix>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_ks_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_ks_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_ks_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_ks_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_ks_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Package configurations come from the Windows dependency prefix given in
# CMAKE_PREFIX_PATH, which lies outside the mingw root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Every module carries its own C++ and thread run-time: the DLLs and test
# programs run without libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs cannot run on the build machine: list their tests when CTest
# runs them (under Wine), not after linking.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
