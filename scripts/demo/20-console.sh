#!/usr/bin/env bash
# Demo: Corvitt's SetConsoleFullScreenMode switching the user's FullScreen
# console preference, loaded by a small caller program as any program would
# load it: the host build against a registry file, and the win64 build under
# Wine against the Wine prefix's registry. Shows the value before and after
# and the function's result.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(realpath -m "${KIT_BUILD_ROOT:-build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/kit-demo-console.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "=== Console full-screen setting (Corvitt.dll) ==="

caller="$ROOT/host/tests/console_setting/corvitt_caller"
library=$(ls "$ROOT"/host/console_setting/*Corvitt.so 2>/dev/null | head -1 || true)
if [ -x "$caller" ] && [ -n "$library" ]; then
  registry="$work/registry.reg"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Console]\n"FullScreen"=dword:00000000\n' > "$registry"
  value() { grep -A20 -F '[HKEY_CURRENT_USER\Console]' "$registry" 2>/dev/null | grep '^"FullScreen"' || echo "(no FullScreen value)"; }
  has_key() { grep -qF '[HKEY_CURRENT_USER\Console]' "$registry" && echo present || echo absent; }

  echo
  echo "--- host build, registry file $registry"
  for flag in 1 1 2 0; do
    before=$(value)
    result=$(KIT_REGISTRY="$registry" "$caller" "$library" "$flag")
    echo "  FullScreen before: $before   SetConsoleFullScreenMode($flag) = $result   after: $(value)"
  done
  echo
  echo "--- host build, no Console key"
  printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n' > "$registry"
  result=$(KIT_REGISTRY="$registry" "$caller" "$library" 1)
  echo "  SetConsoleFullScreenMode(1) = $result; Console key in the file afterwards: $(has_key)"
  echo "  (the key was created volatile: it ends with the process, like a hive that is unloaded)"
else
  echo "(host build not found at $ROOT/host: skipped)"
fi

dll="$ROOT/win64/console_setting/Corvitt.dll"
wcaller="$ROOT/win64/tests/console_setting/corvitt_caller.exe"
if [ -f "$dll" ] && [ -f "$wcaller" ] && [ -d "$ROOT/win64/wineprefix" ]; then
  echo
  echo "--- win64 build under Wine, HKCU\\Console in the prefix $ROOT/win64/wineprefix"
  cp "$dll" "$wcaller" "$work/"
  WINEPREFIX="$ROOT/win64/wineprefix" PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=tests/windows python3 - "$work" <<'PY'
import os, re, sys
import winekit

work = sys.argv[1]
dll = winekit.windows_path(os.path.join(work, "Corvitt.dll"))
caller = os.path.join(work, "corvitt_caller.exe")


def value():
    out = winekit.reg("query", "HKCU\\Console", "/v", "FullScreen")
    match = re.search(r"FullScreen\s+(REG_\w+)\s+(\S+)", out.stdout.decode("latin-1"))
    return "%s %s" % match.groups() if match else "(no FullScreen value)"


winekit.start_server()
try:
    original = value()
    winekit.reg("add", "HKCU\\Console", "/v", "FullScreen", "/t", "REG_DWORD", "/d", "0", "/f")
    for flag in (1, 1, 0):
        before = value()
        result = winekit.run([caller, dll, str(flag)]).stdout.decode().strip()
        print("  FullScreen before: %-16s SetConsoleFullScreenMode(%d) = %s   after: %s" % (before, flag, result, value()))
    if original.startswith("(no"):
        winekit.reg("delete", "HKCU\\Console", "/v", "FullScreen", "/f")
    else:
        kind, data = original.split()
        winekit.reg("add", "HKCU\\Console", "/v", "FullScreen", "/t", kind, "/d", data, "/f")
    print("  (the prefix's value is back as it was: %s)" % value())
finally:
    winekit.stop_server()
PY
else
  echo
  echo "(win64 build or its Wine prefix not found under $ROOT/win64: the Wine part is skipped)"
fi
