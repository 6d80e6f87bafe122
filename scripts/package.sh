#!/usr/bin/env bash
# Builds the Windows Installer package from the 32-bit build: VoDUVO.dll, voduvo-enroll.exe, the
# administrator's README and the fingerprint library, for [ProgramFilesFolder]VoDUVO.
#
# Usage: package.sh --library PATH | --stand-in   [--version X.Y.Z] [--output FILE]
#   --library PATH   the fingerprint maker's papyl.dll, as the organisation licensed it
#                    (default output: build/package/VoDUVO.msi)
#   --stand-in       the build's stand-in library, for tests and the demo only; the package says
#                    so in its name and product name (build/package/VoDUVO-test-stand-in-library.msi)
#   --version        the product version (default 1.0.0); a higher one upgrades a lower one
#   --output FILE    where the package goes
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

library=; stand_in=0; version=1.0.0; output=
while [ $# -gt 0 ]; do
  case $1 in
    --library) library=${2:?--library needs the path of papyl.dll}; shift ;;
    --stand-in) stand_in=1 ;;
    --version) version=${2:?--version needs X.Y.Z}; shift ;;
    --output) output=${2:?--output needs a file}; shift ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    *) echo "package.sh: unknown option $1 (see --help)" >&2; exit 1 ;;
  esac
  shift
done
if [ -n "$library" ] && [ "$stand_in" = 1 ] || [ -z "$library" ] && [ "$stand_in" = 0 ]; then
  echo "package.sh: give either --library PATH (the maker's papyl.dll) or --stand-in (see --help)" >&2
  exit 1
fi
if ! [[ $version =~ ^[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,5}$ ]]; then
  echo "package.sh: --version takes X.Y.Z (at most 255.255.65535), not $version" >&2
  exit 1
fi

install_missing package.sh wixl msitools
bin=$BUILD_ROOT/w32/bin
JOBS=${JOBS:-2} "$top/scripts/build.sh" w32 VoDUVO >/dev/null
JOBS=${JOBS:-2} "$top/scripts/build.sh" w32 voduvo-enroll >/dev/null
JOBS=${JOBS:-2} "$top/scripts/build.sh" w32 papyl_ready >/dev/null
stand_in_file=$bin/papyl/papyl.dll

# A library that is the stand-in, under whatever name it was given, makes a test package.
if [ -n "$library" ] && cmp -s "$library" "$stand_in_file"; then stand_in=1; fi
if [ "$stand_in" = 1 ]; then
  library=$stand_in_file
  name="VoDUVO (test build with stand-in library)"
  output=${output:-$BUILD_ROOT/package/VoDUVO-test-stand-in-library.msi}
else
  name=VoDUVO
  output=${output:-$BUILD_ROOT/package/VoDUVO.msi}
fi
# The module loads the library in the same 32-bit process: anything else would leave
# fingerprint logon off on every workstation.
if ! i686-w64-mingw32-objdump -f "$library" 2>/dev/null | grep -q 'file format pei-i386'; then
  echo "package.sh: $library is not a 32-bit Windows DLL" >&2
  exit 1
fi

# wixl takes the files by name from the folder it runs in: one of this run's own.
mkdir -p "$BUILD_ROOT/package" "$(dirname "$output")"
work=$(mktemp -d "$BUILD_ROOT/package/files.XXXXXX")
trap 'rm -rf "$work"' EXIT
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
cp "$bin/VoDUVO.dll" "$bin/voduvo-enroll.exe" "$work/"
cp "$library" "$work/papyl.dll"
# Notepad on Windows 2000 shows CR LF line ends only.
sed 's/$/\r/' "$top/packaging/README.txt" > "$work/README.txt"
(cd "$work" && wixl --arch x86 -D "Version=$version" -D "ProductName=$name" -o "$output" \
  "$top/packaging/VoDUVO.wxs")
# wixl (0.101) writes Execute="rollback" actions as immediate ones, which would run at once, and
# cannot run an executable from the Binary table. Give them the types Windows Installer defines:
# an executable from a file (18) or from the Binary table (2), errors ignored (0x40), rollback
# (0x100), in the script (0x400), run as the system (0x800).
msibuild "$output" -q "UPDATE CustomAction SET Type=3410 WHERE Action='ResetGinaUndo'"
msibuild "$output" -q "UPDATE CustomAction SET Type=3394, Source='UndoTool' WHERE Action='SetGinaUndo'"
types=$(msiinfo export "$output" CustomAction | tr -d '\r' | awk '/Undo\t/ { printf "%s %s %s ", $1, $2, $3 }')
if [ "$types" != "ResetGinaUndo 3410 voduvo_enroll.exe SetGinaUndo 3394 UndoTool " ]; then
  rm -f "$output"
  echo "package.sh: the rollback actions could not be set ($types)" >&2
  exit 1
fi
echo "package.sh: $output ($name $version, $(stat -c %s "$output") bytes)"
