#!/usr/bin/env bash
# Records one run of the example plan on the simulator in virtual time, writes
# its report with orvalt-cli and renders the page with headless Chromium to
# docs/report.png (shown in the README). Needs a default build (cmake --build
# --preset default) and Debian's chromium (scripts/install-deps.sh installs it).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/default}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$root"
# Default settings and a spool of its own: the user's are not touched.
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  "$build/src/cli/orvalt-cli" --simulate --fast --db "$work/results.sqlite" \
  --manufacturer Acme --model X100 --type Linear --power 40W --size 4ft \
  --driver-manufacturer DrvCo --driver-model D-200 --serial SN-123456 \
  examples/TestCfg.csv >/dev/null
"$build/src/cli/orvalt-cli" report --last --db "$work/results.sqlite" --out "$work/report.html"

chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1000,2000 \
  --screenshot="$root/docs/report.png" "file://$work/report.html" 2>/dev/null
echo "wrote docs/report.png"
