#!/usr/bin/env bash
# Builds the portable release packages: dist/Varnu-<version>-x86.zip and
# dist/Varnu-<version>-x64.zip, each with Varnu.exe, Varnu.dll, the user guide
# (使用说明.txt), LICENSE and SHA256SUMS.txt, plus dist/Varnu-<version>-SHA256SUMS.txt
# over the two zips. The version comes from src/main/version.h.
# Usage: scripts/package.sh [build root]   (default: build; uses <root>/win32 and <root>/win64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
builds=${1:-$root/build}
dist=$root/dist
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
command -v zip >/dev/null || "$root/scripts/setup-debian.sh"

part() { sed -n "s/^#define VARNU_VERSION_$1 \([0-9]*\).*/\1/p" "$root/src/main/version.h"; }
version=$(part MAJOR).$(part MINOR).$(part PATCH)

# The two deliverables of one architecture, built with the tree's own build
# folder (configured like scripts/build.sh does it) when they are not there yet.
build_arch() {
  local dir=$1 toolchain=$2; shift 2
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$dir" "${gen[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
  fi
  local log
  log=$(cmake --build "$dir" --target Varnu VarnuHook -j "$(nproc)" 2>&1) || { echo "$log"; return 1; }
}

# A Windows text file: UTF-8 with a byte-order mark (older Notepad needs it to
# tell UTF-8 from the ANSI code page) and CR LF line ends.
windows_text() { printf '\xef\xbb\xbf'; sed 's/\r$//; s/$/\r/' "$1"; }

package() {
  local arch=$1 dir=$2 triple=$3
  local stage zip=$dist/Varnu-$version-$arch.zip
  stage=$(mktemp -d)
  cp "$dir/bin/Varnu.exe" "$dir/bin/Varnu.dll" "$stage/"
  # Debug information stays in the build folder; the user gets the code only.
  "$triple-strip" --strip-debug "$stage/Varnu.exe" "$stage/Varnu.dll"
  windows_text "$root/docs/使用说明.txt" > "$stage/使用说明.txt"
  windows_text "$root/LICENSE" > "$stage/LICENSE"
  (cd "$stage" && sha256sum -b Varnu.exe Varnu.dll 使用说明.txt LICENSE | sed 's/$/\r/' > SHA256SUMS.txt)
  rm -f "$zip"
  # -UN=UTF8: names stored as UTF-8 with the flag that tells Windows so.
  (cd "$stage" && zip -q -X -UN=UTF8 "$zip" Varnu.exe Varnu.dll 使用说明.txt LICENSE SHA256SUMS.txt)
  rm -rf "$stage"
}

build_arch "$builds/win32" mingw-w64-i686.cmake -DVARNU_BUILD_TESTS=OFF
build_arch "$builds/win64" mingw-w64-x86_64.cmake
mkdir -p "$dist"
package x86 "$builds/win32" i686-w64-mingw32
package x64 "$builds/win64" x86_64-w64-mingw32
(cd "$dist" && sha256sum -b "Varnu-$version-x86.zip" "Varnu-$version-x64.zip" > "Varnu-$version-SHA256SUMS.txt")

for zip in "$dist/Varnu-$version-x86.zip" "$dist/Varnu-$version-x64.zip"; do
  echo "$zip"
  unzip -l "$zip" | sed '1,3d;/^-----/d;$d' | sed 's/^/  /'
done
echo "$dist/Varnu-$version-SHA256SUMS.txt"
sed 's/^/  /' "$dist/Varnu-$version-SHA256SUMS.txt"
