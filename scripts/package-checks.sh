#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: its files,
# its control fields, the desktop entry, the AppStream metadata and the manual
# pages; then installs it with apt-get, runs the installed programs from the
# PATH (including a whole programming run of quarnel-cli against
# quarnel-target-sim) and removes it again.
#
# Installing needs root (or sudo). The check refuses to run when a quarnel
# package is installed already, because it removes the package at the end.
#
# Environment: QUARNEL_PACKAGE_FROM, a build tree set up and built with the
# package's flags (scripts/package.sh --configure DIR), which is packaged in
# place of a build of its own.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if dpkg-query -W -f='${Status}' quarnel 2>/dev/null | grep "install ok installed" >/dev/null; then
  echo "FAIL: a quarnel package is installed on this machine; this check installs and then" >&2
  echo "removes the package it builds. Remove it first: ${sudo_cmd[*]} apt-get remove quarnel" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quarnel-package-XXXXXX")
installed=0
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then kill -TERM "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y quarnel >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

package_from=()
[ -z "${QUARNEL_PACKAGE_FROM:-}" ] || package_from=(--from "$QUARNEL_PACKAGE_FROM")
bash scripts/package.sh "${package_from[@]}" | tee "$work/package.log"
package=$(sed -n 's/^Package: //p' "$work/package.log" | tail -n 1)
if [ ! -f "$package" ]; then
  echo "FAIL: scripts/package.sh made no package" >&2
  exit 1
fi
version=$(dpkg-deb -f "$package" Version)
echo "Checking $package (version $version)"

# --- what the package holds ------------------------------------------------
id=org.quarnel.Quarnel
station_id=org.quarnel.Station
expected=(
  /usr/bin/quarnel
  /usr/bin/quarnel-cli
  /usr/bin/quarnel-station
  /usr/bin/quarnel-target-sim
  /usr/share/applications/$id.desktop
  /usr/share/applications/$station_id.desktop
  /usr/share/icons/hicolor/scalable/apps/$station_id.svg
  /usr/share/man/man1/quarnel-station.1.gz
  /usr/share/doc/quarnel/README.md.gz
  /usr/share/doc/quarnel/copyright
  /usr/share/icons/hicolor/scalable/apps/$id.svg
  /usr/share/man/man1/quarnel.1.gz
  /usr/share/man/man1/quarnel-cli.1.gz
  /usr/share/man/man1/quarnel-target-sim.1.gz
  /usr/share/metainfo/$id.metainfo.xml
)
icon_sizes=(16 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/$station_id.png")
done

# Every entry but the directories, without the leading ".".
dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort >"$work/listed"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
missing=$(comm -23 "$work/expected" "$work/listed")
extra=$(comm -13 "$work/expected" "$work/listed")
[ -z "$missing" ] || fail "files missing from the package:"$'\n'"$missing"
[ -z "$extra" ] || fail "files in the package that should not be there:"$'\n'"$extra"
[ -n "$missing$extra" ] || pass "the package holds the ${#expected[@]} expected files"

depends=$(dpkg-deb -f "$package" Depends)
for dependency in libc6 libstdc++6 libqt6widgets6 qt6-qpa-plugins; do
  [[ ", $depends" == *", $dependency"* ]] || fail "Depends lacks $dependency: $depends"
done
dpkg-deb -f "$package" Description | grep dialout >/dev/null || fail "the description does not mention the dialout group"
pass "control fields (Depends: $depends)"

# --- metadata and manual pages, as packaged --------------------------------
tree=$work/tree
dpkg-deb -x "$package" "$tree"
for entry in $id $station_id; do
  if desktop-file-validate "$tree/usr/share/applications/$entry.desktop"; then
    pass "desktop-file-validate $entry.desktop"
  else
    fail "desktop-file-validate rejects $entry.desktop"
  fi
  icon=$(sed -n 's/^Icon=//p' "$tree/usr/share/applications/$entry.desktop")
  [ -f "$tree/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] ||
    fail "$entry.desktop names the icon $icon, which the package does not hold"
done
if appstreamcli validate --no-net "$tree/usr/share/metainfo/$id.metainfo.xml"; then
  pass "appstreamcli validate"
else
  fail "appstreamcli rejects the metainfo"
fi
for size in "${icon_sizes[@]}"; do
  for icon in $id $station_id; do
    file "$tree/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" | grep "PNG image data, $size x $size" >/dev/null ||
      fail "the ${size}x${size} icon $icon is not a $size x $size PNG"
  done
done
for page in "$tree"/usr/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
  if [ -n "$warnings" ]; then
    fail "man -l $name.1 warns:"$'\n'"$warnings"
  elif ! LC_ALL=C.UTF-8 MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null | grep "Quarnel $version" >/dev/null; then
    fail "$name.1 does not show the version $version"
  else
    pass "man -l $name.1 renders without warnings"
  fi
done

# --- installed -------------------------------------------------------------
echo "Installing $package"
installed=1
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "$package"

for program in quarnel quarnel-station quarnel-cli quarnel-target-sim; do
  where=$(command -v "$program" || true)
  [ "$where" = "/usr/bin/$program" ] || fail "$program runs from '${where:-nowhere}', not /usr/bin"
done

export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
if quarnel-cli --list-ports >"$work/ports"; then
  pass "quarnel-cli --list-ports ($(wc -l <"$work/ports") ports)"
else
  fail "quarnel-cli --list-ports failed"
fi
sim_version=$(quarnel-target-sim --version || true)
[ "$sim_version" = "quarnel-target-sim $version" ] &&
  pass "quarnel-target-sim --version: $sim_version" ||
  fail "quarnel-target-sim --version printed '$sim_version', expected 'quarnel-target-sim $version'"
# quarnel-cli learns --version with its new command line; checked once its help names it.
if quarnel-cli --help 2>&1 | grep -- '--version' >/dev/null; then
  cli_version=$(quarnel-cli --version || true)
  [ "$cli_version" = "quarnel-cli $version" ] &&
    pass "quarnel-cli --version: $cli_version" ||
    fail "quarnel-cli --version printed '$cli_version', expected 'quarnel-cli $version'"
else
  echo "note: quarnel-cli --help names no --version yet; not checked"
fi

# The installed programs together: the sample image into a simulated target.
quarnel-target-sim --name package-check --image-out "$work/received.bin" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 50); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
status=0
quarnel-cli --port package-check --capture-timeout 10 samples/demo.cry >"$work/cli.out" 2>"$work/cli.err" || status=$?
kill -TERM "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=
size=$(stat -c %s samples/demo.cry)
if [ "$status" -eq 0 ] && cmp -s -n "$size" samples/demo.cry "$work/received.bin"; then
  pass "quarnel-cli programmed samples/demo.cry into quarnel-target-sim"
else
  fail "programming the simulated target ended with status $status:"$'\n'"$(cat "$work/cli.err" "$work/sim.err")"
fi

station_version=$(quarnel-station --version || true)
[ "$station_version" = "quarnel-station $version" ] &&
  pass "quarnel-station --version: $station_version" ||
  fail "quarnel-station --version printed '$station_version', expected 'quarnel-station $version'"
# The station's window starts, and a station file that is not there opens no
# slot: the window says so and stays until it is closed.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 quarnel-station "$work/no-such-station.toml" >"$work/station.out" 2>&1 || status=$?
[ "$status" -eq 124 ] && pass "quarnel-station starts" ||
  fail "quarnel-station ended with status $status within 5 s:"$'\n'"$(cat "$work/station.out")"

# The window starts (and keeps running until it is stopped) on Qt's offscreen platform.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 quarnel >"$work/window.out" 2>&1 || status=$?
[ "$status" -eq 124 ] && pass "quarnel starts" ||
  fail "quarnel ended with status $status within 5 s:"$'\n'"$(cat "$work/window.out")"

for page in quarnel-cli quarnel-station; do
  if man -w "$page" >/dev/null 2>&1; then
    pass "man finds $page(1)"
  else
    fail "man does not find the installed $page(1)"
  fi
done

# --- removed ---------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y quarnel
installed=0
[ ! -e /usr/bin/quarnel-cli ] && pass "removed again" || fail "/usr/bin/quarnel-cli is still there after the removal"

if [ "$failures" -ne 0 ]; then
  echo "Package checks: $failures failed." >&2
  exit 1
fi
echo "Package checks passed."
