#!/usr/bin/env bash
# screenshots.sh: renders the three notices a user can meet as real Windows
# message boxes and writes them to docs/images/:
#   setup-notice-en.png      the setup launcher's notice, English locale
#   setup-notice-ru.png      the same under a Russian locale (code page 1251)
#   uninstall-failure.png    Ambrel's failure notice
# The win64 setup.exe and Ambrel.exe (built into $KIT_BUILD_ROOT, default
# build/, if missing) run under Wine in a private prefix, inside a Wine
# virtual desktop on a virtual X server (Xvfb), so that Wine draws the window
# frames itself. Each box is photographed (xwd, ImageMagick), then dismissed
# with the Return key (xdotool), as a user would.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
ROOT=$(realpath -m "${KIT_BUILD_ROOT:-build}")
setup_exe="$ROOT/win64/setup_launcher/setup.exe"
ambrel_exe="$ROOT/win64/uninstall_launcher/Ambrel.exe"
if [ ! -f "$setup_exe" ] || [ ! -f "$ambrel_exe" ]; then
  KIT_BUILD_ROOT="$ROOT" bash scripts/build.sh win64
fi
out=docs/images
mkdir -p "$out"

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
export WINEPREFIX="$ROOT/screenshots/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d "${TMPDIR:-/tmp}/kit_screens_XXXXXX")
xvfb_pid=""
cleanup() {
  "$server" -k </dev/null >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The private prefix, with Wine's own fonts (Tahoma, Marlett for the frame
# buttons) where Wine looks for Windows fonts.
bash scripts/wine-prefix.sh "$WINEPREFIX"
cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

# A virtual X server on the first free display.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "screenshots.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# shoot NAME CAPTION LOCALE PROGRAM: runs PROGRAM (alone in a folder, so
# setup.exe finds no _setup.EXE and Ambrel.exe no uninst.ini) under LOCALE,
# waits for the box captioned CAPTION, photographs it and presses Return.
shoot() {
  local name="$1" caption="$2" locale="$3" program="$4"
  local folder="$work/$name"
  mkdir -p "$folder"
  cp "$program" "$folder/"
  "$server" -k </dev/null >/dev/null 2>&1 || true
  "$server" -w </dev/null >/dev/null 2>&1 || true
  LC_ALL="$locale" LANG="$locale" "$wine" explorer /desktop=notice,640x480 \
    "$(winpath "$folder/$(basename "$program")")" </dev/null >/dev/null 2>&1 &
  local pid=$!
  if ! timeout 90 xdotool search --sync --name "^$caption\$" >/dev/null; then
    echo "screenshots.sh: no window '$caption' for $name" >&2
    exit 1
  fi
  sleep 2  # let it paint
  xwd -root -silent >"$work/$name.xwd"
  xdotool key Return
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  # The desktop's background colour, then the box cut out of it with a margin.
  local background
  background=$(convert "xwd:$work/$name.xwd" -crop 640x480+0+0 +repage -format '%[pixel:p{0,0}]' info:)
  convert "xwd:$work/$name.xwd" -crop 640x480+0+0 +repage -trim +repage \
    -bordercolor "$background" -border 16 \
    +set date:create +set date:modify -define png:exclude-chunks=date,time "$out/$name.png"
  echo "screenshots.sh: wrote $out/$name.png"
}

shoot setup-notice-en 'ATTENTION!' C.UTF-8 "$setup_exe"
shoot setup-notice-ru 'ATTENTION!' ru_RU.UTF-8 "$setup_exe"
shoot uninstall-failure 'Error' C.UTF-8 "$ambrel_exe"
