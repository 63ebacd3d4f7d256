#!/usr/bin/env bash
# Checks the layering, then builds and runs every test: the default build, the whole suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and a short run of every fuzz target. A plain Release build
# of everything (what users build, at -O3: the core, the window, the tests and
# the benchmarks) must compile without a warning.
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

for preset in default asan tsan; do
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$jobs"
done

echo "== release: the whole build without a warning"
cmake -S . -B build/release-check -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS=-Werror -DCMAKE_CXX_FLAGS=-Werror \
  -DORVALT_BUILD_UI=ON -DORVALT_BUILD_TESTS=ON -DORVALT_BUILD_BENCH=ON >/dev/null
cmake --build build/release-check -j "$jobs"

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz: short runs"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  bash fuzz/run-all.sh build/fuzz "${FUZZ_SECONDS_EACH:-7}"
fi
