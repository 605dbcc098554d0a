#!/usr/bin/env bash
# quarnel-cli.exe under Wine against quarnel-target-sim, as an operator
# runs it: one case per call.
#
#   cli_e2e.sh program|port-lost|missing-port|list-ports|supervisor-killed
#
# Environment: QUARNEL_CLI_EXE, QUARNEL_TARGET_SIM, WINEPREFIX, WINE (the
# Wine loader), QUARNEL_WORK_DIR (a directory of this case's own).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${QUARNEL_CLI_EXE:?}" "${QUARNEL_TARGET_SIM:?}" "${WINEPREFIX:?}" "${WINE:?}" "${QUARNEL_WORK_DIR:?}"
export WINEDEBUG=-all
work=$QUARNEL_WORK_DIR
mkdir -p "$work"

fail() {
  echo "FAILED: $*" >&2
  for f in "$work"/cli.out "$work"/cli.err "$work"/sim/sim.log; do
    [ -f "$f" ] && { echo "--- $f" >&2; tail -n 30 "$f" >&2; }
  done
  exit 1
}

# Runs quarnel-cli.exe; its status in $status, its output in cli.out/cli.err
# (without the CR of Windows line ends).
cli() {
  status=0
  "$WINE" "$QUARNEL_CLI_EXE" "$@" >"$work/cli.out.raw" 2>"$work/cli.err.raw" </dev/null || status=$?
  tr -d '\r' <"$work/cli.out.raw" >"$work/cli.out"
  tr -d '\r' <"$work/cli.err.raw" >"$work/cli.err"
}

# Runs quarnel-cli.exe on the simulated port COMn.
cli_on_simulator() {
  local port=$1
  shift
  local sim_options=()
  while [ "$1" != -- ]; do
    sim_options+=("$1")
    shift
  done
  shift
  status=0
  "$here/with_simulated_port.sh" "$QUARNEL_TARGET_SIM" "$port" "$work/sim" "${sim_options[@]}" \
    -- "$WINE" "$QUARNEL_CLI_EXE" --port "$port" "$@" \
    >"$work/cli.out.raw" 2>"$work/cli.err.raw" </dev/null || status=$?
  tr -d '\r' <"$work/cli.out.raw" >"$work/cli.out"
  tr -d '\r' <"$work/cli.err.raw" >"$work/cli.err"
}

# The processes that hold the terminal device $1 open (the Wine server holds
# a port's device for as long as a Windows program has it open).
held_by() {
  find /proc/[0-9]*/fd -maxdepth 1 -lname "$1" 2>/dev/null | cut -d/ -f3 | sort -u | tr '\n' ' '
}

# Waits up to $1 tenths of a second for the command that follows to succeed.
within() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  "$@"
}

both_held() { [ -n "$(held_by "$1")" ] && [ -n "$(held_by "$2")" ]; }
neither_held() { [ -z "$(held_by "$1")$(held_by "$2")" ]; }

# 100 blocks of 24 bytes: the target keeps exactly the image, no filler.
image="$work/firmware.cry"
head -c 2400 /dev/urandom >"$image"

case ${1:-} in
  program)
    cli_on_simulator COM5 --erase-ms 5 -- "$image"
    [ "$status" -eq 0 ] || fail "exit status $status, not 0"
    cmp "$image" "$work/sim/received.bin" || fail "the target received another image"
    grep -qx "Comm Port Closed" "$work/cli.out" || fail "no closing line"
    ;;
  port-lost)
    # The simulator hangs up after the third block: the adapter is unplugged.
    cli_on_simulator COM6 --erase-ms 5 --hang-up-after 3 -- "$image"
    [ "$status" -eq 7 ] || fail "exit status $status, not 7 (port lost)"
    grep -q "COM6 is gone" "$work/cli.err" || fail "the port was not named as gone"
    ;;
  missing-port)
    cli --port COM42 "$image"
    [ "$status" -eq 3 ] || fail "exit status $status, not 3"
    grep -q "COM42" "$work/cli.err" || fail "the missing port was not named"
    ;;
  list-ports)
    # Where Windows lists its serial ports; volatile, like the system's own
    # entries, so it lasts as long as the Wine server.
    "$WINE" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\QuarnelTest0' /t REG_SZ \
      /d COM37 /f >/dev/null 2>&1 || fail "could not register COM37"
    cli --list-ports
    [ "$status" -eq 0 ] || fail "exit status $status, not 0"
    grep -qx "COM37" "$work/cli.out" || fail "COM37 not listed"
    ;;
  supervisor-killed)
    # Two targets that never answer: both children wait in the capture loop.
    status=0
    "$here/with_simulated_port.sh" "$QUARNEL_TARGET_SIM" COM11 "$work/sim11" \
      --power-on-after 600000 -- \
      "$here/with_simulated_port.sh" "$QUARNEL_TARGET_SIM" COM12 "$work/sim12" \
      --power-on-after 600000 -- "$0" supervisor-killed-on-ports || status=$?
    [ "$status" -eq 0 ] || exit "$status"
    ;;
  supervisor-killed-on-ports)
    com11=$(readlink -f "$WINEPREFIX/dosdevices/com11")
    com12=$(readlink -f "$WINEPREFIX/dosdevices/com12")
    # A station's slots wait until their port is there, as Windows lists an
    # adapter that is plugged in: in the serial-port map.
    for n in 11 12; do
      "$WINE" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\QuarnelTest$n" \
        /t REG_SZ /d "COM$n" /f >/dev/null 2>&1 || fail "could not register COM$n"
    done
    "$WINE" "$QUARNEL_CLI_EXE" --station --port COM11 --port COM12 "$image" \
      >"$work/cli.out.raw" 2>"$work/cli.err.raw" </dev/null &
    supervisor=$!
    if ! within 300 both_held "$com11" "$com12"; then
      kill -KILL "$supervisor"
      fail "the children did not open COM11 and COM12"
    fi
    # Killed outright, as TerminateProcess or a crash ends it: nothing of it
    # runs to stop the children.
    kill -KILL "$supervisor"
    wait "$supervisor" 2>/dev/null || true
    # Each child stops as a request to terminate asks and closes its port,
    # sooner than the last resort (5 s) would end it.
    within 40 neither_held "$com11" "$com12" ||
      fail "4 s after the supervisor was killed, COM11 is held by $(held_by "$com11")" \
        "and COM12 by $(held_by "$com12")"
    # The port is free: a new run opens it and waits for its target.
    cli --port COM11 --capture-timeout 1 "$image"
    [ "$status" -eq 6 ] || fail "exit status $status, not 6 (no answer to the capture)"
    ;;
  *)
    echo "usage: $0 program|port-lost|missing-port|list-ports|supervisor-killed" >&2
    exit 2
    ;;
esac
echo "quarnel-cli.exe: $1 passed"
