#!/usr/bin/env bash
# The installer package under Wine's msiexec, in a prefix of its own (a copy of the suite's):
# install from nothing, a major upgrade, uninstall, and an install refused because another GINA
# was installed over ours. Each step compares the registry keys the package touches, as
# exported, with what they must be. The 32-bit tool runs under emulation (about a minute per
# start), so the cases run in one sequence, each starting from where the last one left off.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"
work=$BUILD_ROOT/package-test
rm -rf "$work" && mkdir -p "$work"

# Two versions of the test package, built in this run from the same files.
for version in 1.0.0 1.0.1; do
  "$top/scripts/package.sh" --stand-in --version $version --output "$work/VoDUVO-$version.msi" \
    >/dev/null || { echo "package_test: package.sh --version $version failed"; exit 1; }
done

"$WINESERVER" -w
export WINEPREFIX=$BUILD_ROOT/msiprefix
rm -rf "$WINEPREFIX" && cp -a "$BUILD_ROOT/wineprefix" "$WINEPREFIX"
trap '"$WINESERVER" -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT

# The 64-bit reg and msiexec are native here, so quick; /reg:32 shows what the 32-bit tool and a
# 32-bit package see. The package installs a 32-bit product either way.
reg() { "$WINE64" reg "$@" /reg:32 >/dev/null 2>&1; }
winlogon='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon'
record='HKLM\SOFTWARE\VoDUVO'
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VoDUVO'
account="$winlogon"'\SpecialAccounts\VoDUVO\ana'
folder="$WINEPREFIX/drive_c/Program Files (x86)/VoDUVO"
module='C:\Program Files (x86)\VoDUVO\VoDUVO.dll'

# The keys the package may touch (the account store lies under Winlogon), as text.
snapshot() {
  local key file=$work/key.reg
  for key in "$winlogon" "$record" "$source_key"; do
    if "$WINE64" reg export "$key" "$file" /reg:32 /y >/dev/null 2>&1; then
      iconv -f UTF-16LE -t UTF-8 "$file" | tr -d '\r\357\273\277'
    else
      echo "[$key] absent"
    fi
  done
}
# msiexec, quiet, with its log (msiexec-NAME.log) and what the tool printed (tool-NAME.txt); its
# exit status as Wine gives it (the low byte: 3010, success with a restart needed, is 194).
msi() { local name=$1; shift
  "$WINE64" msiexec "$@" /qn /l*v "$work/msiexec-$name.log" REBOOT=ReallySuppress \
    >"$work/tool-$name.txt" 2>&1; echo $?; }
# The tool's runs in step NAME, by the first word of what each printed (restart notes aside):
# a rollback action run out of turn shows here.
tool_said() { test "$(tr -d '\r' < "$work/tool-$1.txt" | awk '!/^Restart/ { printf "%s ", $1 }')" = "$2"; }
value() { "$WINE64" reg query "$1" /v "$2" /reg:32 2>/dev/null | tr -d '\r' |
  sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

# Whether Windows Installer lists the product of a package built above.
registered() {
  local code
  code=$(msiinfo export "$work/VoDUVO-$1.msi" Property | tr -d '\r' |
    awk '$1 == "ProductCode" { print $2 }')
  if reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'"$code"; then
    echo present
  else
    echo absent
  fi
}

failures=()
check() {  # check WHAT CONDITION-COMMAND...
  local what=$1; shift
  if "$@"; then echo "  ok: $what"; else echo "  FAILED: $what"; failures+=("$what"); fi
}
same() { diff -u "$1" "$2" > "$work/diff.txt" || { cat "$work/diff.txt"; return 1; }; }

# The machine before: no GINA of ours, no record, no event source, one enrolled account.
reg delete "$winlogon" /v GinaDLL /f; reg delete "$record" /f; reg delete "$source_key" /f
reg add "$account" /v Login /t REG_DWORD /d 3 /f
reg add "$account" /v Template1 /t REG_BINARY /d 0102030405 /f
reg add "$account" /v CPD /t REG_BINARY /d a1b2c3 /f
snapshot > "$work/before.txt"

echo "install from nothing (1.0.0)"
status=$(msi install /i "$work/VoDUVO-1.0.0.msi")
check "msiexec succeeds and asks for a restart (status $status)" test "$status" = 194
check "the tool ran install, once" tool_said install "Installed "
check "the product registered" test "$(registered 1.0.0)" = present
for file in VoDUVO.dll voduvo-enroll.exe papyl.dll README.txt; do
  check "$file installed" test -f "$folder/$file"
done
check "GinaDLL names the installed module" test "$(value "$winlogon" GinaDLL)" = "$module"
check "event source registered" test "$(value "$source_key" EventMessageFile)" = "$module"
snapshot > "$work/installed.txt"

echo "upgrade to 1.0.1"
status=$(msi upgrade /i "$work/VoDUVO-1.0.1.msi")
check "msiexec succeeds (status $status)" test "$status" = 194
check "the tool ran the older uninstall, then the newer install" \
  tool_said upgrade "Uninstalled Installed "
check "GinaDLL, its record, the event source and the account unchanged" \
  same "$work/installed.txt" <(snapshot)
check "1.0.0 is no longer installed, 1.0.1 is" \
  test "$(registered 1.0.0)$(registered 1.0.1)" = "absentpresent"
check "the module is still in place" test -f "$folder/VoDUVO.dll"

echo "uninstall"
status=$(msi uninstall /x "$work/VoDUVO-1.0.1.msi")
check "msiexec succeeds (status $status)" test "$status" = 194
check "the tool ran uninstall, once" tool_said uninstall "Uninstalled "
check "registry as before the install, the account kept" same "$work/before.txt" <(snapshot)
check "no file left, the product not registered" \
  test ! -e "$folder" -a "$(registered 1.0.1)" = absent

echo "install over another GINA installed over ours"
reg add "$record" /v InstalledGinaDLL /d "$module" /f
reg add "$winlogon" /v GinaDLL /d 'C:\Other\othergina.dll' /f
snapshot > "$work/foreign.txt"
status=$(msi refused /i "$work/VoDUVO-1.0.1.msi")
check "msiexec fails (status $status)" test "$status" != 0 -a "$status" != 194
# Wine also runs the undo of install here (it queues rollback actions when it schedules them,
# not when the script passes them), which refuses too; Windows would not run it.
check "the tool refused install and changed nothing" \
  tool_said refused "voduvo-enroll: Nothing voduvo-enroll: Nothing "
check "registry unchanged" same "$work/foreign.txt" <(snapshot)
check "no file left, the product not registered" \
  test ! -e "$folder" -a "$(registered 1.0.1)" = absent

echo
if [ ${#failures[@]} -eq 0 ]; then
  echo "package_test: all passed (logs in $work)"
  exit 0
fi
echo "package_test: ${#failures[@]} failed (msiexec logs and the tool's output in $work):"
printf '  %s\n' "${failures[@]}"
exit 1
