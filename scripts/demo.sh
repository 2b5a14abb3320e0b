#!/usr/bin/env bash
# The main job: installs what is missing, builds all three builds and runs the
# demo on the embedded samples, printing what a user would have seen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export KIT_BUILD_ROOT=${KIT_BUILD_ROOT:-build}
bash scripts/build.sh host win32 win64
bash scripts/wine-prefix.sh "$(realpath -m "$KIT_BUILD_ROOT")/win64/wineprefix"
for part in scripts/demo/*.sh; do
  [ -f "$part" ] || continue
  echo
  bash "$part"
done
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
