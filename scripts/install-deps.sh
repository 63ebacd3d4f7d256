#!/usr/bin/env bash
# Installs, from Debian 12's packages, whatever the station needs to build and to
# run its tests and is not installed yet. Idempotent; run as root (or with sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev libgl-dev
  libserialport-dev libusb-1.0-0-dev nlohmann-json3-dev libcli11-dev
  libsqlite3-dev libpq-dev libssl-dev zlib1g-dev libcpp-httplib-dev
  postgresql chromium python3-jsonschema libxml2-utils poppler-utils
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  fonts-dejavu-core locales
  xvfb openbox x11-utils
)
if [ "${1:-}" = "--screenshot" ]; then
  packages+=(xauth x11-apps imagemagick)
fi
# The Debian packages (scripts/make-packages.sh): CPack finds the binaries'
# dependencies with dpkg-shlibdeps and tells binaries by file(1).
if [ "${1:-}" = "--packages" ]; then
  packages+=(dpkg-dev file)
fi

# The window's tests check numbers keep their decimal point under a locale that
# writes a decimal comma; that needs one such locale on the machine.
ensure_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  command -v localedef >/dev/null || return 0
  "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
ensure_comma_locale
