#!/usr/bin/env bash
# Builds Quarnel and runs every test, in three lanes side by side:
#
#   Linux:      the build (with the Debian package's flags, so that the
#               package is made from it), the unit and integration tests, the
#               serial component and the threaded code under the thread and
#               the address/undefined-behaviour sanitizers, a short fuzz run of
#               the response decoder, the checks of the Debian package;
#   Sanitizers: the sanitizer and fuzzing builds, made while the Linux lane
#               runs its tests; output in build-logs/sanitizers.log;
#   Windows:    the cross build with its tests under Wine, the archive and the
#               installer (scripts/test-windows.sh), started once the Linux
#               simulator it tests against is built; output in
#               build-logs/windows.log.
#
# Builds run at a lower priority than tests: a test that waits for a time-out
# or a simulated unit leaves the processors to the builds, and a test that
# needs them has them first.
#
# A failure in any lane fails the whole command, with the failing lane's
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
export QUARNEL_STAGE_FILE=$PWD/$logs/stages.tsv
: >"$QUARNEL_STAGE_FILE"
export QUARNEL_STAGES_STARTED QUARNEL_LANE=Linux
QUARNEL_STAGES_STARTED=$(date +%s.%N)
source scripts/stages.sh

# Lanes in the background: NAME's process group, and its exit status once
# it has ended.
declare -A lane_pid=() lane_status=() lane_log=()
# start_lane NAME LOG COMMAND...
start_lane() {
  local name=$1 log=$2
  shift 2
  echo "== $name lane started in the background: output in $log"
  QUARNEL_LANE=$name setsid "$@" >"$log" 2>&1 &
  lane_pid[$name]=$!
  lane_log[$name]=$log
}
# True once NAME has ended; its status is then in lane_status.
lane_ended() {
  local name=$1
  [ -z "${lane_status[$name]:-}" ] || return 0
  [ -n "${lane_pid[$name]:-}" ] || return 1
  kill -0 "${lane_pid[$name]}" 2>/dev/null && return 1
  lane_status[$name]=0
  wait "${lane_pid[$name]}" || lane_status[$name]=$?
}
# Waits for NAME to end; fails the command when it failed.
wait_lane() {
  local name=$1
  if [ -z "${lane_status[$name]:-}" ]; then
    lane_status[$name]=0
    wait "${lane_pid[$name]}" || lane_status[$name]=$?
  fi
  if [ "${lane_status[$name]}" -ne 0 ]; then
    stage_name=
    show_lane_failure "$name"
    exit 1
  fi
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

show_lane_failure() {
  local name=$1
  echo >&2
  echo "FAILED: the $name lane (exit status ${lane_status[$name]}); the end of ${lane_log[$name]}:" >&2
  tail -n 150 "${lane_log[$name]}" >&2
}

finish() {
  local status=$?
  trap - EXIT
  if [ "$status" -ne 0 ]; then
    local name
    for name in "${!lane_pid[@]}"; do
      lane_ended "$name" && continue
      # The other lanes are stopped with this one: the command has failed.
      kill -TERM -- "-${lane_pid[$name]}" 2>/dev/null || true
      wait "${lane_pid[$name]}" 2>/dev/null || true
    done
    print_table
    if [ -n "${stage_name:-}" ]; then
      echo "FAILED: the Linux lane at the stage \"$stage_name\" (exit status $status)." >&2
    fi
  fi
  exit "$status"
}
trap finish EXIT

# Between the Linux stages: a lane that failed stops the run.
check_lanes() {
  local name
  for name in "${!lane_pid[@]}"; do
    if lane_ended "$name" && [ "${lane_status[$name]}" -ne 0 ]; then
      stage_name=
      show_lane_failure "$name"
      exit 1
    fi
  done
}

stage_begin "build of the simulator"
# The test programs' own code without optimisation (the package's flags ask
# for _FORTIFY_SOURCE, which needs it): it compiles in a third of the time.
# Every build of this command is a unity build: the files of a library are
# compiled a few at a time, which halves the time; a developer's own build
# (without CMAKE_UNITY_BUILD) still compiles each file alone.
bash scripts/package.sh --configure "$build" -DQUARNEL_WITH_TESTS=ON -DQUARNEL_WITH_BENCH=ON \
  "-DQUARNEL_TEST_CODE_FLAGS=-O0 -U_FORTIFY_SOURCE" -DCMAKE_UNITY_BUILD=ON
nice -n 10 cmake --build "$build" --target quarnel-target-sim serial-peer-server -j "$jobs"
stage_end

# The Windows lane tests against the simulator and serial-peer-server of this
# build; it leaves the rest of the tree to this lane.
start_lane Windows "$logs/windows.log" env QUARNEL_LINUX_TOOLS_BUILT=1 QUARNEL_BUILD_DIR="$build" \
  QUARNEL_JOBS="$jobs" bash scripts/test-windows.sh

stage_begin "build"
nice -n 10 cmake --build "$build" -j "$jobs"
stage_end
check_lanes

# The sanitizer and fuzzing builds while the tests run: most tests wait on
# simulated units and time-outs.
start_lane Sanitizers "$logs/sanitizers.log" env QUARNEL_JOBS="$jobs" nice -n 10 bash -c \
  'bash scripts/sanitizer-tests.sh build && source scripts/stages.sh &&
   stage_begin "fuzzing build" &&
   bash scripts/sanitizer-build.sh "${QUARNEL_ASAN_DIR:-build-asan}" address,undefined fuzz_received_line &&
   stage_end'

stage_begin "tests"
# Twice as many at once as there are processors: most of the cases wait.
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$((jobs * 2))" \
  --timeout 300
stage_end
check_lanes

# The package is made from the build, and checked while the sanitizer builds
# go on.
stage_begin "package checks"
QUARNEL_PACKAGE_FROM=$build bash scripts/package-checks.sh
stage_end
check_lanes

stage_begin "waiting for the sanitizer builds"
wait_lane Sanitizers
stage_end
stage_name="sanitizer tests"
QUARNEL_JOBS=$jobs bash scripts/sanitizer-tests.sh run
check_lanes

stage_begin "fuzz run"
QUARNEL_JOBS=$jobs bash scripts/fuzz.sh "${QUARNEL_FUZZ_SECONDS:-30}"
stage_end
check_lanes

stage_begin "waiting for the Windows lane"
wait_lane Windows
stage_end
echo "== Windows lane (${lane_log[Windows]}):"
grep -E '^== |passed' "${lane_log[Windows]}" | sed 's/^/   /'
stage_name=
print_table
echo "All tests passed."
