#!/usr/bin/env bash
# The resampler's speed, natively: the product's path on this processor (the SSE2 kernels), the
# plain path, OpenCV's area resampling on one thread, a memcpy of the source, and the floor of the
# arithmetic that gives the resampler's bytes. Not part of the tests. Installs OpenCV's
# development files when they are missing; builds an optimised, unsanitized tree of its own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

install_missing bench cmake ninja-build clang libopencv-dev

cmake -S . -B "$BUILD_ROOT/native-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVODUVO_SANITIZE=OFF \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD_ROOT/native-bench" --target resampler_bench >/dev/null
"$BUILD_ROOT/native-bench/bench/resampler_bench"
