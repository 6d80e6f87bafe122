#!/usr/bin/env bash
# Runs a Windows test program under Wine: 64-bit Wine for AMD64 builds, emulated 32-bit Wine for
# x86 builds. Usage: run-wine.sh x86|AMD64 program.exe [arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"
arch=$1; program=$2; shift 2
case "$arch" in
  x86) loader=$WINE32 ;;
  *) loader=$WINE64 ;;
esac
cd "$(dirname "$program")"
export GTEST_BRIEF=${GTEST_BRIEF:-1}
start=$(date +%s)
status=0
"$loader" "$(basename "$program")" "$@" || status=$?
echo "run-wine: $(basename "$program") under $arch Wine took $(( $(date +%s) - start )) s (exit $status)"
exit $status
