#!/usr/bin/env bash
# Builds Quarnel and runs every test: the unit and integration tests, the
# serial component under the thread and address sanitizers, a short fuzz
# run of the response decoder, the checks of the Debian package, and then
# the Windows build with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
started=$(date +%s)
# Where the time goes: one line after each stage.
stage_done() { echo "== $1 done after $(($(date +%s) - started)) s"; }
build=${QUARNEL_BUILD_DIR:-build}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$jobs"
stage_done "build"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 300
stage_done "tests"

if [ -x scripts/sanitizer-tests.sh ] || [ -f scripts/sanitizer-tests.sh ]; then
  bash scripts/sanitizer-tests.sh
  stage_done "sanitizer tests"
fi
if [ -f scripts/fuzz.sh ]; then
  bash scripts/fuzz.sh "${QUARNEL_FUZZ_SECONDS:-30}"
  stage_done "fuzz run"
fi
bash scripts/package-checks.sh
stage_done "package checks"
# The Windows programs, cross-built, and their tests under Wine.
bash scripts/test-windows.sh
stage_done "Windows tests"
echo "All tests passed."
