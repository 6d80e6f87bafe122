#!/usr/bin/env bash
# Benchmarks that need Windows, under 64-bit Wine; not part of the tests. Prints the time of one
# identification over 10, 100 and 1,000 accounts next to the bare registry reads and the
# library's verifications, and what one event report costs; then (with --soak) places 1,000
# fingers and plugs a reader 100 times on one notice and counts the bitmaps left alive.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

./scripts/setup.sh
./scripts/build.sh w64 >/dev/null
./scripts/run-wine.sh AMD64 "$BUILD_ROOT/w64/bin/identification_bench.exe"
./scripts/run-wine.sh AMD64 "$BUILD_ROOT/w64/bin/event_report_bench.exe"
if [ "${1:-}" = "--soak" ]; then
  GTEST_BRIEF=0 ./scripts/run-wine.sh AMD64 "$BUILD_ROOT/w64/bin/voduvo_wine_tests.exe" \
    --gtest_also_run_disabled_tests --gtest_filter='Bitmaps.DISABLED_Soak'
fi
