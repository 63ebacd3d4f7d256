#!/usr/bin/env bash
# Takes the README's pictures of the operator window on the simulator, in real
# time, under Xvfb on a 1920x1080 screen:
#   docs/screenshot.png         part-way through the example plan, with the
#                               simulated driver's diagnostic port open, the
#                               light-level plot and the verdict against
#                               examples/limits-fail.csv: FAIL once test 2 ended
#   docs/screenshot-pass.png    one test judged against examples/limits-pass.csv
#   docs/screenshot-notjudged.png  the same test without limits
#   docs/screenshot-fixtures.png   two fixtures' windows side by side
# A fast simulated unit and matching short settings (in a settings file of its
# own, so the user's settings are not touched) make the log fill within a
# minute. The limits file is remembered in the settings file, as "Load
# Limits..." leaves it; each fixture's window opens at the place kept for it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --screenshot
cmake --preset default >/dev/null
cmake --build --preset default --target orvalt

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Levels of 1 s, starting 0.75 s after power-on; the waits are set to match.
cat > "$work/unit.json" <<'JSON'
{"startMs": 750, "levelMs": 1000, "offTauMs": 150, "diagPeriodMs": 500}
JSON
# The example plan's first test alone, for the pictures of a finished run.
head -n 3 examples/TestCfg.csv > "$work/one-test.csv"

# The fast settings under KEY (Location, or a fixture's key).
section() {
  printf '%s\r\n' "[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\$1]" \
    '"cfgTime1"=dword:000003e8' '"cfgTime2"=dword:00000bb8' '"cfgTime3"=dword:000001f4' \
    '"cfgTime4"=dword:000002ee' '"cfgTime6"=dword:000003e8' '"cfgTime7"=dword:000001f4' \
    '"cfgLevelDuration"=dword:000003e8' '"timeToOffSeconds"=dword:00000002' \
    '"CommPort"=dword:00000040' '"Manufacturer"="Acme Lighting"' '"Model"="X100"' \
    '"Type"="Downlight"' '"Power"="40W"' '"FixtureSize"="600x600"' \
    '"DriverManufacturer"="Kestrune"' '"DriverModel"="KD-4"' ''
}

# settings FOLDER LIMITS: a settings file in FOLDER remembering LIMITS (none
# when empty), with both fixtures' windows side by side.
settings() {
  mkdir -p "$1/Kestrune"
  {
    printf '%s\r\n' 'REGEDIT4' ''
    section Location
    section 'Fixtures\Bay 1'
    section 'Fixtures\Bay 2'
    printf '%s\r\n' '[HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Fixtures\Bay 1\Window]' \
      '"X"=dword:00000000' '"Y"=dword:00000000' '"Width"=dword:000003b8' \
      '"Height"=dword:00000410' '' \
      '[HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Fixtures\Bay 2\Window]' \
      '"X"=dword:000003c0' '"Y"=dword:00000000' '"Width"=dword:000003b8' \
      '"Height"=dword:00000410' ''
    if [ -n "$2" ]; then
      printf '%s\r\n' '[HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Limits]' "\"File\"=\"$2\""
    fi
  } > "$1/Kestrune/Orvalt.reg"
}

# shoot NAME PLAN LIMITS SECONDS [ORVALT OPTIONS...]: one window per option
# set (separated by "--"), the screen grabbed after SECONDS.
shoot() {
  local name=$1 plan=$2 limits=$3 seconds=$4
  shift 4
  local folder="$work/$name"
  settings "$folder/config" "$limits"
  XDG_CONFIG_HOME="$folder/config" XDG_DATA_HOME="$folder/data" XDG_RUNTIME_DIR="$work" \
    xvfb-run -a -s "-screen 0 1920x1080x24" bash -c '
    folder=$1 unit=$2 plan=$3 seconds=$4
    shift 4
    pids=()
    options=()
    for word in "$@" --; do
      if [ "$word" = "--" ]; then
        ./build/default/src/ui/orvalt --simulate --unit "$unit" "${options[@]}" \
          --load-plan "$plan" --start &
        pids+=($!)
        options=()
      else
        options+=("$word")
      fi
    done
    sleep "$seconds"
    xwd -root -silent > "$folder/screen.xwd"
    kill "${pids[@]}"
    wait "${pids[@]}" || true
  ' screenshot "$folder" "$work/unit.json" "$plan" "$seconds" "$@"
  mkdir -p docs
  # The windows are all that is not the black screen around them.
  convert "$folder/screen.xwd" -trim +repage "docs/$name.png"
  echo "docs/$name.png written"
}

seconds=${SCREENSHOT_AFTER_SECONDS:-55}
shoot screenshot "$PWD/examples/TestCfg.csv" "$PWD/examples/limits-fail.csv" "$seconds" \
  --open-diag
shoot screenshot-pass "$work/one-test.csv" "$PWD/examples/limits-pass.csv" "$seconds"
shoot screenshot-notjudged "$work/one-test.csv" "" "$seconds"
shoot screenshot-fixtures "$PWD/examples/TestCfg.csv" "$PWD/examples/limits-fail.csv" \
  "$seconds" --fixture "Bay 1" -- --fixture "Bay 2"
