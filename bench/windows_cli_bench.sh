#!/usr/bin/env bash
# The per-block time of quarnel-cli.exe under Wine beside that of the Linux
# quarnel-cli, against the same simulated target at 115200 baud, in one run.
# Each program writes a small and a large image; the difference of the two
# run times over the difference in blocks is the time per block, free of what
# every run costs once (start, capture, erase, reset).
#
#   bench/windows_cli_bench.sh [LINUX_BUILD [WINDOWS_BUILD]]
#
# Needs quarnel-cli and quarnel-target-sim of the Linux build and
# quarnel-cli.exe of the Windows build (scripts/test-windows.sh makes both).
set -euo pipefail
cd "$(dirname "$0")/.."
linux=$(cd "${1:-build}" && pwd)
windows=$(cd "${2:-build-windows}" && pwd)
sim=$linux/tools/target-sim/quarnel-target-sim
linux_cli=$linux/src/app/quarnel-cli
windows_cli=$windows/src/app/quarnel-cli.exe
for program in "$sim" "$linux_cli" "$windows_cli"; do
  [ -x "$program" ] || { echo "missing: $program" >&2; exit 1; }
done
export WINEPREFIX=${WINEPREFIX:-$windows/wineprefix} WINEDEBUG=-all
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$wine" ] || wine=$(command -v wine)
wineserver -p 2>/dev/null || true
work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT

small=20 large=220
sim_options=(--erase-ms 5)

# Milliseconds that one programming run of `blocks` blocks takes.
run_ms() {
  local side=$1 blocks=$2
  head -c $((24 * blocks)) /dev/urandom >"$work/image.cry"
  local command=("$linux_cli" --port winport)
  [ "$side" = linux ] || command=("$wine" "$windows_cli" --port COM9)
  tests/windows/with_simulated_port.sh "$sim" COM9 "$work/sim" "${sim_options[@]}" -- \
    bash -c 'start=$(date +%s%N); "$@" >/dev/null 2>&1 </dev/null || exit
             echo $((($(date +%s%N) - start) / 1000000))' _ "${command[@]}" "$work/image.cry" \
    >"$work/ms" || { echo "the $side run failed" >&2; cat "$work/sim/sim.log" >&2; exit 1; }
  cmp -s "$work/image.cry" "$work/sim/received.bin" || { echo "$side: image differs" >&2; exit 1; }
  cat "$work/ms"
}

for side in linux windows; do
  t_small=$(run_ms "$side" "$small")
  t_large=$(run_ms "$side" "$large")
  awk -v side="$side" -v a="$t_small" -v b="$t_large" -v n=$((large - small)) -v s="$small" \
    -v l="$large" 'BEGIN { printf "%-8s %4d blocks %6d ms, %4d blocks %6d ms: %.2f ms per block\n",
                           side, s, a, l, b, (b - a) / n }'
done
