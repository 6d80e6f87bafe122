#!/usr/bin/env bash
# The main job: a whole simulated logon. Builds the 64-bit module and the stand-ins, names the
# module in Winlogon's GinaDLL value as an installation would, and runs the stand-in Winlogon.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

./scripts/setup.sh
./scripts/build.sh w64 >/dev/null

# The demo's workstation has a registry of its own, so its accounts never meet the tests'.
export WINEPREFIX="$BUILD_ROOT/demo-wineprefix"
if [ ! -f "$WINEPREFIX/.voduvo-ready" ]; then
  "$WINESERVER" -w 2>/dev/null || true
  cp -a "$BUILD_ROOT/wineprefix" "$WINEPREFIX"
fi

demo="$BUILD_ROOT/w64/demo"
gina_path="Z:$(echo "$demo/VoDUVO.dll" | tr / '\\')"
"$WINE64" reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon' \
  /v GinaDLL /d "$gina_path" /f >/dev/null
cd "$demo"

# An administrator enrols a user: two templates and the password, protected in the store.
printf 'template one of anna\n' > anna1.tpl
printf 'template two of anna\n' > anna2.tpl
echo "== voduvo-enroll: enrolling anna (fingerprint or password)"
printf 'correct horse\n' | "$WINE64" ../bin/voduvo-enroll.exe add anna --mode fingerprint-or-password \
  --template1 anna1.tpl --template2 anna2.tpl
echo "== voduvo-enroll: the accounts in the store"
"$WINE64" ../bin/voduvo-enroll.exe list
echo "== sim-winlogon: one whole cycle of the workstation"
exec "$WINE64" sim-winlogon.exe
