#!/usr/bin/env bash
# Builds the tests of the serial component and of the layers below it
# (test_comm, test_toolkit, test_platform), and the supervisor of several
# ports (test_station), twice, once under ThreadSanitizer
# and once under AddressSanitizer with UndefinedBehaviorSanitizer, and runs
# them with ctest.
# Any report fails.
#
# Environment: QUARNEL_TSAN_DIR / QUARNEL_ASAN_DIR (build directories, default
# build-tsan / build-asan), QUARNEL_JOBS (parallel jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}
tsan_dir=${QUARNEL_TSAN_DIR:-build-tsan}
asan_dir=${QUARNEL_ASAN_DIR:-build-asan}

configure_and_build() {
  local dir=$1 sanitizers=$2
  local generator=()
  # The generator can only be chosen when the directory is new.
  if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARNEL_SANITIZE="$sanitizers" -DQUARNEL_WITH_QT=OFF -DQUARNEL_WITH_BENCH=OFF
  cmake --build "$dir" --target test_comm test_toolkit test_platform test_station -j "$jobs"
}

run_tests() {
  local dir=$1
  shift
  # Only these are built here; ctest lists the other programs as *_NOT_BUILT.
  "$@" ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 -E '_NOT_BUILT$'
}

# ThreadSanitizer maps its shadow memory at fixed addresses, which a kernel
# with high address-space randomisation can break ("unexpected memory
# mapping"); running without randomisation avoids that.
no_aslr=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi

configure_and_build "$tsan_dir" thread
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  run_tests "$tsan_dir" "${no_aslr[@]}"

configure_and_build "$asan_dir" address,undefined
ASAN_OPTIONS="detect_leaks=1 halt_on_error=1 ${ASAN_OPTIONS:-}" \
  UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}" \
  run_tests "$asan_dir"

echo "Sanitizer tests passed."
