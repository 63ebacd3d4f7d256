#!/usr/bin/env bash
# Real-time soak of the station with its diagnostic port at full line rate. Not
# part of CI: it runs for as many minutes as it is told.
#
# orvalt-cli runs the plan on the simulated U3 in real time, again and again,
# while bench_diag_feeder writes diagnostic lines into a pseudo-terminal at the
# 115200-baud line rate and orvalt-cli reads its far end with --diag. Every line
# carries the feeder's sequence number, which orvalt-cli's ">>Diag:" echo
# (--extra-log) shows again, so a gap in the echoed numbers is a line the
# station missed while it listened. Lines written between two runs, when no
# one has the port open, are lost by design and counted apart.
#
# The settings and unit profile are shortened so that a run of the example plan
# takes about a minute and a half (its own pulses and on/off times make up most
# of that); they live in a temporary folder, never in the user's settings.
#
# usage: scripts/soak-realtime.sh MINUTES [PLAN.csv]
set -euo pipefail
minutes=${1:?usage: soak-realtime.sh MINUTES [PLAN.csv]}
cd "$(dirname "$0")/.."
plan=$(realpath "${2:-examples/TestCfg.csv}")
build=build/default
cmake --preset default >/dev/null
cmake --build "$build" --target orvalt-cli bench_diag_feeder >/dev/null

work=$(mktemp -d)
feeder_pid=""
cleanup() {
  [[ -n $feeder_pid ]] && kill "$feeder_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/Kestrune"
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Orvalt\\Location]\r\n' \
  >"$XDG_CONFIG_HOME/Kestrune/Orvalt.reg"
for setting in cfgTime1=500 cfgTime2=1000 cfgTime3=250 cfgTime4=500 cfgTime6=500 cfgTime7=100 \
  cfgLevelDuration=500 timeToOffSeconds=1; do
  printf '"%s"=dword:%08x\r\n' "${setting%%=*}" "${setting#*=}" \
    >>"$XDG_CONFIG_HOME/Kestrune/Orvalt.reg"
done
# Level 1 from 500 ms after power-on, 500 ms a level: the waits above read each
# level in its middle.
echo '{"startMs": 500, "levelMs": 500, "offTauMs": 100}' >"$work/unit.json"

"$build/bench/bench_diag_feeder" 115200 >"$work/feeder.txt" &
feeder_pid=$!
for _ in $(seq 50); do
  grep -q '^port ' "$work/feeder.txt" 2>/dev/null && break
  sleep 0.1
done
port=$(awk '/^port /{print $2}' "$work/feeder.txt")
[[ -n $port ]] || { echo "the feeder gave no port" >&2; exit 1; }

# Resident memory of a process in KiB, empty once it has gone.
rss_of() { awk '/^VmRSS:/{print $2}' "/proc/$1/status" 2>/dev/null || true; }
peak_of() { awk '/^VmHWM:/{print $2}' "/proc/$1/status" 2>/dev/null || true; }

echo "diagnostic lines from $port at 115200 baud; plan $plan; $minutes minutes"
printf '%4s %6s %8s %8s %6s %10s %10s %10s\n' run status received missed order rss_start rss_end rss_peak
end=$((SECONDS + minutes * 60))
runs=0 received=0 missed=0 failed=0 first_rss="" last_rss=""
while ((SECONDS < end)); do
  runs=$((runs + 1))
  out=$work/run$runs.txt
  "$build/src/cli/orvalt-cli" --simulate --diag "$port" --extra-log --unit "$work/unit.json" \
    "$plan" >"$out" 2>"$work/run$runs.err" &
  pid=$!
  start_rss="" end_rss="" peak=""
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1 # the first sample once the run has begun, not while it loads
    rss=$(rss_of "$pid")
    if [[ -n $rss ]]; then
      start_rss=${start_rss:-$rss}
      end_rss=$rss
      peak=$(peak_of "$pid")
    fi
  done
  status=0
  wait "$pid" || status=$?
  # ">>Diag: field1 field3 field2": field 2 is the feeder's sequence number. The
  # first echo of a run may be the tail of a line cut at the port's opening.
  read -r got gaps disorder < <(awk '$1 == ">>Diag:" {
      n++; if (n == 1) next
      if (n > 2 && $4 != last + 1) { if ($4 > last) gap += $4 - last - 1; else back++ }
      last = $4 }
    END { print n + 0, gap + 0, back + 0 }' "$out")
  printf '%4d %6d %8d %8d %6d %10s %10s %10s\n' "$runs" "$status" "$got" "$gaps" "$disorder" \
    "${start_rss:-?}" "${end_rss:-?}" "${peak:-?}"
  received=$((received + got))
  missed=$((missed + gaps + disorder))
  ((status == 0)) || failed=$((failed + 1))
  first_rss=${first_rss:-$start_rss}
  last_rss=$end_rss
done

kill -TERM "$feeder_pid"
wait "$feeder_pid" || true
feeder_pid=""
written=$(awk '/^written /{print $2}' "$work/feeder.txt")
echo
sed -n '2,$p' "$work/feeder.txt"
echo "runs $runs (not run to the end: $failed)"
echo "lines written $written, received $received, missed while listening $missed," \
  "outside the runs (port closed, or no run to echo them) $((written - received - missed))"
echo "orvalt-cli resident memory: ${first_rss:-?} KiB at the start of the first run," \
  "${last_rss:-?} KiB at the end of the last"
((failed == 0 && missed == 0))
