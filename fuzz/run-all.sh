#!/usr/bin/env bash
# Runs every fuzz target for a while, each on a scratch copy of its seed corpus
# (the committed corpus never grows), and prints one line per target with the
# inputs it ran and the crashes it found. A target that crashes goes on for the
# rest of its time, so that one run can find more than one fault; every crash
# input is kept under BUILD_DIR/fuzz-artifacts/<target>/ to reproduce it with
#   BUILD_DIR/fuzz/fuzz_<target> BUILD_DIR/fuzz-artifacts/<target>/crash-...
# A target with a dictionary in fuzz/dict/<target>.dict is given its words.
# Exits non-zero when any target crashed, leaked, hung or ran out of memory.
#
# Usage: fuzz/run-all.sh BUILD_DIR SECONDS_EACH [TARGET...]
set -euo pipefail

usage="usage: $0 BUILD_DIR SECONDS_EACH [TARGET...]"
build=${1:?$usage}
seconds=${2:?$usage}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orvalt-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Each target with the largest input it is given: room for a few lines of its
# file or stream; the line framer needs more than its 8192-byte buffer.
declare -A max_len=(
  [test_plan]=4096 [number_text]=128 [diag_fields]=256 [line_framer]=16384
  [reg_text]=4096 [settings_load]=4096 [unit_profile]=1024 [totals_line]=512
  [summary_line]=1024 [limits_file]=2048 [database_url]=512 [trace_block]=4096
)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(test_plan number_text diag_fields line_framer reg_text
                                     settings_load unit_profile totals_line summary_line
                                     limits_file database_url trace_block)

count_findings() {
  find "$1" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) |
    wc -l
}

# Runs one target until its time is up; prints its line; returns 1 if it crashed.
run_target() {
  local name=$1 program="$build/fuzz/fuzz_$1" limit=${max_len[$1]:?unknown target $1}
  local corpus="$work/$name" artifacts="$build/fuzz-artifacts/$name" log="$work/$name.log"
  [ -x "$program" ] || { echo "$name: $program not built" >&2; return 1; }
  mkdir -p "$corpus"
  cp "$here/corpus/$name/"* "$corpus/"
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  local options=(-max_len="$limit" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="$artifacts/")
  [ ! -f "$here/dict/$name.dict" ] || options+=(-dict="$here/dict/$name.dict")
  local executions=0 deadline=$((SECONDS + seconds)) left status runs before
  while left=$((deadline - SECONDS)); [ "$left" -gt 0 ]; do
    before=$(count_findings "$artifacts")
    status=0
    "$program" -max_total_time="$left" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    executions=$((executions + ${runs:-0}))
    [ "$status" -ne 0 ] || break
    if [ "$(count_findings "$artifacts")" -le "$before" ]; then
      # A seed input that crashes does so at every start: no use going on.
      if grep -q 'Test unit written to' "$log"; then
        echo "== $name: a known input crashed again; stopping" >&2
      else
        echo "== $name: exit $status without a finding; last lines:" >&2
        tail -n 30 "$log" >&2
      fi
      break
    fi
    echo "== $name: crash report" >&2
    grep -E 'ERROR|SUMMARY|property failed|runtime error|^ *#[0-9]+ ' "$log" | head -n 40 >&2
  done
  local crashes
  crashes=$(count_findings "$artifacts")
  printf '%-14s executions %12d  crashes %d\n' "$name" "$executions" "$crashes"
  [ "$crashes" -eq 0 ] && [ "${status:-0}" -eq 0 ]
}

failed=0
for target in "${targets[@]}"; do
  run_target "$target" || failed=1
done
exit "$failed"
