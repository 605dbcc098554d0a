#!/usr/bin/env bash
# Cross-builds Quarnel for Windows with MinGW-w64 and runs the Windows test
# programs under Wine, in a Wine prefix of the build's own.
#
# The simulated target of the Linux build is the target of the Windows
# programs: the end-to-end tests run quarnel-cli.exe against it through a COM
# port that Wine maps to its pseudo-terminal. The serial device's contract
# cases run the same way against serial-peer-server of the Linux build, the
# far end of their lines. Then the Windows archive and the installer are
# made and checked (scripts/msi-checks.sh), and the station's window is run
# on a virtual display against four simulated units
# (scripts/windows-station-check.sh).
#
# Environment: QUARNEL_WINDOWS_BUILD_DIR (build directory, default
# build-windows), QUARNEL_BUILD_DIR (the Linux build that has or gets the
# simulator, default build), QUARNEL_LINUX_TOOLS_BUILT (1: the caller has
# built the simulator and serial-peer-server there and may still be building
# the rest of that tree, which this script then leaves alone), QUARNEL_JOBS
# (parallel jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stages.sh

bash scripts/install-deps.sh windows

jobs=${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}
build=${QUARNEL_WINDOWS_BUILD_DIR:-build-windows}
mkdir -p "$build"
build=$(cd "$build" && pwd)

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f s", b - a }'; }
start=$(now)

# One persistent server for the whole run: each of the many short test
# programs then starts in a fraction of a second.
mkdir -p "$WINEPREFIX"
wineserver -p 2>/dev/null || true  # already running: keep using it
boot_pid=
trap '[ -z "$boot_pid" ] || kill "$boot_pid" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
trap 'exit 143' TERM

# Start Wine's own services now, away from ctest: they keep the standard
# streams of the program that started them open, and ctest would wait for
# those of a test program forever. Without Mono and Gecko a new prefix asks
# nothing; console programs need neither. A new prefix takes a while to make:
# that happens while the programs build.
boot=()
[ -f "$WINEPREFIX/system.reg" ] || boot=(--init)
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot "${boot[@]}" >"$build/wineboot.log" 2>&1 &
boot_pid=$!

# The Linux simulator, and the far end of the serial device's cases
# (scripts/test.sh has built them already).
linux_build=${QUARNEL_BUILD_DIR:-build}
if [ "${QUARNEL_LINUX_TOOLS_BUILT:-}" != 1 ]; then
  if [ ! -f "$linux_build/build.ninja" ]; then
    bash scripts/install-deps.sh
    cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  fi
  cmake --build "$linux_build" --target quarnel-target-sim serial-peer-server -j "$jobs"
fi
target_sim=$(cd "$linux_build" && pwd)/tools/target-sim/quarnel-target-sim
serial_peer=$(cd "$linux_build" && pwd)/tests/serial-peer-server
for tool in "$target_sim" "$serial_peer"; do
  [ -x "$tool" ] || { echo "$0: $tool is not built" >&2; exit 1; }
done

# Built as users get it, though with the level of optimisation that the
# Linux build is checked with (GCC 12 warns falsely about string code at
# -O3) and without debug information, which takes a third of the time; the
# test programs' own code without optimisation; the files of each library
# compiled a few at a time (a unity build).
stage_begin "Windows build"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DQUARNEL_TEST_CODE_FLAGS=-O0 -DCMAKE_UNITY_BUILD=ON \
  -DQUARNEL_WINEPREFIX="$WINEPREFIX" -DQUARNEL_TARGET_SIM="$target_sim" \
  -DQUARNEL_SERIAL_PEER_SERVER="$serial_peer"
# Below the tests in priority: those of the other lanes go first.
nice -n 10 cmake --build "$build" -j "$jobs"
built=$(now)
stage_end

stage_begin "waiting for the Wine prefix"

if ! wait "$boot_pid"; then
  boot_pid=
  cat "$build/wineboot.log" >&2
  exit 1
fi
boot_pid=
# The window tests make real windows but need no screen: Wine's null display
# driver takes them, whether or not this machine has a display.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
booted=$(now)
stage_end

stage_begin "Windows tests"
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300 </dev/null
tested=$(now)
stage_end

stage_begin "Windows archive"

# The archive for Windows users: the programs, the README and the license.
rm -rf "$build/package"
(cd "$build" && cpack -G ZIP -B "$build/package" >/dev/null)
archive=$(ls "$build"/package/quarnel-*-win64.zip)
listing=$(unzip -l "$archive")
expected=(quarnel-cli.exe README.md LICENSE.txt)
[ ! -f "$build/src/app/quarnel.exe" ] || expected+=(quarnel.exe)
[ ! -f "$build/src/app/quarnel-station.exe" ] || expected+=(quarnel-station.exe)
for file in "${expected[@]}"; do
  grep -q "/$file\$" <<<"$listing" || { echo "$archive lacks $file" >&2; exit 1; }
done
echo "Windows archive: $archive"
stage_end

# The installer: built, installed, upgraded and removed in this prefix.
stage_begin "Windows installer checks"
bash scripts/msi-checks.sh "$build" "$target_sim"
stage_end

# The station's window on a virtual display with four simulated units behind
# COM ports, Start clicked and the unit IDs typed as a scanner types them.
stage_begin "Windows station window"
bash scripts/windows-station-check.sh "$build/src/app/quarnel-station.exe" "$target_sim" \
  "$build/station-check"
stage_end

echo "Windows tests passed in $(took "$start" "$tested"):" \
  "build $(took "$start" "$built"), then waiting for the Wine prefix $(took "$built" "$booted")," \
  "tests $(took "$booted" "$tested")."
