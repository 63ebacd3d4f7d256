#!/usr/bin/env bash
# Checks the layering, then builds and runs every test: a Release build of
# everything (the core, the window, the tests and the benchmarks) that must
# compile without a warning, the suite again under AddressSanitizer +
# UndefinedBehaviorSanitizer and under ThreadSanitizer, and a short run of
# every fuzz target. Each stage says when it began.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
echo "== layers"
bash scripts/check-layers.sh
echo "== docs: Markdown as written, not run through a code formatter"
if grep -nE '^#{1,6}[A-Za-z]' README.md docs/*.md; then
  echo "a Markdown heading lost its space: a code formatter ran over it"
  exit 1
fi
export QT_QPA_PLATFORM=offscreen
# The PostgreSQL tests run against a real server here: without one they fail.
export CI="${CI:-true}"
jobs=$(nproc)
started=$SECONDS
stage() { echo "== $1 (at $(((SECONDS - started) / 60)) min)"; }

# The Release build is what users build, at -O3 with no warning allowed; its
# tests are the plain run. The sanitizer runs leave out the long whole-lot
# tests, whose paths the shorter tests take too.
for preset in release asan tsan; do
  stage "$preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  stage "$preset: test"
  ctest --preset "$preset" -j "$jobs"
done

if [ -f fuzz/CMakeLists.txt ]; then
  stage "fuzz: short runs"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  bash fuzz/run-all.sh build/fuzz "${FUZZ_SECONDS_EACH:-7}"
fi
stage "done"
