#!/usr/bin/env bash
# Builds the tests of the serial component and of the layers below it
# (test_comm, test_toolkit, test_platform), and the supervisor of several
# ports (test_station), twice, once under ThreadSanitizer and once under
# AddressSanitizer with UndefinedBehaviorSanitizer (scripts/sanitizer-build.sh:
# -O1, only these programs), and runs them with ctest.
# Any report fails.
#
#   scripts/sanitizer-tests.sh [build|run]
#
# build only builds both, run only runs what is built (scripts/test.sh builds
# them while the other tests run); without an argument, both.
#
# Environment: QUARNEL_TSAN_DIR / QUARNEL_ASAN_DIR (build directories, default
# build-tsan / build-asan), QUARNEL_JOBS (parallel jobs, default nproc).
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
case "$what" in
  all | build | run) ;;
  *) echo "usage: $0 [build|run]" >&2; exit 2 ;;
esac
jobs=${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}
tsan_dir=${QUARNEL_TSAN_DIR:-build-tsan}
asan_dir=${QUARNEL_ASAN_DIR:-build-asan}
targets=(test_comm test_toolkit test_platform test_station)
source scripts/stages.sh

run_tests() {
  local dir=$1 target
  shift
  for target in "${targets[@]}"; do
    [ -x "$dir/tests/$target" ] || { echo "$0: $dir/tests/$target is not built" >&2; exit 1; }
  done
  # Only these are built here; ctest lists the other programs as *_NOT_BUILT.
  "$@" ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300 -E '_NOT_BUILT$'
}

if [ "$what" != run ]; then
  stage_begin "ThreadSanitizer build"
  QUARNEL_JOBS=$jobs bash scripts/sanitizer-build.sh "$tsan_dir" thread "${targets[@]}"
  stage_end
  stage_begin "Address+UB sanitizer build"
  QUARNEL_JOBS=$jobs bash scripts/sanitizer-build.sh "$asan_dir" address,undefined "${targets[@]}"
  stage_end
fi
[ "$what" != build ] || exit 0

# ThreadSanitizer maps its shadow memory at fixed addresses, which a kernel
# with high address-space randomisation can break ("unexpected memory
# mapping"); running without randomisation avoids that.
no_aslr=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
  no_aslr=(setarch "$(uname -m)" -R)
fi

stage_begin "ThreadSanitizer tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}" \
  run_tests "$tsan_dir" "${no_aslr[@]}"
stage_end
stage_begin "Address+UB sanitizer tests"
ASAN_OPTIONS="detect_leaks=1 halt_on_error=1 ${ASAN_OPTIONS:-}" \
  UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1 ${UBSAN_OPTIONS:-}" \
  run_tests "$asan_dir"
stage_end

echo "Sanitizer tests passed."
