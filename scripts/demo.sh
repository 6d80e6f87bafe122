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

demo="$BUILD_ROOT/w64/demo"
gina_path="Z:$(echo "$demo/VoDUVO.dll" | tr / '\\')"
"$WINE64" reg add 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon' \
  /v GinaDLL /d "$gina_path" /f >/dev/null
cd "$demo"
exec "$WINE64" sim-winlogon.exe
