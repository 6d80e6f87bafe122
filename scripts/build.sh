#!/usr/bin/env bash
# Configures (once) and builds the Windows builds: build/w64 (tests) and build/w32 (product).
# Usage: build.sh [w64|w32|"w64 w32" [TARGET]]   (both builds, everything, when none is named)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"
jobs=${JOBS:-2}
archs=${1:-w64 w32}
targets=()
[ -z "${2:-}" ] || targets=(--target "$2")
for arch in $archs; do
  case $arch in
    w64) toolchain=cmake/toolchain-x86_64-w64-mingw32.cmake ;;
    w32) toolchain=cmake/toolchain-i686-w64-mingw32.cmake ;;
  esac
  if [ ! -f "$BUILD_ROOT/$arch/build.ninja" ]; then
    cmake -S "$top" -B "$BUILD_ROOT/$arch" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$top/$toolchain" -DVODUVO_WERROR=ON >/dev/null
  fi
  cmake --build "$BUILD_ROOT/$arch" -j "$jobs" "${targets[@]}"
done
