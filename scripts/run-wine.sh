#!/usr/bin/env bash
# Runs a Windows test program under Wine: 64-bit Wine for AMD64 builds, emulated 32-bit Wine for
# x86 builds. Usage: run-wine.sh x86|AMD64 program.exe [arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"
arch=$1; program=$2; shift 2
cd "$(dirname "$program")"

# Under the 32-bit emulation, Wine itself now and then dies of a signal or stops answering, in
# no particular test. Such a run is told as it ended, with the test it was in, and the tests it
# had not passed yet are run again (at most twice). A test that fails is never run again.
x86_limit=${VODUVO_X86_RUN_LIMIT:-900}
# A crash ends the run at once rather than starting Wine's debugger, which under the emulation
# takes many minutes to come up and then waits.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
passed=$(mktemp)
failed=$(mktemp)
trap 'rm -f "$passed" "$failed"' EXIT
run_once() {
  if [ "$arch" != x86 ]; then
    GTEST_BRIEF=${GTEST_BRIEF:-1} "$WINE64" "$(basename "$program")" "$@"
    return
  fi
  local status
  set +e
  GTEST_BRIEF=0 timeout --kill-after=10 "$x86_limit" "$WINE32" "$(basename "$program")" "$@" |
    awk -v passed="$passed" -v failed="$failed" '
         /^\[ RUN      \]/ { current = $0; next }
         /^\[  FAILED  \] [^ ]+ \(/ { print $4 >> failed; fflush(failed) }
         /^\[       OK \]/ { current = ""; print $4 >> passed; fflush(passed); next }
         { print; fflush() }
         END { if (current != "") print "run-wine: the run ended inside " substr(current, 14) }'
  status=${PIPESTATUS[0]}
  set -e
  return "$status"
}

# The rerun leaves out what has passed, unless the caller chose the tests itself.
filtered=false
for arg in "$@"; do case "$arg" in --gtest_filter=*) filtered=true ;; esac; done

attempts=1
[ "$arch" = x86 ] && attempts=3
for attempt in $(seq 1 "$attempts"); do
  start=$(date +%s)
  status=0
  run_once "$@" || status=$?
  echo "run-wine: $(basename "$program") under $arch Wine took $(( $(date +%s) - start )) s (exit $status)"
  # 124 is the time limit; above 128, a signal.
  if [ "$status" -lt 124 ] || [ "$attempt" -eq "$attempts" ]; then break; fi
  "$WINESERVER" -k 2>/dev/null || true
  sleep 2
  if [ "$filtered" = false ] && [ -s "$passed" ]; then
    export GTEST_FILTER="*-$(paste -sd: "$passed")"
    echo "run-wine: the emulated Wine died or hung; running the $(basename "$program") tests" \
      "not passed yet ($(wc -l < "$passed") passed)"
  else
    echo "run-wine: the emulated Wine died or hung; running $(basename "$program") once more"
  fi
done
# A test that failed before Wine died stays failed, whatever the rerun did.
if [ "$status" -eq 0 ] && [ -s "$failed" ]; then
  echo "run-wine: failed before Wine died: $(paste -sd' ' "$failed")"
  status=1
fi
exit "$status"
