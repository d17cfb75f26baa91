#!/usr/bin/env bash
# Builds the benchmarks and runs each under Wine (on a virtual display when
# none is set); they print their figures.
# Usage: scripts/bench.sh [build folder]   (default: build/win64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${gen[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake -S "$root" -B "$build" >/dev/null
benches=$(cd "$root/tests/bench" && ls *.cpp 2>/dev/null | sed 's/\.cpp$//')
for b in $benches; do
  cmake --build "$build" --target "bench_$b" -j "$(nproc)"
done
. "$root/scripts/wine-env.sh"
trap varnu_env_down EXIT
varnu_env_up
status=0
for b in $benches; do
  echo "== $b"
  (cd "$build/bin" && VARNU_WINE_TIMEOUT=${VARNU_WINE_TIMEOUT:-1800} "$root/scripts/wine-run.sh" "./bench_$b.exe") || status=1
done
exit $status
