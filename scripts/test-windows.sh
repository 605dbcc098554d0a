#!/usr/bin/env bash
# Cross-builds Quarnel for Windows with MinGW-w64 and runs the Windows test
# programs under Wine, in a Wine prefix of the build's own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh windows

jobs=$(nproc 2>/dev/null || echo 2)
build=${QUARNEL_WINDOWS_BUILD_DIR:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

# One persistent server for the whole run: each of the many short test
# programs then starts in a fraction of a second.
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # already running: keep using it
trap 'wineserver -k 2>/dev/null || true' EXIT

# Start Wine's own services now, away from ctest: they keep the standard
# streams of the program that started them open, and ctest would wait for
# those of a test program forever. Without Mono and Gecko a new prefix asks
# nothing; console programs need neither.
start=$(now)
boot=()
[ -f "$WINEPREFIX/system.reg" ] || boot=(--init)
if ! WINEDLLOVERRIDES="mscoree,mshtml=" wineboot "${boot[@]}" >"$build/wineboot.log" 2>&1; then
  cat "$build/wineboot.log" >&2
  exit 1
fi
prefix_time=$(took "$start")

start=$(now)
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARNEL_WITH_QT=OFF -DQUARNEL_WITH_BENCH=OFF \
  -DQUARNEL_WINEPREFIX="$WINEPREFIX"
cmake --build "$build" -j "$jobs"
build_time=$(took "$start")

start=$(now)
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 </dev/null
test_time=$(took "$start")

echo "Windows tests passed (Wine prefix $prefix_time, build $build_time, tests $test_time)."
