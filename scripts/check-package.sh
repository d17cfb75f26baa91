#!/usr/bin/env bash
# Builds the release packages, checks both architectures' binaries by
# inspection, then unpacks the x64 zip into a folder whose path holds Chinese
# characters and blanks and runs the package's end-to-end test against it.
# Expects the Wine environment to be up (scripts/wine-env.sh, varnu_env_up).
# Usage: scripts/check-package.sh [build root]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
builds=${1:-$root/build}
"$root/scripts/package.sh" "$builds"
"$root/scripts/inspect.sh"
log=$(cmake --build "$builds/win64" --target e2e_package -j "$(nproc)" 2>&1) || { echo "$log"; exit 1; }
part() { sed -n "s/^#define VARNU_VERSION_$1 \([0-9]*\).*/\1/p" "$root/src/main/version.h"; }
version=$(part MAJOR).$(part MINOR).$(part PATCH)
base=$(mktemp -d "$builds/unpacked.XXXXXX")
trap 'rm -rf "$base"' EXIT
unzip -q "$root/dist/Varnu-$version-x64.zip" -d "$base/绿色版 Varnu 测试"
echo "unpacked into $base/绿色版 Varnu 测试"
# Started as on a Chinese system: the ANSI code page is 936.
(cd "$builds/win64/bin" && LANG=zh_CN.UTF-8 VARNU_UNPACKED_BASE="Z:${base//\//\\}" \
  "$root/scripts/wine-run.sh" ./e2e_package.exe)
