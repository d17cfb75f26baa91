#!/usr/bin/env bash
# Pictures of the tab strip: Varnu with three captured conversations, one of
# them unread, in both looks (tab_Skin True / False) with the tabs at the top
# and at the bottom; in both looks with the tabs at the top, one of them quiet
# beside the unread one; and the find box with "z" typed into it. Saves
# docs/tabs-{xp,messenger}-{top,bottom}.png, docs/tabs-{xp,messenger}-quiet.png
# and docs/find_box.png.
# Usage: scripts/tab-shots.sh [build folder]   (default: build/win64)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
cmake --build "$build" --target bench_tab_paint_bench Varnu MessengerSim VarnuHook -j "$(nproc)" >/dev/null
. "$root/scripts/wine-env.sh"
trap varnu_env_down EXIT
varnu_env_up

# shot NAME SKIN BOTTOM [MODE]
shot() {
  local name=$1; shift
  local out
  out=$(mktemp)
  (cd "$build/bin" && LANG=zh_CN.UTF-8 "$root/scripts/wine-run.sh" ./bench_tab_paint_bench.exe --scene "$@" >"$out" 2>&1) &
  local scene=$!
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
}

for skin in 1 0; do
  look=$([ $skin = 1 ] && echo xp || echo messenger)
  for bottom in 0 1; do
    shot "tabs-$look-$([ $bottom = 1 ] && echo bottom || echo top)" $skin $bottom
  done
  shot "tabs-$look-quiet" $skin 0 quiet
done
shot find_box 1 0 find
