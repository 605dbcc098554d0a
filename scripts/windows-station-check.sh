#!/usr/bin/env bash
# Runs quarnel-station.exe under Wine on a virtual display against four
# simulated units of the Linux build behind COM5..COM8: Start clicked, a unit
# ID typed into the scan field for each slot, as a barcode scanner types it.
# Unit C fails a data record; D's adapter comes late. Checks that A, B and D
# received the image byte for byte, that the unit log has the scanned IDs,
# and leaves a screenshot in OUT_DIR.
#
#   scripts/windows-station-check.sh STATION_EXE TARGET_SIM OUT_DIR
#
# Needs Xvfb, xdotool and ImageMagick; quarnel-cli.exe must lie beside the
# station's program. It makes a Wine prefix of its own in OUT_DIR (half a
# minute the first time), with the display driver that the prefix of the
# test programs has not; scripts/test-windows.sh runs it last.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 STATION_EXE TARGET_SIM OUT_DIR" >&2; exit 2; }
exe=$(readlink -f "$1") sim=$(readlink -f "$2")
mkdir -p "$3"
out=$(cd "$3" && pwd)

source "$(dirname "$0")/wine-display.sh"
cleanup() {
  wine_display_end
  for n in 5 6 7 8; do rm -f "${WINEPREFIX:-$out/prefix}/dosdevices/com$n"; done
}
trap cleanup EXIT
wine_display "$out" 1366x768

run="$out/run"
rm -rf "$run" "$out"/*-received.bin "$out/units.log"
mkdir -p "$run"
chmod 700 "$run"
# A simulated unit behind COMn: one unit, a few seconds after the capture
# starts (time to scan).
unit() {
  local name=$1 com=$2
  shift 2
  XDG_RUNTIME_DIR="$run" "$sim" --name "$name" --image-out "$out/$name-received.bin" \
    --erase-ms 10 --next-unit-after 1000 --units 1 "$@" >"$out/$name.out" 2>"$out/$name.log" &
  pids+=($!)
  for _ in $(seq 100); do [ -L "$run/quarnel/ports/$name" ] && break; sleep 0.05; done
  [ -L "$run/quarnel/ports/$name" ] || fail "the simulator $name published no port"
  ln -sfn "$(readlink -f "$run/quarnel/ports/$name")" "$WINEPREFIX/dosdevices/${com,,}"
  # Where Windows lists its serial ports (volatile: lasts for this
  # wineserver); a slot waits for its port until it is listed.
  wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\Serial${com#COM}" /t REG_SZ \
    /d "$com" /f >/dev/null 2>&1
}
wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /va /f >/dev/null 2>&1 || true
step "simulated units on COM5, COM6, COM7 (COM8 comes later)"
unit a COM5 --power-on-after 8000
unit b COM6 --power-on-after 8000
unit c COM7 --power-on-after 8000 --drop-block 3

head -c 2400 /dev/urandom >"$out/unit.cry"
hash=$(sha256sum "$out/unit.cry" | cut -d' ' -f1)
{
  printf 'station = "Line 3 (Wine)"\nimage = "unit.cry"\nimage_sha256 = "%s"\nlog = "units.log"\n' "$hash"
  n=5
  for slot in A B C D; do printf '[[slot]]\nname = "%s"\nport = "COM%d"\n' "$slot" "$n"; n=$((n + 1)); done
} >"$out/station.toml"

step "the window"
wine "$exe" "Z:${out//\//\\}\\station.toml" >"$out/station.log" 2>&1 &
pids+=($!)
wait_for_window '^Quarnel Station' 200
sleep 2
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $WINDOW: \"$(xdotool getwindowname "$window")\", ${WIDTH}x$HEIGHT at $X,$Y"
click() {
  xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1
  sleep 0.4
}
# Start, then the scan field (places as the window lays them out).
click 60 100
click 260 141
for id in SN-W-0001 SN-W-0002 SN-W-0003 SN-W-0004; do
  xdotool type --delay 30 "$id"
  xdotool key Return
done
step "D's adapter comes"
unit d COM8
for _ in $(seq 1200); do
  [ -f "$out/units.log" ] && [ "$(wc -l <"$out/units.log")" -ge 4 ] && break
  sleep 0.1
done
sleep 1
import -window root "$out/station-wine.png"
[ -f "$out/units.log" ] && [ "$(wc -l <"$out/units.log")" -ge 4 ] || fail "fewer than four units were logged"

step "the images received and the IDs logged"
for pid in "${pids[@]:1:4}"; do kill -TERM "$pid" 2>/dev/null || true; done
sleep 1
size=$(stat -c %s "$out/unit.cry")
filler=$(((24 - size % 24) % 24))
{ cat "$out/unit.cry"; head -c "$filler" /dev/zero; } >"$out/expected.bin"
for name in a b d; do
  for _ in $(seq 50); do [ -s "$out/$name-received.bin" ] && break; sleep 0.1; done
  cmp "$out/expected.bin" "$out/$name-received.bin" || fail "unit $name did not receive the image"
done
python3 - "$out/units.log" <<'CHECK' || fail "the log's records do not carry the scanned IDs"
import json, sys
records = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
first = {}
for r in records:
    first.setdefault(r["slot"], r)
want = {"A": ("SN-W-0001", 0), "B": ("SN-W-0002", 0), "C": ("SN-W-0003", None), "D": ("SN-W-0004", 0)}
for slot, (unit_id, status) in want.items():
    r = first[slot]
    assert r["unit_id"] == unit_id, (slot, r["unit_id"])
    assert (r["exit_status"] == 0) == (status == 0), (slot, r["exit_status"], r["outcome"])
    print(slot, r["unit_id"], r["outcome"])
CHECK
echo "screenshot: $out/station-wine.png"
echo "Windows station check passed."
