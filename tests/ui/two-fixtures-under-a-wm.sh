#!/usr/bin/env bash
# Two fixtures' windows as a line PC opens them: separate processes of the
# window on the simulator, under Xvfb at 1920x1080 with openbox placing
# them, each pressing Open on the port it offers. Then a runner for a third
# fixture tries the first one's port. Checks, from the window manager's
# frames (xwininfo) and what each fixture tells the others:
#   - each window's frame lies on the screen and covers no other's verdict;
#   - each opened a port of its own, and the two ports differ;
#   - the runner is told "PORT is held by fixture Bay 1".
# Skips when Xvfb, openbox, xwininfo or xprop is missing, unless CI=true.
# Usage: two-fixtures-under-a-wm.sh ORVALT ORVALT-CLI
set -uo pipefail
window=$1 cli=$2
for tool in Xvfb openbox xwininfo xprop; do
  if ! command -v "$tool" >/dev/null; then
    [ "${CI:-}" = true ] && { echo "FAIL: $tool is not installed"; exit 1; }
    echo "SKIP: $tool is not installed"; exit 77
  fi
done

work=$(mktemp -d)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work
mkdir -p "$XDG_CONFIG_HOME"
unset QT_QPA_PLATFORM

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

claims=$XDG_CONFIG_HOME/Kestrune/Orvalt.fixtures
# claim FIXTURE WORD: what that fixture's claim says after WORD.
claim() {
  local file
  file=$(grep -lx "fixture $1" "$claims"/*.claim 2>/dev/null | head -n1)
  [ -n "$file" ] && sed -n "s/^$2 //p" "$file"
}

for bay in "Bay 1" "Bay 2"; do
  "$window" --simulate --fixture "$bay" --open-diag >"$work/$bay.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -n "$(claim "$bay" verdict)" ] && [ -n "$(claim "$bay" holds)" ] && break; sleep 0.1; done
done

# frame NAME: "x y width height" of the window with the frame the manager
# drew around it (_NET_FRAME_EXTENTS: left, right, top, bottom).
frame() {
  local client extents
  client=$(xwininfo -name "Orvalt - $1" 2>/dev/null | awk '
    /Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /Width:/ {w=$NF} /Height:/ {h=$NF} END {if (w) print x, y, w, h}')
  extents=$(xprop -name "Orvalt - $1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
  [ -n "$client" ] || return 0
  read -r x y w h <<<"$client"
  read -r l r t b <<<"${extents:-0 0 0 0}"
  echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
}
overlaps() {  # two "x y w h" rectangles share a pixel
  read -r ax ay aw ah <<<"$1"
  read -r bx by bw bh <<<"$2"
  [ "$ax" -lt $((bx + bw)) ] && [ "$bx" -lt $((ax + aw)) ] &&
    [ "$ay" -lt $((by + bh)) ] && [ "$by" -lt $((ay + ah)) ]
}

frame1=$(frame "Bay 1") frame2=$(frame "Bay 2")
verdict1=$(claim "Bay 1" verdict) verdict2=$(claim "Bay 2" verdict)
port1=$(claim "Bay 1" holds) port2=$(claim "Bay 2" holds)
echo "Bay 1: frame $frame1, verdict $verdict1, port $port1"
echo "Bay 2: frame $frame2, verdict $verdict2, port $port2"
[ -n "$frame1" ] && [ -n "$frame2" ] || fail "a window did not show"
[ -n "$verdict1" ] && [ -n "$verdict2" ] || fail "a window did not tell where its verdict is"
for f in "$frame1" "$frame2"; do
  read -r x y w h <<<"$f"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le 1920 ] && [ $((y + h)) -le 1080 ] ||
    fail "frame $f is not all on the 1920x1080 screen"
done
overlaps "$frame2" "$verdict1" && fail "Bay 2's window covers Bay 1's verdict"
overlaps "$frame1" "$verdict2" && fail "Bay 1's window covers Bay 2's verdict"
[ -n "$port1" ] && [ -n "$port2" ] || fail "a fixture did not open its port"
[ "$port1" != "$port2" ] || fail "both fixtures hold $port1"
grep -H . "$work"/Bay*.log && fail "a window said something on standard error"

if [ -n "$port1" ]; then
  printf 'h\r\nh\r\nQuick,0,0.1,0.1,1.0,5000,2\r\n' >"$work/plan.csv"
  told=$("$cli" --simulate --fast --fixture "Bay 3" --diag "$port1" "$work/plan.csv" 2>&1)
  expected="Comm port open failed
$port1 is held by fixture Bay 1"
  [ "$told" = "$expected" ] || fail "the runner said: $told"
fi

[ "$failures" -eq 0 ] && echo "PASS"
exit $((failures > 0))
