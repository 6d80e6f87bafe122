#!/usr/bin/env bash
# The main job: the whole product at work under Wine. An administrator installs VoDUVO and
# enrols two users by finger with the enrolment tool; then a day at the workstation through a
# stand-in Winlogon that loads the module named by GinaDLL, with the stand-in system GINA and
# the stand-in fingerprint library; then the administrator takes it out again. The day runs on
# a virtual display, and screenshots of what a person sees land in build/demo/LANGUAGE/.
#
# Usage: demo.sh [--w32 | --w64] [--pt-BR] [--no-screenshots]
#   --w32             the 32-bit build, the product itself (default). Its Wine runs under qemu
#                     emulation here: about 70 s per day, most of it Wine's start.
#   --w64             the same sources built for 64-bit Windows: about 15 s per day
#   --pt-BR           only the day in Brazilian Portuguese (default: English, then Portuguese)
#   --no-screenshots  no virtual display: the transcript only
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
# shellcheck source=scripts/env.sh
. "$top/scripts/env.sh"

arch=w32
languages="en pt-BR"
screenshots=1
for option in "$@"; do
  case $option in
    --w64) arch=w64 ;;
    --w32) arch=w32 ;;
    --pt-BR) languages=pt-BR ;;
    --no-screenshots) screenshots=0 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    *) echo "demo.sh: unknown option $option (see --help)" >&2; exit 1 ;;
  esac
done
loader=$WINE32
[ "$arch" = w64 ] && loader=$WINE64

./scripts/setup.sh

# What only the demo needs: a virtual display, a screen grabber, an image converter and the
# fonts Wine draws dialogs with. The test run never pays for them.
if [ "$screenshots" = 1 ]; then
  install_missing demo xvfb x11-apps imagemagick fonts-wine
fi

# Only the demo and what it loads are built.
if ! built=$("$top/scripts/build.sh" "$arch" demo-workstation 2>&1); then
  echo "$built" >&2
  exit 1
fi

# The demo's workstation has a registry of its own, so its accounts never meet the tests'; with
# screenshots it runs in a copy of that prefix whose dialogs are drawn on the virtual display.
# There is no window manager: Wine draws the frames and captions itself and, with unmanaged
# windows, does not wait for a window manager's answer each time a dialog closes.
demo_prefix="$BUILD_ROOT/demo-wineprefix"
if [ ! -f "$demo_prefix/.voduvo-ready" ]; then
  "$WINESERVER" -w 2>/dev/null || true
  rm -rf "$demo_prefix"
  cp -a "$BUILD_ROOT/wineprefix" "$demo_prefix"
fi
screens_prefix="$BUILD_ROOT/demo-screens-wineprefix"
if [ "$screenshots" = 1 ] && [ ! -f "$screens_prefix/.voduvo-screens-ready" ]; then
  rm -rf "$screens_prefix"
  cp -a "$demo_prefix" "$screens_prefix"
  WINEPREFIX="$screens_prefix" "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics \
    /d x11 /f >/dev/null
  for value in Decorated Managed; do
    WINEPREFIX="$screens_prefix" "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v $value \
      /d N /f >/dev/null
  done
  # Wine's own dialog fonts (Tahoma, and Marlett for the caption buttons) came with the demo's
  # packages, after the prefix was made.
  cp /usr/share/wine/fonts/*.ttf "$screens_prefix/drive_c/windows/Fonts/"
  WINEPREFIX="$screens_prefix" "$WINESERVER" -w
  touch "$screens_prefix/.voduvo-screens-ready"
fi

started=()
# shellcheck disable=SC2317  # run by the trap
cleanup() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

screen_width=1024
screen_height=768
if [ "$screenshots" = 1 ]; then
  export WINEPREFIX="$screens_prefix"
  # A display number nobody uses.
  display=90
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp -br \
    >/dev/null 2>&1 &
  started+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 100); do
    xwd -root -silent >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! xwd -root -silent >/dev/null 2>&1; then
    echo "demo: the virtual display :$display did not start (try --no-screenshots)" >&2
    exit 1
  fi
else
  export WINEPREFIX="$demo_prefix"
fi

# Takes each screenshot the demo asks for (NAME.request in its folder, one "left top width
# height" line per window the person sees): those windows whole as the screen shows them, on the
# desktop's colour, with a margin around them all.
take_screenshots() {
  local folder=$1 request name layers
  while true; do
    for request in "$folder"/*.request; do
      [ -e "$request" ] || continue
      name=$(basename "$request" .request)
      if xwd -root -silent > "$folder/screen.xwd"; then
        mapfile -t layers < <(screenshot_layers "$request" "$folder/screen.xwd")
        convert "${layers[@]}" "png:$folder/$name.png" || true
      fi
      rm -f "$request" "$folder/screen.xwd"
    done
    sleep 0.1
  done
}

# ImageMagick's arguments for one screenshot, one a line: a desktop-coloured ground the size of
# the windows' union and a margin, and on it each window's part of the screen grab, where it was.
screenshot_layers() {
  awk -v grab="$2" -v width="$screen_width" -v height="$screen_height" -v margin=16 '
    function clamp(v, limit) { return v < 0 ? 0 : v > limit ? limit : v }
    BEGIN { n = 0 }
    NF == 4 {
      l = clamp($1, width); t = clamp($2, height)
      r = clamp($1 + $3, width); b = clamp($2 + $4, height)
      if (r > l && b > t) { x[n] = l; y[n] = t; w[n] = r - l; h[n] = b - t; n++ }
    }
    END {
      if (n == 0) { print grab; exit }
      left = x[0]; top = y[0]; right = x[0] + w[0]; bottom = y[0] + h[0]
      for (i = 1; i < n; i++) {
        if (x[i] < left) left = x[i]
        if (y[i] < top) top = y[i]
        if (x[i] + w[i] > right) right = x[i] + w[i]
        if (y[i] + h[i] > bottom) bottom = y[i] + h[i]
      }
      left = clamp(left - margin, width); top = clamp(top - margin, height)
      right = clamp(right + margin, width); bottom = clamp(bottom + margin, height)
      print "-size"; print (right - left) "x" (bottom - top); print "xc:#3a6ea5"
      for (i = 0; i < n; i++) {
        print "("; print grab; print "-crop"; print w[i] "x" h[i] "+" x[i] "+" y[i]
        print "+repage"; print ")"; print "-geometry"; print "+" (x[i] - left) "+" (y[i] - top)
        print "-composite"
      }
    }' "$1"
}

status=0
for language in $languages; do
  case $language in
    en) locale=en_US.UTF-8 ;;
    pt-BR) locale=pt_BR.UTF-8 ;;
  esac
  out="$BUILD_ROOT/demo/$language"
  mkdir -p "$out"
  rm -f "$out"/*.png "$out"/*.request "$out"/*.draft "$out"/transcript.txt
  shots=""
  if [ "$screenshots" = 1 ]; then
    shots="Z:${out//\//\\}"
    take_screenshots "$out" &
    started+=($!)
  fi
  begin=$(date +%s)
  (cd "$BUILD_ROOT/$arch/demo" &&
    LANG=$locale LC_ALL=$locale VODUVO_DEMO_SHOTS="$shots" "$loader" demo-workstation.exe) |
    tee "$out/transcript.txt" || status=1
  echo "demo: the day in $language on the $arch build took $(( $(date +%s) - begin )) s"
  if [ "$screenshots" = 1 ]; then
    kill "${started[-1]}" 2>/dev/null || true
    unset 'started[-1]'
  fi
done
"$WINESERVER" -w 2>/dev/null || true

echo
for language in $languages; do
  echo "Transcript: $BUILD_ROOT/demo/$language/transcript.txt"
  if [ "$screenshots" = 1 ]; then
    echo "Screenshots:"
    for png in "$BUILD_ROOT/demo/$language"/*.png; do
      if [ -e "$png" ]; then echo "  $png"; fi
    done
  fi
done
exit $status
