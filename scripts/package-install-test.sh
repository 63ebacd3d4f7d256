#!/usr/bin/env bash
# Installs the packages as a line PC would, into a fresh Debian 12 root without
# development packages, and checks them there: they install with apt-get, the
# programs run (the example plan on the simulator, both --version, the manual
# pages), the station's key is made once and seals the runs, the dashboard's
# unit is installed but not enabled, and remove and purge leave none of their
# files. Then lintian on the .deb files: no error.
# Needs root (chroot, bind mounts). Not part of run-tests.sh.
# Usage: package-install-test.sh [DEB_DIR]   (default build/packages, made by
# scripts/make-packages.sh)
# The fresh root is made once with fresh-debian.sh (FRESH_DEBIAN names it) in
# ORVALT_FRESH_ROOT and copied for each run, so that every run starts clean.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
debs=$(realpath "${1:-build/packages}")
fresh_debian=${FRESH_DEBIAN:-/work/shared/tools/fresh-debian.sh}
base=${ORVALT_FRESH_ROOT:-/var/tmp/orvalt-fresh-debian}

failures=0
check() {
  local what=$1
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}

shopt -s nullglob
station_debs=("$debs"/orvalt_*.deb)
dashboard_debs=("$debs"/orvalt-dashboard_*.deb)
shopt -u nullglob
if [ ${#station_debs[@]} -ne 1 ] || [ ${#dashboard_debs[@]} -ne 1 ]; then
  echo "Need one orvalt_*.deb and one orvalt-dashboard_*.deb in $debs: run scripts/make-packages.sh"
  exit 2
fi
for tool in debootstrap lintian; do
  command -v "$tool" >/dev/null ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$tool" >/dev/null
done

bash "$fresh_debian" "$base" >/dev/null
root=$(mktemp -d "${TMPDIR:-/var/tmp}/orvalt-install-test.XXXXXX")
unmount() {
  for m in dev/pts dev sys proc; do umount "$root/$m" 2>/dev/null || true; done
}
trap 'unmount; rm -rf "$root"' EXIT
cp -a "$base/." "$root/"
for m in proc sys dev dev/pts; do mount --bind "/$m" "$root/$m"; done
mkdir -p "$root/tmp/debs"
cp "${station_debs[0]}" "${dashboard_debs[0]}" "$root/tmp/debs/"

# A command as root inside the root, in the folder that holds the packages.
in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash -eo pipefail -c "cd /tmp/debs && $1"
}
quiet_in_root() {
  in_root "$1" >/dev/null 2>&1
}
no_dev_packages() {
  ! in_root "dpkg-query -W -f='\${Package}\n' | grep -E -- '-dev(:|$)'"
}
# Every path of the packages' lists that is still there, but the root, those
# in /tmp/allowed and folders that other packages still hold.
leftovers() {
  in_root "while read -r path; do
      [ \"\$path\" = /. ] && continue
      [ -e \"\$path\" ] || [ -L \"\$path\" ] || continue
      grep -qxF \"\$path\" /tmp/allowed && continue
      [ -d \"\$path\" ] && [ ! -L \"\$path\" ] && dpkg-query -S \"\$path\" >/dev/null 2>&1 && continue
      echo \"\$path\"
    done < /tmp/package-files"
}
# Nothing of the packages is left but the paths given (the conffile that
# remove keeps).
nothing_left() {
  local left
  printf '%s\n' "$@" | in_root "cat > /tmp/allowed"
  left=$(leftovers)
  [ -n "$left" ] && sed 's/^/  still there: /' <<<"$left"
  [ -z "$left" ]
}

echo "== install into a fresh Debian 12 root"
quiet_in_root "apt-get update -qq && apt-get install -y -qq --no-install-recommends man-db sqlite3"
check "the fresh root holds no development package" no_dev_packages
check "apt-get install ./orvalt_*.deb ./orvalt-dashboard_*.deb" \
  quiet_in_root "apt-get install -y ./orvalt_*.deb ./orvalt-dashboard_*.deb"
check "nor does it once they are installed" no_dev_packages

echo "== the programs"
version=$(in_root "dpkg-query -W -f='\${Version}' orvalt")
check "orvalt-cli runs the example plan on the simulator" \
  quiet_in_root "orvalt-cli --simulate --fast /usr/share/doc/orvalt/examples/TestCfg.csv"
check "orvalt-cli judges the slow example unit a failure (exit status 5)" \
  quiet_in_root "cd /usr/share/doc/orvalt/examples && status=0 && orvalt-cli --simulate --fast \
    --unit unit-slow-off.json --limits limits-pass.csv TestCfg.csv || status=\$?; [ \$status = 5 ]"
for program in orvalt orvalt-cli orvalt-dashboard; do
  check "$program --version is the package's version $version" \
    [ "$(in_root "QT_QPA_PLATFORM=offscreen $program --version")" = "Orvalt, Version $version" ]
  check "man $program" quiet_in_root "man -P cat $program | grep -q '^SYNOPSIS'"
done
check "the bash completion registers orvalt-cli" \
  quiet_in_root "source /usr/share/bash-completion/completions/orvalt-cli && complete -p orvalt-cli"
check "the udev rule is in /usr/lib/udev/rules.d" \
  quiet_in_root "test -f /usr/lib/udev/rules.d/70-orvalt-labjack.rules"

echo "== the station's key"
check "the package made the station key, readable by root and the group orvalt only" \
  quiet_in_root "[ \$(stat -c %a:%U:%G /etc/orvalt/station-key.pem) = 640:root:orvalt ] &&
    [ \$(stat -c %a /etc/orvalt/station-key.pub) = 644 ] && [ ! -e /etc/orvalt/station-key.pem.lock ]"
key_before=$(in_root "sha256sum /etc/orvalt/station-key.pub")
check "a run recorded here is sealed with it and verifies" \
  quiet_in_root "orvalt-cli --simulate --fast /usr/share/doc/orvalt/examples/TestCfg.csv &&
    orvalt-cli verify | grep -q '1 sealed and unchanged'"
check "a run changed by hand is named, exit status 10" \
  quiet_in_root "sqlite3 /root/.local/share/Kestrune/Orvalt/results.sqlite \"UPDATE runs SET model = 'X'\"
    status=0; orvalt-cli verify || status=\$?; [ \$status = 10 ]"
check "installed again, the station keeps its key" \
  quiet_in_root "apt-get install -y --reinstall ./orvalt_*.deb &&
    [ \"\$(sha256sum /etc/orvalt/station-key.pub)\" = '$key_before' ]"

echo "== the dashboard's service"
check "the unit is installed" \
  quiet_in_root "test -f /usr/lib/systemd/system/orvalt-dashboard.service"
check "and not enabled: no link to it under /etc/systemd/system" \
  [ -z "$(in_root "find /etc/systemd/system -name 'orvalt-dashboard*' 2>/dev/null || true")" ]
check "no maintainer script but the station key's" \
  [ "$(in_root "ls /var/lib/dpkg/info/ | grep -E '^orvalt.*\.(pre|post)(inst|rm)$' || true")" = \
    "$(printf 'orvalt.postinst\norvalt.postrm')" ]
check "/etc/default/orvalt-dashboard is a conffile, readable by root only" \
  quiet_in_root "dpkg-query -W -f='\${Conffiles}' orvalt-dashboard |
    grep -q '^ /etc/default/orvalt-dashboard ' &&
    [ \$(stat -c %a:%U /etc/default/orvalt-dashboard) = 600:root ]"

echo "== remove and purge"
in_root "dpkg -L orvalt orvalt-dashboard | sort -u > /tmp/package-files"
check "apt-get remove" quiet_in_root "apt-get remove -y orvalt orvalt-dashboard"
check "leaves only the conffile" nothing_left /etc/default/orvalt-dashboard
check "and the station's key" quiet_in_root "test -f /etc/orvalt/station-key.pem"
check "apt-get purge orvalt orvalt-dashboard" \
  quiet_in_root "apt-get purge -y orvalt orvalt-dashboard"
check "leaves nothing" nothing_left
check "not even the station's key" quiet_in_root "test ! -e /etc/orvalt"
check "dpkg holds neither package, not even as config-files" \
  quiet_in_root "! dpkg-query -W -f='\${db:Status-Abbrev}\n' orvalt orvalt-dashboard 2>/dev/null |
    grep -qv '^[up]n'"

echo "== lintian"
lintian_tags=$(lintian --tag-display-limit 0 "${station_debs[0]}" "${dashboard_debs[0]}" || true)
echo "${lintian_tags:-(no tags)}"
check "lintian: no error" [ -z "$(grep '^E:' <<<"$lintian_tags" || true)" ]

echo "Package sizes:"
for deb in "${station_debs[0]}" "${dashboard_debs[0]}"; do
  echo "  $(basename "$deb")  $(stat -c %s "$deb") bytes"
done
echo "$((SECONDS - started)) s; $failures failed"
[ "$failures" -eq 0 ]
