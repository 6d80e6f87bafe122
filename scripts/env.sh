# Shared settings of the scripts: where the builds and the Wine prefix live, and how Wine runs.
# VODUVO_BUILD_ROOT moves the builds and the prefix elsewhere (for a second work area).
top=${top:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export BUILD_ROOT=${VODUVO_BUILD_ROOT:-$top/build}
export WINEPREFIX="$BUILD_ROOT/wineprefix"
export WINEDEBUG=-all
export WINE64=/usr/lib/wine/wine64
export WINE32=/usr/lib/wine/wine
export WINESERVER=/usr/lib/wine/wineserver
# qemu must place the 32-bit address space where Wine's fixed mappings cannot collide with it.
export QEMU_GUEST_BASE=0x200000000
export QEMU_RESERVED_VA=0xffff0000
