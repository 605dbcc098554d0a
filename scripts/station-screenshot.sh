#!/usr/bin/env bash
# Makes docs/images/station.png, the README's picture of quarnel-station:
# four slots on simulated units, two passed, one failed (a unit that is not
# allowed) and one programming, from the real program on an X server of its
# own (Xvfb). Run it again whenever the window changes:
#   bash scripts/station-screenshot.sh [BUILD-DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
station=$build/src/app/quarnel-station
sim=$build/tools/target-sim/quarnel-target-sim
for program in "$station" "$sim"; do
  [ -x "$program" ] || { echo "no $program: build first (cmake --build $build)" >&2; exit 1; }
done
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: bash scripts/install-deps.sh" >&2; exit 1; }
done
out=docs/images/station.png
mkdir -p "$(dirname "$out")"

work=$(mktemp -d)
sims=()
cleanup() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work

# An image of 100 blocks, pinned by its hash, and a station file for it.
head -c 2400 /dev/urandom >"$work/unit-4.2.cry"
hash=$(sha256sum "$work/unit-4.2.cry" | cut -d' ' -f1)
cat >"$work/line-3.toml" <<TOML
station = "Line 3, bench 2"
image = "unit-4.2.cry"
image_sha256 = "$hash"
target_ids = ["1A2B"]
log = "units.log"
[[slot]]
name = "A"
port = "fixture-a"
[[slot]]
name = "B"
port = "fixture-b"
[[slot]]
name = "C"
port = "fixture-c"
[[slot]]
name = "D"
port = "fixture-d"
TOML

# One unit per slot, powered on a few seconds after the capture starts, so
# that the IDs are scanned first; C's unit is not one of those allowed, D's
# programs slowly.
one_unit=(--erase-ms 10 --power-on-after 3000 --next-unit-after 1000 --units 1)
"$sim" --name fixture-a "${one_unit[@]}" >/dev/null 2>&1 & sims+=($!)
"$sim" --name fixture-b "${one_unit[@]}" >/dev/null 2>&1 & sims+=($!)
"$sim" --name fixture-c "${one_unit[@]}" --id 00C7 >/dev/null 2>&1 & sims+=($!)
"$sim" --name fixture-d "${one_unit[@]}" --program-ms 250 >/dev/null 2>&1 & sims+=($!)
for name in fixture-a fixture-b fixture-c fixture-d; do
  for _ in $(seq 50); do [ -e "$work/quarnel/ports/$name" ] && break; sleep 0.1; done
done

cat >"$work/shoot.sh" <<'SHOT'
set -euo pipefail
"$STATION" "$WORK/line-3.toml" >"$WORK/station.out" 2>&1 &
pid=$!
window=$(xdotool search --sync --name "Quarnel Station" | head -1)
sleep 1
# Start, then the scan field, where the scanner types each ID and Enter
# (places as the window lays them out).
xdotool mousemove --window "$window" 60 100 click 1
sleep 0.5
xdotool mousemove --window "$window" 260 141 click 1
for id in SN-24-0117 SN-24-0118 SN-24-0119 SN-24-0120; do
  xdotool type --delay 20 "$id"
  xdotool key Return
done
# Until A, B and C have their verdicts (D programs on).
for _ in $(seq 120); do
  [ -f "$WORK/units.log" ] && [ "$(wc -l <"$WORK/units.log")" -ge 3 ] && break
  sleep 0.5
done
sleep 2
xdotool mousemove --window "$window" 0 0
import -window "$window" "$OUT"
kill "$pid"
wait "$pid" 2>/dev/null || true
SHOT
STATION=$station WORK=$work OUT=$work/station.png QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1366x768x24" bash "$work/shoot.sh"
[ "$(wc -l <"$work/units.log")" -ge 3 ] || { echo "the units did not end as planned" >&2; exit 1; }
cp "$work/station.png" "$out"
echo "made $out"
