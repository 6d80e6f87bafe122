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

# Installs those of the named Debian packages that are missing; the first argument names the
# script that asks, for its message.
install_missing() {
  local who=$1 package
  shift
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "$who: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
