#!/usr/bin/env bash
# Pictures of the tab strip: Varnu with three captured conversations, one of
# them unread, in both looks (tab_Skin True / False) with the tabs at the top
# and at the bottom. Saves docs/tabs-{xp,messenger}-{top,bottom}.png.
# Usage: scripts/tab-shots.sh [build folder]   (default: build/win64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
cmake --build "$build" --target bench_tab_paint_bench Varnu MessengerSim VarnuHook -j "$(nproc)" >/dev/null
. "$root/scripts/wine-env.sh"
trap varnu_env_down EXIT
varnu_env_up
for skin in 1 0; do
  for bottom in 0 1; do
    name=tabs-$([ $skin = 1 ] && echo xp || echo messenger)-$([ $bottom = 1 ] && echo bottom || echo top)
    out=$(mktemp)
    (cd "$build/bin" && LANG=zh_CN.UTF-8 "$root/scripts/wine-run.sh" ./bench_tab_paint_bench.exe --scene $skin $bottom >"$out" 2>&1) &
    scene=$!
    for _ in $(seq 600); do grep -q ready "$out" && break; kill -0 $scene 2>/dev/null || break; sleep 0.1; done
    if grep -q ready "$out"; then
      # The main window sits at the screen's corner, 600 x 400 pixels.
      import -window root -crop 620x420+0+0 +repage "$root/docs/$name.png"
      echo "docs/$name.png"
    else
      echo "no scene for $name" >&2
    fi
    wait $scene || true
    rm -f "$out"
  done
done
