#!/usr/bin/env bash
# Records the example drifting lot (examples/lot-drift.json: 200 units whose
# decay after power cut slows from unit 31 on) on the simulator in virtual
# time, writes `orvalt-cli spc --out` of its TimeToOffA and renders the page's
# top with headless Chromium to docs/spc.png (shown in the README). Needs a
# default build (cmake --build --preset default) and Debian's chromium
# (scripts/install-deps.sh installs it).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/default}"
cli="$build/src/cli/orvalt-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$root"
# Default settings and a spool of their own: the user's are not touched. The
# lot's late units fail their limit, so the runner ends with status 5.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
"$cli" --simulate --fast --lot-profile examples/lot-drift.json --units 200 \
  --limits examples/limits-pass.csv --model X100 --lot WO-17 --db "$work/results.sqlite" \
  examples/TestCfg.csv >/dev/null || [ $? -eq 5 ]
"$cli" spc --model X100 --measurement TimeToOffA --db "$work/results.sqlite" \
  --out "$work/spc.html" >/dev/null
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1040,1100 \
  --screenshot="$root/docs/spc.png" "file://$work/spc.html" 2>/dev/null
echo "wrote docs/spc.png"
