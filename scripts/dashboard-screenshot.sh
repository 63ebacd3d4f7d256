#!/usr/bin/env bash
# Records a believable line on the simulator into a temporary SQLite file,
# serves it with orvalt-dashboard on 127.0.0.1 and renders the line page with
# headless Chromium to docs/dashboard.png (shown in the README):
#   - line2-pc1: fixture F1 ran a steady lot of X100s, F2 one of X200s and
#     has a unit under test when the picture is taken;
#   - line2-pc2: F1 ran examples/lot-drift.json (its decay after power cut
#     slows until units fail and a drift alarm opens), F2 one X200 that fails
#     examples/limits-fail.csv, so the failure reasons have more than one bar;
#   - line2-pc3: F1 lost power in the middle of a run over a minute ago, and
#     shows as not seen (the dashboard runs with --not-seen-minutes 1).
# Each station has a host name of its own where `unshare --uts` may give it
# one (as root); otherwise they all share this machine's. Takes a few
# minutes, one of them waiting for the not-seen fixture. Needs a default build
# (cmake --build --preset default) and Debian's chromium
# (scripts/install-deps.sh installs it).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/default}"
cli="$build/src/cli/orvalt-cli"
dashboard="$build/src/dashboard/orvalt-dashboard"
work="$(mktemp -d)"
db="$work/results.sqlite"
running=()

finish() {
  local status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 5 "$work"/*/err.txt "$work/dashboard.log" 2>/dev/null >&2 || true
  fi
  for pid in "${running[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap finish EXIT

own_host=()
if unshare --uts true 2>/dev/null; then
  own_host=(unshare --uts sh -c 'hostname "$0" && exec "$@"')
fi

# station HOST FIXTURE ORVALT-CLI-OPTIONS...: orvalt-cli on the simulator as
# that station runs it, with default settings and a spool of its own (the
# user's are not touched) and its messages in a file there. It replaces the
# shell it runs in: call it in a subshell, and a background one's $! is the
# station itself.
station() {
  local host="$1" fixture="$2"
  shift 2
  local home="$work/$host-$fixture"
  mkdir -p "$home"
  export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
  local run=("$cli" --simulate --fixture "$fixture" --db "$db" "$@" examples/TestCfg.csv)
  if [ ${#own_host[@]} -gt 0 ]; then
    exec "${own_host[@]}" "$host" "${run[@]}" >/dev/null 2>"$home/err.txt"
  fi
  exec "${run[@]}" >/dev/null 2>"$home/err.txt"
}

# Waits until the run of unit SERIAL has a test in the records.
await_test() {
  for _ in $(seq 300); do
    if "$cli" history --db "$db" 2>/dev/null | grep -q " $1 #1  [1-9]"; then
      return 0
    fi
    sleep 0.1
  done
  echo "no test of $1 reached the records" >&2
  exit 1
}

cd "$root"
# A station switched off in the middle of a run: its run never ends.
(station line2-pc3 F1 --model X100 --serial X1-26-0731 --lot WO-2026-0042 \
  --limits examples/limits-pass.csv) &
cut=$!
running+=("$cut")
await_test X1-26-0731
{ kill -KILL "$cut" && wait "$cut"; } 2>/dev/null || true
running=()
cut_at=$(date +%s)

# The lots, in virtual time. A failed limit ends a lot with status 5.
(station line2-pc1 F1 --fast --lot-profile examples/lot-steady.json --units 46 \
  --serial-prefix X1-26- --model X100 --lot WO-2026-0042 --limits examples/limits-pass.csv)
(station line2-pc1 F2 --fast --lot-profile examples/lot-steady.json --units 28 \
  --serial-prefix X2-26- --model X200 --lot WO-2026-0043 --limits examples/limits-pass.csv)
(station line2-pc2 F1 --fast --lot-profile examples/lot-drift.json --units 170 \
  --serial-prefix X1-26-B --model X100 --lot WO-2026-0044 --limits examples/limits-pass.csv) ||
  [ $? -eq 5 ]
(station line2-pc2 F2 --fast --model X200 --serial X2-26-0129 --lot WO-2026-0043 \
  --limits examples/limits-fail.csv) || [ $? -eq 5 ]

"$dashboard" --db "$db" --listen 127.0.0.1:0 --not-seen-minutes 1 2>"$work/dashboard.log" &
running+=("$!")
port=""
for _ in $(seq 300); do
  port=$(sed -n 's|.* on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$work/dashboard.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/dashboard.log" >&2; exit 1; }

# Over a minute without a word from line2-pc3 makes it not seen.
while [ $(($(date +%s) - cut_at)) -lt 65 ]; do
  sleep 1
done
# A unit under test on line2-pc1 F2 when the picture is taken.
(station line2-pc1 F2 --model X200 --serial X2-26-0029 --lot WO-2026-0043 \
  --limits examples/limits-pass.csv) &
running+=("$!")
await_test X2-26-0029

chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run \
  --user-data-dir="$work/profile" --hide-scrollbars --window-size=1200,1300 \
  --screenshot="$root/docs/dashboard.png" "http://127.0.0.1:$port/" 2>/dev/null
echo "wrote docs/dashboard.png"
