#!/usr/bin/env bash
# Builds the native unit tests, the 64-bit Windows program with its tests,
# and the 32-bit Windows program (compile only).
# Usage: scripts/build.sh [native|win64|win32|all]   (default: all)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
what=${1:-all}
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
jobs=$(nproc)

configure_and_build() {
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "${gen[@]}" "$@" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
}

case $what in
  native|all) configure_and_build "$root/build/native" ;;&
  win64|all)  configure_and_build "$root/build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" ;;&
  win32|all)  configure_and_build "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DVARNU_BUILD_TESTS=OFF ;;
esac
