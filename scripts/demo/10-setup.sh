#!/usr/bin/env bash
# Demo: the setup launcher on an embedded sample installer, as built for the
# host and (under Wine) for 64-bit Windows. Shows the notice the user sees
# (English and Russian system), the installer's command line and directory,
# and the launcher's exit code with and without an installer beside it.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(realpath -m "${KIT_BUILD_ROOT:-build}")
work=$(mktemp -d "${TMPDIR:-/tmp}/kit-demo-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "=== Setup launcher (setup.exe) ==="

# The notice of the last message box in a KIT_MESSAGEBOX_LOG file, as bytes.
box_field() {
  python3 -c 'import json,sys; box=json.loads(open(sys.argv[1]).read().splitlines()[-1]); sys.stdout.buffer.write(box[sys.argv[2]].encode("latin-1") if isinstance(box[sys.argv[2]], str) else str(box[sys.argv[2]]).encode())' "$1" "$2"
}

host_setup="$ROOT/host/setup_launcher/setup"
if [ -x "$host_setup" ]; then
  folder="$work/Zelmar Setup"
  mkdir -p "$folder"
  cp "$host_setup" "$folder/setup"
  # The sample installer: says what it was started with, runs a moment.
  cat > "$folder/_setup.EXE" <<'INSTALLER'
#!/bin/sh
{
  printf '  installer started: %s\n' "$0"
  printf '  its arguments:    '; for a in "$@"; do printf ' [%s]' "$a"; done; printf '\n'
  printf '  its directory:     %s\n' "$PWD"
} > "$(dirname "$0")/record.txt"
sleep 1
exit 3
INSTALLER
  chmod +x "$folder/_setup.EXE"

  for run in "1033 2 English /S INSTALLDIR=/opt/zelmar" "1049 1 Russian"; do
    set -- $run
    lcid=$1 platform=$2 language=$3; shift 3
    echo
    echo "--- host build, $language system (KIT_LCID=$lcid, platform $platform), arguments: $*"
    rm -f "$work/boxes.jsonl" "$folder/record.txt"
    start=$(date +%s.%N)
    code=0
    (cd / && KIT_LCID=$lcid KIT_PLATFORM_ID=$platform KIT_MESSAGEBOX_LOG="$work/boxes.jsonl" \
       "$folder/setup" "$@" 2>/dev/null) || code=$?
    end=$(date +%s.%N)
    echo "  message box \"$(box_field "$work/boxes.jsonl" caption)\" (style $(box_field "$work/boxes.jsonl" style)):"
    # The Russian notice is code page 1251: shown here converted to UTF-8.
    box_field "$work/boxes.jsonl" text | iconv -f CP1251 -t UTF-8 | tr -d '\r' | sed 's/^/  | /'
    echo
    cat "$folder/record.txt"
    printf '  launcher ended with %d after %.1f s (the installer ran 1 s and ended with 3)\n' "$code" \
      "$(python3 -c "print($end - $start)")"
  done

  echo
  echo "--- host build, no _setup.EXE beside the launcher"
  rm -f "$folder/_setup.EXE" "$work/boxes.jsonl"
  code=0
  KIT_LCID=1033 KIT_MESSAGEBOX_LOG="$work/boxes.jsonl" "$folder/setup" /S 2>/dev/null || code=$?
  echo "  message boxes shown: $(wc -l < "$work/boxes.jsonl"); exit code $code (-1)"
else
  echo "(host build not found at $ROOT/host: skipped)"
fi

# The 64-bit Windows build under Wine, with the recorder test program as the
# installer. Wine's relay trace shows the calls the launcher made.
win_setup="$ROOT/win64/setup_launcher/setup.exe"
recorder="$ROOT/win64/tests/windows/kit_recorder.exe"
if [ -f "$win_setup" ] && [ -f "$recorder" ] && [ -d "$ROOT/win64/wineprefix" ]; then
  folder="$work/Wine Setup"
  mkdir -p "$folder"
  cp "$win_setup" "$folder/setup.exe"
  cp "$recorder" "$folder/_setup.EXE"
  WINEPREFIX="$ROOT/win64/wineprefix" PYTHONDONTWRITEBYTECODE=1 PYTHONPATH=tests/windows python3 - "$folder" "$work/record.txt" <<'PY'
import os, sys, time
import winekit

folder, record = sys.argv[1], sys.argv[2]
winekit.start_server()
try:
    with winekit.Relay("MessageBoxExA;CreateProcessA", "setup.exe"):
        for language, locale, args in [("English", "C", ["/S", "INSTALLDIR=C:\\Program Files\\Zelmar"]),
                                       ("Russian", "ru_RU.UTF-8", [])]:
            print()
            print("--- win64 build under Wine, %s system, arguments: %s" % (language, " ".join(args)))
            if os.path.exists(record):
                os.remove(record)
            start = time.monotonic()
            result = winekit.run([os.path.join(folder, "setup.exe")] + args, timeout=90, WINEDEBUG="+relay",
                                 LC_ALL=locale, LANG=locale, KIT_RECORD=winekit.windows_path(record))
            took = time.monotonic() - start
            calls = winekit.calls(result.stderr)
            box = [c for c in calls if c.function == "MessageBoxExA"][0]
            text = box.args[1].text.decode("cp1251").replace("\r", "")
            print('  message box "%s" (style %d):' % (box.args[2].text.decode(), box.args[3].low))
            print("\n".join("  | " + line for line in text.split("\n")) + (" ..." if box.args[1].cut else ""))
            start_call = [c for c in calls if c.function == "CreateProcessA"][0]
            print("  CreateProcessA command line: %s" % start_call.args[1].text.decode())
            print("  CreateProcessA directory:    %s" % start_call.args[7].text.decode())
            for line in open(record, encoding="latin-1").read().splitlines():
                print("  installer recorded: " + line)
            print("  launcher ended with %d after %.1f s (the installer ran 1.5 s and ended with 7)"
                  % (result.returncode, took))
finally:
    winekit.stop_server()
PY
  echo "  (Wine shortens long texts in its trace: '...' marks where it stopped. Wine itself puts"
  echo "   quotes around a program path with blanks in the command line the installer receives.)"
else
  echo
  echo "(win64 build or its Wine prefix not found under $ROOT/win64: the Wine part is skipped)"
fi
