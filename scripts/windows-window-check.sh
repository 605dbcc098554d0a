#!/usr/bin/env bash
# Runs the whole guided sequence of the Windows window program under Wine on a
# virtual display, by clicks, against the simulated target of the Linux
# build: Choose Comport, the port, Connect/Program device, the file dialog,
# and the unit switching on. Checks the caption and the client size of the
# window, that F12 switches the layout, and that the target received the
# chosen image byte for byte. Screenshots of the guided layout, the full
# layout after the capture and the end of the run go to OUT_DIR.
#
#   scripts/windows-window-check.sh QUARNEL_EXE TARGET_SIM IMAGE OUT_DIR
#
# Needs Xvfb, xdotool and ImageMagick. It makes a Wine prefix of its own in
# OUT_DIR (a minute the first time) and depends on the timing of a real
# display, so it is not part of scripts/test.sh.
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 QUARNEL_EXE TARGET_SIM IMAGE OUT_DIR" >&2; exit 2; }
exe=$(readlink -f "$1") sim=$(readlink -f "$2") image=$(readlink -f "$3")
mkdir -p "$4"
out=$(cd "$4" && pwd)
port=COM5

source "$(dirname "$0")/wine-display.sh"
cleanup() {
  wine_display_end
  rm -f "${WINEPREFIX:-$out/prefix}/dosdevices/${port,,}"
}
trap cleanup EXIT
wine_display "$out" 1024x768

step "simulated target on $port"
run="$out/run"
rm -rf "$run" "$out/received.bin"
mkdir -p "$run"
chmod 700 "$run"
XDG_RUNTIME_DIR="$run" "$sim" --name winport --image-out "$out/received.bin" \
  --power-on-after 4000 --erase-ms 300 --verbose >"$out/sim.out" 2>"$out/sim.log" &
pids+=($!)
for _ in $(seq 100); do [ -L "$run/quarnel/ports/winport" ] && break; sleep 0.05; done
[ -L "$run/quarnel/ports/winport" ] || fail "the simulator published no port"
ln -sfn "$(readlink -f "$run/quarnel/ports/winport")" "$WINEPREFIX/dosdevices/${port,,}"
# The only port where the window looks for ports (volatile: lasts for this
# wineserver), so it is the first entry of the list.
wine reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /va /f >/dev/null 2>&1 || true
wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Serial4' /t REG_SZ /d "$port" /f \
  >/dev/null 2>&1

step "the window"
wine "$exe" >"$out/quarnel.log" 2>&1 &
pids+=($!)
wait_for_window '^Quarnel  V1\.31$' 100
sleep 1
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "window $WINDOW: caption \"$(xdotool getwindowname "$window")\", client ${WIDTH}x$HEIGHT at $X,$Y"
[ "$WIDTH" = 601 ] && [ "$HEIGHT" = 306 ] || fail "client area ${WIDTH}x$HEIGHT, not 601x306"
shot() { sleep "${2:-0.5}"; import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X - 20))+$((Y - 20))" "$out/$1.png"; }
# A click at a place of the window's client area.
click() {
  xdotool mousemove "$((X + $1))" "$((Y + $2))" click 1
  sleep 0.4
}
key() { xdotool key --window "$window" "$1"; }

shot 1-guided
step "F12 switches to the full layout and back"
key F12
shot 2-full-at-start
key F12
shot 3-guided-again
cmp -s "$out/1-guided.png" "$out/2-full-at-start.png" && fail "F12 changed nothing"

# Places in the client area, from the window definition (guided layout):
# Panel1 at 8,3; Panel_user at 8,6 inside it; Choose Comport at 30,40 and
# Connect/Program device at 30,80, both 233 x 25; the port list beside Choose
# Comport, 10 pixels to its right.
step "Choose Comport, then the port"
click $((8 + 8 + 30 + 116)) $((3 + 6 + 40 + 12))
shot 4-port-list
click $((8 + 8 + 273 + 30)) $((3 + 6 + 40 + 21 + 8))
shot 5-port-chosen

step "Connect/Program device, then the file in the dialog"
click $((8 + 8 + 30 + 116)) $((3 + 6 + 80 + 12))
dialog=
for _ in $(seq 100); do
  dialog=$(xdotool search --name '^Open$' 2>/dev/null | head -1) && [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "no file dialog"
sleep 1
import -window root "$out/6-file-dialog.png"
xdotool type --delay 20 "Z:${image//\//\\}"
xdotool key Return
sleep 1

step "the full layout while the unit switches on and is captured"
key F12
for _ in $(seq 200); do grep -q "target powered on" "$out/sim.log" && break; sleep 0.1; done
grep -q "target powered on" "$out/sim.log" || fail "the simulated unit was never switched on"
shot 7-full-after-capture 3

step "back to the guided layout until the run ends"
key F12
for _ in $(seq 200); do grep -q '<- \*' "$out/sim.log" && break; sleep 0.1; done
shot 8-programming 2
for _ in $(seq 600); do [ -s "$out/received.bin" ] && break; sleep 0.1; done
[ -s "$out/received.bin" ] || fail "the run did not end with a reset"
shot 9-end-of-run 4

step "the image the target received"
# A short last block is filled up with zeros to 24 bytes.
size=$(stat -c %s "$image")
filler=$(((24 - size % 24) % 24))
{ cat "$image"; head -c "$filler" /dev/zero; } >"$out/expected.bin"
cmp "$out/expected.bin" "$out/received.bin" || fail "the received image differs from $image"
echo "received $(stat -c %s "$out/received.bin") bytes: $image and $filler bytes of filler"

step "closing the window ends the program"
key alt+F4
for _ in $(seq 50); do xdotool search --name '^Quarnel  V1\.31$' >/dev/null 2>&1 || break; sleep 0.1; done
xdotool search --name '^Quarnel  V1\.31$' >/dev/null 2>&1 && fail "the window is still open"
echo "guided run by clicks: passed; screenshots in $out"
