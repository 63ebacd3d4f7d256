#!/usr/bin/env bash
# Checks the layering, then builds and runs every test: the default build, the whole suite again under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under
# ThreadSanitizer, and a short run of every fuzz target. A plain Release build
# of the core (what users build, at -O3) must compile without a warning.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
echo "== layers"
bash scripts/check-layers.sh
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

echo "== release: the core without a warning"
cmake -S . -B build/release-check -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror \
  -DORVALT_BUILD_UI=OFF -DORVALT_BUILD_TESTS=OFF -DORVALT_BUILD_BENCH=OFF >/dev/null
cmake --build build/release-check -j "$jobs"

if [ -f fuzz/CMakeLists.txt ]; then
  echo "== fuzz: short runs"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$jobs"
  bash fuzz/run-all.sh build/fuzz "${FUZZ_SECONDS_EACH:-7}"
fi
