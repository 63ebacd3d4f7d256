#!/usr/bin/env bash
# Builds the Debian packages a line PC is set up from, orvalt and
# orvalt-dashboard, from a Release build of their own (build/packages, without
# the tests and the benchmarks), and prints each .deb's path and size.
# Usage: make-packages.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/packages}

bash scripts/install-deps.sh --packages

# Debian's hardening (fortified functions, stack protector, read-only
# relocations, bind now) on top of the Release flags, as Debian's own packages
# are built. A build of one commit gives the same packages: the changelog is
# dated by the commit.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# No -g: the packaged programs are stripped anyway.
cflags=$(echo "$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" |
  sed -E 's/(^| )-g( |$)/ /g')
ldflags=$(dpkg-buildflags --get LDFLAGS)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DORVALT_BUILD_UI=ON -DORVALT_BUILD_DASHBOARD=ON \
  -DORVALT_BUILD_TESTS=OFF -DORVALT_BUILD_BENCH=OFF -DORVALT_BUILD_FUZZ=OFF \
  "-DCMAKE_CXX_FLAGS=$cflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)

for deb in "$build"/*.deb; do
  bytes=$(stat -c %s "$deb")
  printf '%s  %s (%s bytes)\n' "$(realpath "$deb")" "$(numfmt --to=iec-i --suffix=B "$bytes")" \
    "$bytes"
done
