#!/usr/bin/env bash
# The per-block time of quarnel-cli.exe under Wine beside that of the Linux
# quarnel-cli, against the same simulated target at 115200 baud, in one run.
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

blocks=200
sim_options=(--erase-ms 5)

# The time per block of one programming run: from the first data record to
# the last as the simulator saw them arrive (its log has a time stamp per
# record), so what every run costs once (start, capture, erase, reset) does
# not count.
per_block_ms() {
  local side=$1
  head -c $((24 * blocks)) /dev/urandom >"$work/image.cry"
  local command=("$linux_cli" --port winport)
  [ "$side" = linux ] || command=("$wine" "$windows_cli" --port COM9)
  tests/windows_e2e/with_simulated_port.sh "$sim" COM9 "$work/sim" "${sim_options[@]}" -- \
    "${command[@]}" "$work/image.cry" >/dev/null 2>&1 </dev/null ||
    { echo "the $side run failed" >&2; cat "$work/sim/sim.log" >&2; exit 1; }
  cmp -s "$work/image.cry" "$work/sim/received.bin" || { echo "$side: image differs" >&2; exit 1; }
  awk '$2 == "<-" && substr($3, 1, 1) == "*" {
         split($1, t, ":"); s = t[1] * 3600 + t[2] * 60 + t[3]
         if (n == 0) first = s
         last = s; n++
       }
       END { if (n < 2) exit 1; printf "%.2f", (last - first) * 1000 / (n - 1) }' "$work/sim/sim.log"
}

linux_ms=$(per_block_ms linux)
windows_ms=$(per_block_ms windows)
echo "time per block, $blocks blocks at 115200 baud against quarnel-target-sim:"
echo "  quarnel-cli (Linux):           $linux_ms ms"
echo "  quarnel-cli.exe (Wine):        $windows_ms ms"
