#!/usr/bin/env bash
# wine-prefix.sh PREFIX: makes sure the Wine prefix exists and is booted, so
# that test runs do not race to create it.
set -euo pipefail
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1 || true
fi
/usr/lib/wine/wineserver -w </dev/null >/dev/null 2>&1 || true
