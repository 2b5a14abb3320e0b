#!/usr/bin/env bash
# ambrel_wine_e2e.sh AMBREL_EXE RECORDER_EXE WINEPREFIX: the win64
# Ambrel.exe under Wine, in an installation folder beside uninst.ini, with the
# product's uninstall key written into the prefix's registry. The Windows
# calls it makes are read back from Wine's relay trace:
#   success  RegOpenKeyExA of the key with all-access rights, RegQueryValueExA
#            of UninstallString, the key closed, then CreateProcessA with the
#            command line as registered and every other argument defaulted;
#            exit code 0 while the started program (the tests' recorder,
#            standing in for the uninstaller) still runs, in Ambrel's current
#            directory.
#   failure  MessageBoxExA(NULL, the notice, "Error", MB_ICONHAND, 0), exit
#            code -1 (255 as Wine reports it), nothing started.
set -uo pipefail
ambrel="$1" recorder="$2"
export WINEPREFIX="$3" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY  # without a display the notice returns at once
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel_wine_XXXXXX")
product="Zelmar Kit Wine Test"
key="HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
debug_key='HKCU\Software\Wine\Debug'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
quiet() { "$@" </dev/null >/dev/null 2>&1; }

cleanup() {
  quiet "$wine" reg delete "$key" /f
  quiet "$wine" reg delete "$debug_key" /v RelayInclude /f
  quiet "$wine" reg delete "$debug_key" /v RelayFromInclude /f
  quiet "$server" -k
  rm -rf "$work"
}
trap cleanup EXIT

# A persistent server keeps Wine's own start-up programs out of the traces.
bash "$(dirname "$0")/../../scripts/wine-prefix.sh" "$WINEPREFIX"
quiet "$server" -p
quiet "$wine" wineboot
quiet "$wine" reg add "$debug_key" /v RelayInclude /t REG_SZ /f /d \
  'user32.MessageBoxExA;kernel32.CreateProcessA;kernelbase.CreateProcessA;advapi32.RegOpenKeyExA;kernelbase.RegOpenKeyExA;advapi32.RegQueryValueExA;kernelbase.RegQueryValueExA;advapi32.RegCloseKey;kernelbase.RegCloseKey'
quiet "$wine" reg add "$debug_key" /v RelayFromInclude /t REG_SZ /f /d 'ambrel.exe'

install="$work/Zelmar Kit"
mkdir -p "$install" "$work/bin" "$work/elsewhere"
cp "$ambrel" "$install/Ambrel.exe"
cp "$recorder" "$work/bin/uninstaller.exe"
record="$work/record.txt"
export KIT_RECORD
KIT_RECORD=$(winpath "$record")

set_command() { quiet "$wine" reg add "$key" /v UninstallString /t REG_SZ /f /d "$1"; }

# run_ambrel CASE: runs Ambrel.exe from another folder with the relay trace
# on; sets $code and $trace (the relay lines of Ambrel's own calls).
run_ambrel() {
  rm -f "$record"
  [ -f "$install/uninst.ini" ] && cp "$install/uninst.ini" "$work/uninst.before"
  (cd "$work/elsewhere" && WINEDEBUG=+relay "$wine" "$(winpath "$install/Ambrel.exe")" \
     </dev/null >/dev/null 2>"$work/relay.log")
  code=$?
  # Only calls made by Ambrel's own code (its image is loaded at
  # 0x140000000) on its one thread, the first one in the trace: Wine's DLLs,
  # and helper processes that Wine starts with the same debug settings, make
  # calls of their own.
  trace=$(grep -a -E ':Call +[A-Za-z0-9]+\.(MessageBoxExA|CreateProcessA|RegOpenKeyExA|RegQueryValueExA|RegCloseKey)\(.* ret=14[0-9a-f]{7}$' \
          "$work/relay.log")
  local thread=${trace%%:*}
  trace=$(grep "^$thread:" <<<"$trace")
  if [ -f "$install/uninst.ini" ]; then
    cmp -s "$work/uninst.before" "$install/uninst.ini" || fail "$1: uninst.ini changed"
  fi
  echo "--- $1: exit code $code"
  echo "$trace" | grep ':Call'
}

calls() { grep ':Call' <<<"$trace" | sed -E 's/^.*:Call +[A-Za-z0-9]+\.([A-Za-z]+)\(.*/\1/' | tr '\n' ' '; }
# The arguments of the first call of a function, as the trace prints them.
args_of() { grep -m1 -E ":Call +[A-Za-z0-9]+\.$1\(" <<<"$trace" | sed -E 's/^.*:Call +[A-Za-z0-9]+\.[A-Za-z]+\((.*)\) ret=[0-9a-f]+$/\1/'; }
# The trace's form of a text: C escapes for backslash and double quote.
escaped() { local s=${1//\\/\\\\}; printf '%s' "${s//\"/\\\"}"; }
# The trace prints each argument as the full 64-bit register: a null pointer
# is all zeros, while a 32-bit or 16-bit argument is its last 8 or 4 digits.
null='0+'
dword() { printf '[0-9a-f]*%08x' "$1"; }
word() { printf '[0-9a-f]*%04x' "$1"; }

expect_notice() {
  local what="$1"
  [ "$code" -eq 255 ] || fail "$what: exit code $code, expected 255"
  local box
  box=$(args_of MessageBoxExA)
  local text="Unable to locate information required for initializing uninstallation. Use 'Control Panel' -> 'Add/Remove Programs' to uninstall this product."
  [[ "$box" =~ ^${null},[0-9a-f]+\ \"(.*)\",[0-9a-f]+\ \"(.*)\",$(dword 16),$(word 0)$ ]] ||
    fail "$what: no MessageBoxExA(NULL, text, caption, 0x10, 0) in the trace: '$box'"
  [ "${BASH_REMATCH[1]:-}" = "$(escaped "$text")" ] || fail "$what: notice text '${BASH_REMATCH[1]:-}'"
  [ "${BASH_REMATCH[2]:-}" = "Error" ] || fail "$what: caption '${BASH_REMATCH[2]:-}'"
  [ "$(grep -c ':Call.*MessageBoxExA' <<<"$trace")" -eq 1 ] || fail "$what: not exactly one message box"
  sleep 0.5
  [ ! -e "$record" ] || fail "$what: the uninstaller was started"
}

# 1. Success. The command line is handed over as registered.
printf '[Info]\r\nProductName=%s\r\n' "$product" >"$install/uninst.ini"
command="$(winpath "$work/bin/uninstaller.exe") /S \"/log=a b.txt\""
set_command "$command"
run_ambrel success
[ "$code" -eq 0 ] || fail "success: exit code $code, expected 0"
grep -q '^ended' "$record" 2>/dev/null && fail "success: Ambrel waited for the uninstaller to end"
[ "$(calls)" = "RegOpenKeyExA RegQueryValueExA RegCloseKey CreateProcessA " ] ||
  fail "success: calls were '$(calls)'"
[[ "$(args_of RegOpenKeyExA)" =~ ^(ffffffff)?80000002,[0-9a-f]+\ \"(.*)\",$(dword 0),$(dword 0xf003f),[0-9a-f]+$ ]] ||
  fail "success: RegOpenKeyExA($(args_of RegOpenKeyExA))"
[ "${BASH_REMATCH[2]:-}" = "$(escaped "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product")" ] ||
  fail "success: key path '${BASH_REMATCH[2]:-}'"
[[ "$(args_of RegQueryValueExA)" =~ ^[0-9a-f]+,[0-9a-f]+\ \"UninstallString\",${null},[0-9a-f]+,[0-9a-f]+,[0-9a-f]+$ ]] ||
  fail "success: RegQueryValueExA($(args_of RegQueryValueExA))"
# Application name null, inheritance off, flags 0, environment and current
# directory null; start-up and process records given.
[[ "$(args_of CreateProcessA)" =~ ^${null},[0-9a-f]+\ \"(.*)\",${null},${null},$(dword 0),$(dword 0),${null},${null},[0-9a-f]*[1-9a-f][0-9a-f]*,[0-9a-f]*[1-9a-f][0-9a-f]*$ ]] ||
  fail "success: CreateProcessA($(args_of CreateProcessA))"
[ "${BASH_REMATCH[1]:-}" = "$(escaped "$command")" ] || fail "success: command line '${BASH_REMATCH[1]:-}'"
grep -q ':Call.*MessageBoxExA' <<<"$trace" && fail "success: a message box was shown"
# The recorder ends after 1.5 s with the line "ended".
for _ in $(seq 100); do grep -q '^ended' "$record" 2>/dev/null && break; sleep 0.1; done
expected_record="cmdline=$command
cwd=$(winpath "$work/elsewhere")
ended"
[ "$(cat "$record" 2>/dev/null)" = "$expected_record" ] ||
  fail "success: the uninstaller recorded '$(cat "$record" 2>/dev/null)', expected '$expected_record'"

# 2. The registered program does not exist: CreateProcessA fails.
set_command "$(winpath "$work/bin/missing.exe") /S"
run_ambrel "program missing"
expect_notice "program missing"
[ "$(calls)" = "RegOpenKeyExA RegQueryValueExA RegCloseKey CreateProcessA MessageBoxExA " ] ||
  fail "program missing: calls were '$(calls)'"

# 3. No uninstall key for the product.
quiet "$wine" reg delete "$key" /f
run_ambrel "no uninstall key"
expect_notice "no uninstall key"
[ "$(calls)" = "RegOpenKeyExA MessageBoxExA " ] || fail "no uninstall key: calls were '$(calls)'"

# 4. No uninst.ini: the registry is not consulted.
rm "$install/uninst.ini"
set_command "$command"
run_ambrel "no uninst.ini"
expect_notice "no uninst.ini"
[ "$(calls)" = "MessageBoxExA " ] || fail "no uninst.ini: calls were '$(calls)'"
[ ! -e "$install/uninst.ini" ] || fail "no uninst.ini: the file was created"

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all Wine end-to-end checks passed"
