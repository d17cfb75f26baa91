#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test:
# native unit tests, then the Windows unit, component and end-to-end tests
# under Wine on a virtual display.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh" all
. "$root/scripts/wine-env.sh"
trap varnu_env_down EXIT
varnu_env_up
status=0
ctest --test-dir "$root/build/native" --output-on-failure || status=1
# GUI tests under Wine on a virtual display now and then lose a race with
# Wine itself; a test that fails is run once more before it counts as failed.
ctest --test-dir "$root/build/win64" --output-on-failure --repeat until-pass:2 || status=1
exit $status
