#!/usr/bin/env bash
# What the station's window costs: the same station file (8 slots, one 16 KiB
# unit each on simulators that pace the line at 115200 baud) run once by
# quarnel-cli --recipe --station and once by quarnel-station on an X server of
# its own (Xvfb, Start clicked with xdotool). Reports each run's mean and worst
# unit time from the unit log, their ratio (goal: at most 1.01), and the
# window process's own CPU (its children not counted) as a share of one core
# (goal: under 1 %). Not run by ctest: about a minute.
#
#   bash bench/station_window_bench.sh [BUILD-DIR] [SLOTS] [IMAGE-BYTES]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
slots=${2:-8}
size=${3:-16384}
sim=$build/tools/target-sim/quarnel-target-sim
cli=$build/src/app/quarnel-cli
station=$build/src/app/quarnel-station
work=$(mktemp -d)
sims=()
stop_sims() {
  for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${sims[@]}"; do wait "$pid" 2>/dev/null || true; done
  sims=()
}
trap 'stop_sims; rm -rf "$work"' EXIT
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work
head -c "$size" /dev/urandom >"$work/unit.cry"
hash=$(sha256sum "$work/unit.cry" | cut -d' ' -f1)

# A round: fresh simulators (one unit each), a fresh log.
prepare() {
  local log=$1
  {
    printf 'station = "bench"\nimage = "unit.cry"\nimage_sha256 = "%s"\n' "$hash"
    printf 'log = "%s"\nunits = %d\n' "$log" "$slots"
    for i in $(seq 0 $((slots - 1))); do printf '[[slot]]\nname = "S%d"\nport = "bench%d"\n' "$i" "$i"; done
  } >"$work/station.toml"
  for i in $(seq 0 $((slots - 1))); do
    "$sim" --name "bench$i" --baud 115200 --program-ms 2 --next-unit-after 1000 --units 1 \
      >/dev/null 2>&1 &
    sims+=($!)
  done
  for i in $(seq 0 $((slots - 1))); do
    for _ in $(seq 50); do [ -e "$work/quarnel/ports/bench$i" ] && break; sleep 0.1; done
  done
}
# Mean and worst duration_s of a log's records, and their count.
unit_times() {
  python3 -c '
import json, sys
d = [json.loads(l)["duration_s"] for l in open(sys.argv[1]) if l.strip()]
print(len(d), sum(d) / len(d), max(d))' "$1"
}

echo "quarnel-cli, $slots slots ..."
prepare "$work/cli.log"
"$cli" --recipe "$work/station.toml" --station >/dev/null 2>&1 &
cli_pid=$!
cli_started=$(date +%s.%N)
# Its own CPU (not its children's), read until it ends.
cli_ticks=0
while stat=$(cat "/proc/$cli_pid/stat" 2>/dev/null); do
  cli_ticks=$(awk '{ print $14 + $15 }' <<<"$stat")
  cli_ended=$(date +%s.%N)
  sleep 0.2
done
wait "$cli_pid" || true
stop_sims
read -r cli_n cli_mean cli_worst < <(unit_times "$work/cli.log")

echo "quarnel-station, $slots slots ..."
prepare "$work/window.log"
cat >"$work/run.sh" <<'RUN'
set -euo pipefail
"$STATION" "$WORK/station.toml" >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --name "Quarnel Station" | head -1)
sleep 1
ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
before=$(ticks)
started=$(date +%s.%N)
xdotool mousemove --window "$window" 60 100 click 1
for _ in $(seq 4500); do
  [ -f "$WORK/window.log" ] && [ "$(wc -l <"$WORK/window.log")" -ge "$SLOTS" ] && break
  sleep 0.2
done
after=$(ticks)
ended=$(date +%s.%N)
echo "$before $after $started $ended $(getconf CLK_TCK)" >"$WORK/cpu"
kill "$pid"
wait "$pid" 2>/dev/null || true
RUN
STATION=$station WORK=$work SLOTS=$slots QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1366x768x24" bash "$work/run.sh"
stop_sims
read -r win_n win_mean win_worst < <(unit_times "$work/window.log")
read -r before after started ended hz <"$work/cpu"

python3 - "$cli_n" "$cli_mean" "$cli_worst" "$win_n" "$win_mean" "$win_worst" \
  "$before" "$after" "$started" "$ended" "$hz" "$slots" "$cli_ticks" "$cli_started" "$cli_ended" <<'REPORT'
import sys
cn, cm, cw, wn, wm, ww, b, a, s, e, hz, slots, ct, cs, ce = sys.argv[1:]
cm, cw, wm, ww = map(float, (cm, cw, wm, ww))
cpu = (float(a) - float(b)) / float(hz) / (float(e) - float(s)) * 100
cli_cpu = float(ct) / float(hz) / (float(ce) - float(cs)) * 100
print(f"quarnel-cli's own CPU (the supervisor and its readers): {cli_cpu:.2f} % of one core")
ratio = wm / cm
print(f"{'':16}{'units':>6}{'mean s':>9}{'worst s':>9}")
print(f"{'quarnel-cli':16}{cn:>6}{cm:>9.2f}{cw:>9.2f}")
print(f"{'quarnel-station':16}{wn:>6}{wm:>9.2f}{ww:>9.2f}")
print(f"unit time, window / command line: {ratio:.4f} (goal: at most 1.01)")
print(f"the window's own CPU at {slots} slots: {cpu:.2f} % of one core (goal: under 1 %)")
ok = ratio <= 1.01 and cpu < 1.0 and int(cn) == int(slots) and int(wn) == int(slots)
print("goals:", "met" if ok else "NOT met")
sys.exit(0 if ok else 1)
REPORT
