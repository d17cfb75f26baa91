#!/usr/bin/env bash
# Checks the binaries of the release packages by inspection, for both
# architectures (the x86 build cannot run on a 64-bit-only Wine): machine
# type, GUI subsystem of Varnu.exe, InitHook and HistoryTable exported
# undecorated from Varnu.dll, its shared data section flagged shared and of
# the one size both architectures agree on (the history table's layout,
# src/hooklib/core/meter_table.h), and imports of system libraries only (none
# of the MinGW runtime DLLs). Prints each finding.
# Usage: scripts/inspect.sh [zip ...]   (default: both zips of the current version in dist/)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
part() { sed -n "s/^#define VARNU_VERSION_$1 \([0-9]*\).*/\1/p" "$root/src/main/version.h"; }
version=$(part MAJOR).$(part MINOR).$(part PATCH)
[ $# -gt 0 ] || set -- "$root/dist/Varnu-$version-x86.zip" "$root/dist/Varnu-$version-x64.zip"
shared_bytes=$(sed -n 's/.*kSharedSectionBytes = \([0-9]*\);.*/\1/p' "$root/src/hooklib/core/meter_table.h")

# Libraries every supported Windows has; anything else (libstdc++-6.dll,
# libgcc_s_*.dll, libwinpthread-1.dll …) would have to ship beside the program.
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll gdi32.dll gdiplus.dll kernel32.dll msimg32.dll "
system_dlls+="msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll winhttp.dll version.dll "

failures=0
check() {  # check <description> <condition result 0/1>
  if [ "$2" -eq 0 ]; then echo "  ok    $1"; else echo "  FAIL  $1"; failures=$((failures + 1)); fi
}

inspect() {
  local zip=$1 arch format dump tmp file
  case $zip in
    *-x86.zip) arch=x86; format=pei-i386; dump=i686-w64-mingw32-objdump ;;
    *-x64.zip) arch=x64; format=pei-x86-64; dump=x86_64-w64-mingw32-objdump ;;
    *) echo "$zip: neither x86 nor x64"; failures=$((failures + 1)); return ;;
  esac
  echo "$(basename "$zip")"
  tmp=$(mktemp -d)
  unzip -q "$zip" -d "$tmp"
  for file in Varnu.exe Varnu.dll; do
    [ -f "$tmp/$file" ] || { check "$file present" 1; continue; }
    local head imports foreign
    head=$($dump -f "$tmp/$file")
    echo "$head" | grep -q "file format $format\$"; check "$file machine $format" $?
    imports=$($dump -p "$tmp/$file" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
    foreign=$(for dll in $imports; do [[ $system_dlls == *" $dll "* ]] || echo "$dll"; done)
    check "$file imports only system libraries ($(echo $imports | tr ' ' ','))${foreign:+; not: $(echo $foreign)}" \
      "$([ -z "$foreign" ]; echo $?)"
  done
  if [ -f "$tmp/Varnu.exe" ]; then
    $dump -p "$tmp/Varnu.exe" | grep -q '^Subsystem.*(Windows GUI)'; check "Varnu.exe GUI subsystem" $?
  fi
  if [ -f "$tmp/Varnu.dll" ]; then
    local export size size_ok
    for export in InitHook HistoryTable; do
      $dump -p "$tmp/Varnu.dll" | grep -Eq "^[[:space:]]*\\[ *[0-9]+\\] $export\$"; check "Varnu.dll exports $export undecorated" $?
    done
    $dump -h "$tmp/Varnu.dll" | grep -A1 ' Shared ' | grep -q 'SHARED'; check "Varnu.dll section Shared flagged shared" $?
    size=$($dump -h "$tmp/Varnu.dll" | awk '$2 == "Shared" { print $3 }')
    if [ -n "$size" ] && [ $((16#$size)) -eq "${shared_bytes:-0}" ]; then size_ok=0; else size_ok=1; fi
    check "Varnu.dll section Shared of $shared_bytes bytes (0x${size:-?})" $size_ok
  fi
  for file in 使用说明.txt LICENSE SHA256SUMS.txt; do
    [ -f "$tmp/$file" ]; check "$file present" $?
  done
  (cd "$tmp" && sed 's/\r$//' SHA256SUMS.txt | sha256sum -c --quiet >/dev/null 2>&1); check "SHA-256 sums match" $?
  rm -rf "$tmp"
}

for zip in "$@"; do
  if [ -f "$zip" ]; then inspect "$zip"; else echo "$zip: missing"; failures=$((failures + 1)); fi
done
[ $failures -eq 0 ] && echo "inspection: all checks passed" || echo "inspection: $failures check(s) failed"
[ $failures -eq 0 ]
