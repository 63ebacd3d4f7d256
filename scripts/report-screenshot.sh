#!/usr/bin/env bash
# Records two runs of the example plan on the simulator in virtual time, one
# judged against examples/limits-pass.csv and one against
# examples/limits-fail.csv, writes their reports with orvalt-cli and renders
# each page's top with headless Chromium to docs/report-pass.png and
# docs/report-fail.png (shown in the README), then prints the failed unit's
# report with the passed one beneath its traces and writes the first A4 sheet
# to docs/report-print.png. Needs a default build (cmake --build --preset
# default), Debian's chromium and poppler-utils (scripts/install-deps.sh
# installs them).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/default}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$root"
for outcome in pass fail; do
  serial="SN-12345$([ "$outcome" = pass ] && echo 6 || echo 7)"
  # Default settings and a spool of its own: the user's are not touched. A
  # failed limit ends the runner with status 5, which is what this run is for.
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    "$build/src/cli/orvalt-cli" --simulate --fast --db "$work/results.sqlite" \
    --manufacturer Acme --model X100 --type Linear --power 40W --size 4ft \
    --driver-manufacturer DrvCo --driver-model D-200 --serial "$serial" \
    --operator "M. Keller" --lot WO-2026-0042 \
    --limits "examples/limits-$outcome.csv" examples/TestCfg.csv >/dev/null || [ $? -eq 5 ]
  "$build/src/cli/orvalt-cli" report --last --db "$work/results.sqlite" \
    --out "$work/report-$outcome.html"
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run \
    --user-data-dir="$work/profile" --hide-scrollbars --window-size=1000,1250 \
    --screenshot="$root/docs/report-$outcome.png" "file://$work/report-$outcome.html" 2>/dev/null
  echo "wrote docs/report-$outcome.png"
done
"$build/src/cli/orvalt-cli" report --last --reference newest --db "$work/results.sqlite" \
  --out "$work/report-print.html"
chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run \
  --user-data-dir="$work/profile" --no-pdf-header-footer \
  --print-to-pdf="$work/report-print.pdf" "file://$work/report-print.html" 2>/dev/null
pdftoppm -png -r 80 -f 1 -l 1 -singlefile "$work/report-print.pdf" "$root/docs/report-print"
echo "wrote docs/report-print.png ($(pdfinfo "$work/report-print.pdf" | sed -n 's/^Pages: *//p') A4 pages)"
