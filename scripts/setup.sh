#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages, 32-bit emulation) and makes the
# Wine prefix under build/. Quick when everything is already there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

need_pkgs=(cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
  binutils-mingw-w64-x86-64 googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
  wine wine64 wine32:i386 qemu-user-static python3 wixl msitools)

# wine32 is an i386 package.
dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
install_missing setup "${need_pkgs[@]}"

# The kernel here runs no 32-bit code itself: let qemu run 32-bit ELF files (the 32-bit Wine loader).
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
fi
if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::${magic}:${mask}:/usr/bin/qemu-i386-static:F" > /proc/sys/fs/binfmt_misc/register
fi

# One prefix serves both architectures; it is made with the 64-bit loader and kept in build/.
if [ ! -f "$WINEPREFIX/.voduvo-ready" ] && [ -f "$top/build/wineprefix/.voduvo-ready" ]; then
  # A second work area starts from a copy of the main prefix: much quicker than a new one.
  "$WINESERVER" -w 2>/dev/null || true
  mkdir -p "$(dirname "$WINEPREFIX")"
  cp -a "$top/build/wineprefix" "$WINEPREFIX"
fi
if [ ! -f "$WINEPREFIX/.voduvo-ready" ]; then
  echo "setup: creating the Wine prefix in $WINEPREFIX (about two minutes)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE64" wineboot -i >/dev/null 2>&1 || true
  "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINEPREFIX/.voduvo-ready"
fi

# A crashing test program must end, not wait in Wine's crash debugger (slow under emulation).
if [ ! -f "$WINEPREFIX/.voduvo-no-crash-debugger" ]; then
  for key in 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
             'HKLM\Software\Wow6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug'; do
    "$WINE64" reg delete "$key" /v Debugger /f >/dev/null 2>&1 || true
  done
  "$WINESERVER" -w
  touch "$WINEPREFIX/.voduvo-no-crash-debugger"
fi
