#!/usr/bin/env bash
# The main job. Builds Quarnel, then:
#  - with a display ($DISPLAY set): starts a simulated target (port "sim0",
#    115200 baud, switched on about 4 s after the window first talks to it)
#    and the Quarnel window; closing the window stops the simulator;
#  - without a display: programs samples/demo.cry into a simulated target with
#    quarnel-cli and checks that the target received it byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=${QUARNEL_BUILD_DIR:-build}
jobs=$(nproc 2>/dev/null || echo 2)
sim=$build/tools/target-sim/quarnel-target-sim
cli=$build/src/app/quarnel-cli
window=$build/src/app/quarnel

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ -n "${DISPLAY:-}" ]; then
  cmake --build "$build" -j "$jobs" --target quarnel-target-sim quarnel
else
  cmake --build "$build" -j "$jobs" --target quarnel-target-sim quarnel-cli
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quarnel-run-XXXXXX")
sim_pid=
stop_simulator() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=
}
trap 'stop_simulator; rm -rf "$work"' EXIT

# Starts the simulator with the given options and waits for it to publish its port.
start_simulator() {
  "$sim" --name sim0 --image-out "$work/received.bin" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 50); do
    if [ -s "$work/sim.out" ]; then
      echo "Simulated target on $(head -n 1 "$work/sim.out")"
      return 0
    fi
    if ! kill -0 "$sim_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "The simulated target did not start:" >&2
  cat "$work/sim.err" >&2
  exit 1
}

if [ -n "${DISPLAY:-}" ]; then
  start_simulator --baud 115200 --power-on-after 4000
  echo "In the window: Choose Comport, pick sim0, Connect/Program device, choose a .cry image"
  echo "(samples/demo.cry); the simulated unit switches itself on about 4 s later."
  "$window" || true
  stop_simulator
  if [ -s "$work/received.bin" ]; then
    echo "The simulated target received $(stat -c %s "$work/received.bin") bytes (whole 24-byte blocks)."
  fi
  exit 0
fi

# No display: the headless front end programs the sample image.
image=samples/demo.cry
size=$(stat -c %s "$image")
# A private virtual-port directory: a simulator someone else runs as sim0 is left alone.
export XDG_RUNTIME_DIR=$work
start_simulator --baud 115200 --power-on-after 2000
status=0
"$cli" --port sim0 --capture-timeout 30 "$image" || status=$?
stop_simulator

received=$work/received.bin
expected_size=$(( (size + 23) / 24 * 24 ))
if [ "$status" -ne 0 ]; then
  echo "FAIL: quarnel-cli ended with exit status $status (see its messages above)." >&2
  exit 1
fi
if [ ! -f "$received" ]; then
  echo "FAIL: the simulated target saved no image." >&2
  exit 1
fi
got_size=$(stat -c %s "$received")
if [ "$got_size" -ne "$expected_size" ]; then
  echo "FAIL: the target received $got_size bytes; expected $expected_size ($size of image in whole 24-byte blocks)." >&2
  exit 1
fi
if ! cmp -s -n "$size" "$image" "$received"; then
  echo "FAIL: the target received different bytes: $(cmp -n "$size" "$image" "$received" 2>&1 || true)" >&2
  exit 1
fi
filler=$(tail -c +$((size + 1)) "$received" | od -An -v -tx1 | tr -d ' \n')
if [ -n "$(printf '%s' "$filler" | tr -d 0)" ]; then
  echo "FAIL: the filler after the image is not zero: $filler" >&2
  exit 1
fi
echo "PASS: the simulated target received $image byte for byte ($size bytes, $((expected_size - size)) bytes of zero filler)."
