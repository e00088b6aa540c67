# Sourced from the repository root by the Windows scripts: where the cross
# build's pieces are. Sets deps (the dependency folder: the first argument,
# default build-win-deps), prefix (the libraries built there) and toolchain
# (the mingw-w64 CMake toolchain file).
deps=$(realpath -m "${1:-build-win-deps}")
prefix="$deps/prefix"
toolchain="$(pwd)/cmake/mingw-w64-x86_64.cmake"
