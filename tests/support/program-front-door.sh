#!/usr/bin/env bash
# What a program answers before it does any work: its version (the About
# box's text), help that ends its last line, and a usage error for an unknown
# option. Usage: program-front-door.sh VERSION-TEXT PROGRAM [TOOLKIT-ARGS...]
set -uo pipefail
expected_version=$1
shift
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

version=$("$@" --version 2>/dev/null) || fail "--version exit status $?"
[ "$version" = "$expected_version" ] || fail "--version printed '$version'"

help_file=$(mktemp)
trap 'rm -f "$help_file"' EXIT
"$@" --help >"$help_file" 2>/dev/null || fail "--help exit status $?"
[ -s "$help_file" ] || fail "--help printed nothing"
[ "$(tail -c 1 "$help_file" | od -An -c | tr -d ' ')" = '\n' ] ||
  fail "--help does not end its last line"

"$@" --no-such-option >/dev/null 2>&1
status=$?
[ "$status" -eq 2 ] || fail "an unknown option gave exit status $status"
exit $((failures > 0))
