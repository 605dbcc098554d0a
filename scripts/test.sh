#!/usr/bin/env bash
# Builds Quarnel and runs every test, in two lanes side by side:
#
#   Linux:   the build (with the Debian package's flags, so that the package
#            is made from it), the unit and integration tests, the serial
#            component and the threaded code under the thread and the
#            address/undefined-behaviour sanitizers, a short fuzz run of the
#            response decoder, the checks of the Debian package;
#   Windows: the cross build with its tests under Wine, the archive and the
#            installer (scripts/test-windows.sh), started in the background
#            once the Linux simulator it tests against is built; its output
#            goes to build-logs/windows.log.
#
# A failure in either lane fails the whole command, with the failing lane's
# output. At the end a table shows every stage with its seconds.
#
# Environment: QUARNEL_BUILD_DIR (the Linux build, default build),
# QUARNEL_FUZZ_SECONDS (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."

installs_started=$(date +%s)
bash scripts/install-deps.sh
bash scripts/install-deps.sh windows
installs_took=$(($(date +%s) - installs_started))

jobs=$(nproc 2>/dev/null || echo 2)
build=${QUARNEL_BUILD_DIR:-build}
logs=build-logs
mkdir -p "$logs"
windows_log=$logs/windows.log
export QUARNEL_STAGE_FILE=$PWD/$logs/stages.tsv
: >"$QUARNEL_STAGE_FILE"
export QUARNEL_STAGES_STARTED QUARNEL_LANE=Linux
QUARNEL_STAGES_STARTED=$(date +%s.%N)
source scripts/stages.sh

windows_pid=
windows_status=
# The Windows lane's exit status once it has ended; empty while it runs.
windows_ended() {
  [ -z "$windows_status" ] || return 0
  [ -n "$windows_pid" ] || return 1
  kill -0 "$windows_pid" 2>/dev/null && return 1
  windows_status=0
  wait "$windows_pid" || windows_status=$?
}

print_table() {
  local ended total
  ended=$(date +%s.%N)
  total=$(awk -v a="$QUARNEL_STAGES_STARTED" -v b="$ended" 'BEGIN { printf "%.0f", b - a }')
  echo
  echo "Stages (the lanes run side by side; start and seconds after the installs):"
  printf '  %-8s %-32s %7s %8s\n' lane stage start seconds
  sort -t $'\t' -k3,3n "$QUARNEL_STAGE_FILE" |
    awk -F '\t' '{ printf "  %-8s %-32s %7.0f %8.1f\n", $1, $2, $3, $4; lane[$1] += $4 }
      END { for (l in lane) printf "  %-8s %-32s %7s %8.1f\n", l, "(sum of the lane)", "", lane[l] }'
  printf '  %-41s %7s %8s\n' "total (wall clock)" "" "$total"
  echo "  (package installs before: ${installs_took} s)"
}

show_windows_failure() {
  echo >&2
  echo "FAILED: the Windows lane (exit status $windows_status); the end of $windows_log:" >&2
  tail -n 150 "$windows_log" >&2
}

finish() {
  local status=$?
  trap - EXIT
  if [ "$status" -ne 0 ]; then
    if [ -n "$windows_pid" ] && ! windows_ended; then
      # The Windows lane is stopped with the Linux lane: the command has failed.
      kill -TERM -- "-$windows_pid" 2>/dev/null || true
      wait "$windows_pid" 2>/dev/null || true
    fi
    print_table
    if [ -n "${stage_name:-}" ]; then
      echo "FAILED: the Linux lane at the stage \"$stage_name\" (exit status $status)." >&2
    fi
  fi
  exit "$status"
}
trap finish EXIT

# Between the Linux stages: a Windows lane that failed stops the run.
check_windows_lane() {
  if windows_ended && [ "$windows_status" -ne 0 ]; then
    stage_name=
    show_windows_failure
    exit 1
  fi
}

stage_begin "build of the simulator"
bash scripts/package.sh --configure "$build" -DQUARNEL_WITH_TESTS=ON -DQUARNEL_WITH_BENCH=ON
cmake --build "$build" --target quarnel-target-sim serial-peer-server -j "$jobs"
stage_end

# The Windows lane tests against the simulator and serial-peer-server of this
# build; it leaves the rest of the tree to this lane.
echo "== Windows lane started in the background: output in $windows_log"
QUARNEL_LANE=Windows QUARNEL_LINUX_TOOLS_BUILT=1 QUARNEL_BUILD_DIR=$build QUARNEL_JOBS=$jobs \
  setsid bash scripts/test-windows.sh >"$windows_log" 2>&1 &
windows_pid=$!

stage_begin "build"
cmake --build "$build" -j "$jobs"
stage_end
check_windows_lane

stage_begin "tests"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300
stage_end
check_windows_lane

stage_name="sanitizer tests"
QUARNEL_JOBS=$jobs bash scripts/sanitizer-tests.sh
check_windows_lane

stage_begin "fuzz run"
QUARNEL_JOBS=$jobs bash scripts/fuzz.sh "${QUARNEL_FUZZ_SECONDS:-30}"
stage_end
check_windows_lane

stage_begin "package checks"
QUARNEL_PACKAGE_FROM=$build bash scripts/package-checks.sh
stage_end

stage_begin "waiting for the Windows lane"
if [ -z "$windows_status" ]; then
  windows_status=0
  wait "$windows_pid" || windows_status=$?
fi
stage_end
if [ "$windows_status" -ne 0 ]; then
  stage_name=
  show_windows_failure
  exit 1
fi
echo "== Windows lane ($windows_log):"
grep -E '^== |passed' "$windows_log" | sed 's/^/   /'
stage_name=
print_table
echo "All tests passed."
