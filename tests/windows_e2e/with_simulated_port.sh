#!/usr/bin/env bash
# Runs a command while quarnel-target-sim (a Linux program) serves the Wine
# port COMn: the simulator publishes a pseudo-terminal, and the link
# $WINEPREFIX/dosdevices/comn makes it that port for Windows programs.
#
#   with_simulated_port.sh SIMULATOR COMn DIR [SIMULATOR OPTION...] -- COMMAND...
#
# The simulator keeps what it received in DIR/received.bin (written when it
# stops) and logs to DIR/sim.log. Exits with the command's status.
set -euo pipefail
sim=$1 port=$2 dir=$3
shift 3
sim_args=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  sim_args+=("$1")
  shift
done
[ $# -gt 1 ] || { echo "usage: $0 SIMULATOR COMn DIR [OPTION...] -- COMMAND..." >&2; exit 2; }
shift
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix}"

rm -rf "$dir"
mkdir -p "$dir/run" "$WINEPREFIX/dosdevices"
chmod 700 "$dir/run"
# The simulator's virtual-port directory, private to this run.
export XDG_RUNTIME_DIR="$dir/run"
# What it prints (its port's name) stays out of the command's output.
"$sim" --name winport --image-out "$dir/received.bin" --verbose "${sim_args[@]}" \
  >"$dir/sim.out" 2>"$dir/sim.log" &
sim_pid=$!
device="$WINEPREFIX/dosdevices/${port,,}"
trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; rm -f "$device"' EXIT

published="$dir/run/quarnel/ports/winport"
for _ in $(seq 200); do
  [ -L "$published" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$dir/sim.log" >&2; exit 1; }
  sleep 0.05
done
[ -L "$published" ] || { echo "the simulator published no port" >&2; exit 1; }
ln -sfn "$(readlink -f "$published")" "$device"

status=0
"$@" || status=$?
# Stopped, it writes the image it received.
kill -TERM "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
exit "$status"
