#!/usr/bin/env bash
# Configures a sanitizer build of Quarnel and builds the given targets in it;
# nothing else is built.
#
#   scripts/sanitizer-build.sh DIR thread|address,undefined TARGET...
#
# Both with clang. thread: ThreadSanitizer; address,undefined:
# AddressSanitizer with UndefinedBehaviorSanitizer, the whole core also
# instrumented for libFuzzer's coverage, so that the fuzz targets
# (fuzz_received_line) build in the same tree as the test programs and the
# fuzzer sees its way through the decoder, not only through the entry point.
# Optimised at -O1 with line tables only: reports keep their file and line,
# and a build takes a fraction of a -O2 one with full debug information. A
# unity build: the files of a library are compiled a few at a time.
#
# Environment: QUARNEL_JOBS (parallel build jobs, default nproc).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 DIR SANITIZERS TARGET..." >&2; exit 2; }
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
dir=$1 sanitizers=$2
shift 2
jobs=${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}

if ! command -v clang++ >/dev/null; then
  echo "$0: clang++ is needed; run scripts/install-deps.sh" >&2
  exit 2
fi

# The test programs' own code is compiled without optimisation (the code
# under test keeps -O1): that halves its time.
extra=(-DQUARNEL_TEST_CODE_FLAGS=-O0)
case "$sanitizers" in
  thread) ;;
  address,undefined) extra+=(-DQUARNEL_FUZZ=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link) ;;
  *) echo "$0: the sanitizers are thread or address,undefined, not $sanitizers" >&2; exit 2 ;;
esac

generator=()
# The generator can only be chosen when the directory is new.
if [ ! -f "$dir/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$root" -B "$dir" "${generator[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
  -DQUARNEL_SANITIZE="$sanitizers" -DQUARNEL_WITH_QT=OFF -DQUARNEL_WITH_BENCH=OFF \
  -DCMAKE_UNITY_BUILD=ON "${extra[@]}" >/dev/null
cmake --build "$dir" --target "$@" -j "$jobs"
