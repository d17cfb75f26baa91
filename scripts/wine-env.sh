# Sourced by the test and demo scripts: a virtual display when none is set,
# a Wine prefix of the project's own, and a teardown that leaves nothing running.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
WINE_BIN=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINESERVER_BIN=$(command -v wineserver || echo /usr/lib/wine/wineserver)
started_xvfb=""
desktop_keeper=""

varnu_env_up() {
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in 91 92 93 94 95 96 97 98; do
      [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
    done
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    started_xvfb=$!
    export DISPLAY=:$n
    for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    timeout 300 wineboot -i >/dev/null 2>&1 || true
    # Without a window manager on the virtual display, Wine waits for one on
    # every show and hide; unmanaged windows draw their own frames at once.
    timeout 60 "${WINE_BIN:-wine}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  fi
  "$WINESERVER_BIN" -p >/dev/null 2>&1 || true
  # The first program in a fresh session pays for Wine's own start-up
  # (services, explorer); do that here, not inside the first test's time.
  timeout 120 "$WINE_BIN" cmd.exe /c exit >/dev/null 2>&1 || true
  # Wine closes its desktop about a second after the last program on it has
  # ended; a program that starts just then can land on the closing desktop,
  # where the next program cannot find its message-only windows. A console
  # waiting for input for the whole session keeps the desktop open.
  if [ -z "$desktop_keeper" ]; then
    (tail -f /dev/null | "$WINE_BIN" cmd.exe >/dev/null 2>&1) &
    desktop_keeper=$!
  fi
}

varnu_env_down() {
  timeout 30 "$WINESERVER_BIN" -k >/dev/null 2>&1 || true
  if [ -n "$desktop_keeper" ]; then
    pkill -P "$desktop_keeper" 2>/dev/null || true
    wait "$desktop_keeper" 2>/dev/null || true
    desktop_keeper=""
  fi
  if [ -n "$started_xvfb" ]; then
    kill "$started_xvfb" 2>/dev/null || true
    wait "$started_xvfb" 2>/dev/null || true
  fi
}
