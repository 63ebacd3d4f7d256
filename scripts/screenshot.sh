#!/usr/bin/env bash
# Takes docs/screenshot.png: the operator window on the simulator, in real
# time, part-way through the example plan, with the simulated driver's
# diagnostic port open, the light-level plot and the verdict against
# examples/limits-fail.csv (remembered in the settings file, as "Load Limits..."
# leaves it). A fast simulated unit and matching short settings (in a
# settings file of its own, so the user's settings are not touched) make the
# log fill within a minute, and test 2 (which the limits fail) end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --screenshot
cmake --preset default >/dev/null
cmake --build --preset default --target orvalt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Kestrune"
# Levels of 1 s, starting 0.75 s after power-on; the waits are set to match.
cat > "$work/unit.json" <<'JSON'
{"startMs": 750, "levelMs": 1000, "offTauMs": 150, "diagPeriodMs": 500}
JSON
printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Location]' \
  '"cfgTime1"=dword:000003e8' '"cfgTime2"=dword:00000bb8' '"cfgTime3"=dword:000001f4' \
  '"cfgTime4"=dword:000002ee' '"cfgTime6"=dword:000003e8' '"cfgTime7"=dword:000001f4' \
  '"cfgLevelDuration"=dword:000003e8' '"timeToOffSeconds"=dword:00000002' \
  '"CommPort"=dword:00000040' '"Manufacturer"="Acme Lighting"' '"Model"="X100"' \
  '"Type"="Downlight"' '"Power"="40W"' '"FixtureSize"="600x600"' \
  '"DriverManufacturer"="Kestrune"' '"DriverModel"="KD-4"' '' \
  '[HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Limits]' "\"File\"=\"$PWD/examples/limits-fail.csv\"" \
  > "$work/config/Kestrune/Orvalt.reg"

export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work"
seconds=${SCREENSHOT_AFTER_SECONDS:-55}
xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
  ./build/default/src/ui/orvalt --simulate --unit "$1" --open-diag \
    --load-plan "$4" --start &
  pid=$!
  sleep "$2"
  xwd -root -silent > "$3/screen.xwd"
  kill "$pid"
  wait "$pid" || true
' screenshot "$work/unit.json" "$seconds" "$work" "$PWD/examples/TestCfg.csv"
mkdir -p docs
# The window is all that is not the black screen around it.
convert "$work/screen.xwd" -trim +repage docs/screenshot.png
echo "docs/screenshot.png written"
