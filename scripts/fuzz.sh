#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the address and undefined-
# behaviour sanitizers (in the tree of the sanitizer tests, see
# scripts/sanitizer-build.sh), then fuzzes the handling of received lines.
#
#   scripts/fuzz.sh [seconds]        (default 30)
#
# Environment: QUARNEL_FUZZ_BUILD_DIR (default QUARNEL_ASAN_DIR, or build-asan
# in the source tree),
# QUARNEL_JOBS (parallel build jobs, default 2).
set -euo pipefail

seconds="${1:-30}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [[ "$seconds" -eq 0 ]]; then
  echo "usage: $0 [seconds]  (a whole number above 0)" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUARNEL_FUZZ_BUILD_DIR:-${QUARNEL_ASAN_DIR:-$root/build-asan}}"
jobs="${QUARNEL_JOBS:-2}"

QUARNEL_JOBS=$jobs bash "$root/scripts/sanitizer-build.sh" "$build" address,undefined fuzz_received_line

# A few seeds so the fuzzer starts from real records: an accepted capture
# answer to sequence 0, a block acknowledgement, an aborting one, a bad
# checksum, a short record and something that is no record at all.
corpus="$build/fuzz-corpus/received_line"
mkdir -p "$corpus"
printf '!00000000030000FD\r\n' >"$corpus/seed-capture"
printf '!00000000044000BC\r\n' >"$corpus/seed-block-ack"
printf '!00000000041000EC\r\n' >"$corpus/seed-abort"
printf '!1a2b000009ffff00\r\n' >"$corpus/seed-bad-checksum"
printf '!0000' >"$corpus/seed-short"
printf 'hello\r\n' >"$corpus/seed-invalid"

"$build/tests/fuzz_received_line" -max_total_time="$seconds" -max_len=2048 \
  -print_final_stats=1 "$corpus"
