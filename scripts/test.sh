#!/usr/bin/env bash
# Every test of the project: installs what is missing, builds the native, 64-bit and 32-bit
# builds, and runs every stage in one ctest run: the native unit tests and fuzzing, the Wine suite
# under 64-bit Wine, and the same suite once under emulated 32-bit Wine against the shipped DLL
# (with the export table check of each build). The run ends with ctest's summary.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"
jobs=${JOBS:-2}

./scripts/setup.sh
./scripts/build.sh

if [ ! -f "$BUILD_ROOT/native/build.ninja" ]; then
  cmake -S "$top" -B "$BUILD_ROOT/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVODUVO_WERROR=ON \
    -DVODUVO_STAGES=ON -DVODUVO_BUILD_ROOT="$BUILD_ROOT" >/dev/null
fi
cmake --build "$BUILD_ROOT/native" -j "$jobs"

# Brief GoogleTest output: failures in full, passes only as counts.
export GTEST_BRIEF=1
cd "$BUILD_ROOT/native"
exec ctest --output-on-failure -V
