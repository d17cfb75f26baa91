#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Varnu and runs it beside the
# messenger simulator. With no display set it runs on a virtual display,
# saves a screenshot to build/screenshot.png and shuts everything down;
# with a display it stays until Varnu is closed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" win64
. "$root/scripts/wine-env.sh"
interactive=${DISPLAY:+yes}
trap varnu_env_down EXIT
varnu_env_up

bin=$root/build/win64/bin
demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp "$bin/Varnu.exe" "$demo/"
[ -f "$bin/Varnu.dll" ] && cp "$bin/Varnu.dll" "$demo/"
cp "$bin/MessengerSim.exe" "$demo/"
# A settings file, so the first-run notice does not cover the screenshot.
printf '[Settings]\r\nwin_X=1200\r\nwin_Y=900\r\nwin_CX=12000\r\nwin_CY=9000\r\nwin_Status=0\r\n' > "$demo/set.ini"

export LANG=zh_CN.UTF-8
WINE_BIN=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
cd "$demo"
"$WINE_BIN" MessengerSim.exe --demo >/dev/null 2>&1 &
sleep 4
"$WINE_BIN" Varnu.exe >/dev/null 2>&1 &
varnu=$!
if [ -n "$interactive" ]; then
  echo "Varnu is running on $DISPLAY; close it to end the demo."
  wait $varnu || true
else
  sleep 10
  import -window root "$root/build/screenshot.png"
  echo "screenshot: $root/build/screenshot.png"
fi
