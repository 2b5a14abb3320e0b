#!/usr/bin/env bash
# The uninstall launcher Ambrel on an embedded sample installation: once with
# the product registered (the uninstaller starts), once without its uninstall
# key (the failure notice). First the host build (registry from a .reg file,
# message boxes logged), then the win64 Ambrel.exe under Wine (registry of the
# build's Wine prefix, calls read from Wine's relay trace).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$(realpath -m "${KIT_BUILD_ROOT:-build}")
host_ambrel="$ROOT/host/uninstall_launcher/Ambrel"
win_ambrel="$ROOT/win64/uninstall_launcher/Ambrel.exe"
# The Wine tests' recorder stands in for the uninstaller: it writes down
# its command line and current directory, runs 1.5 s and writes "ended".
win_uninstaller="$ROOT/win64/tests/windows/kit_recorder.exe"

work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel_demo_XXXXXX")
product="Zelmar Kit 1.0"
key_path="SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
export WINEPREFIX="$ROOT/win64/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml="
debug_key='HKCU\Software\Wine\Debug'
quiet() { "$@" </dev/null >/dev/null 2>&1; }
cleanup() {
  if [ -f "$win_ambrel" ]; then
    WINEDEBUG=-all quiet "$wine" reg delete "HKLM\\$key_path" /f || true
    WINEDEBUG=-all quiet "$wine" reg delete "$debug_key" /v RelayInclude /f || true
    WINEDEBUG=-all quiet "$wine" reg delete "$debug_key" /v RelayFromInclude /f || true
    quiet "$server" -k || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The sample installation: Ambrel beside the uninst.ini the installer wrote.
write_uninst_ini() {
  cat >"$1/uninst.ini" <<'EOF'
; Written by the Zelmar Kit installer. Ambrel reads ProductName from [Info].
[Info]
ProductName=Zelmar Kit 1.0
Version=1.0
Publisher=Zelmar
[Files]
Count=3
EOF
}

say_ini() {
  echo "  uninst.ini beside Ambrel says: $(grep '^ProductName=' "$1/uninst.ini")"
}

echo "=== Uninstall launcher (Ambrel), host build ==="
install="$work/host/Zelmar Kit"
mkdir -p "$install" "$work/host/bin"
cp "$host_ambrel" "$install/Ambrel"
write_uninst_ini "$install"
cat >"$work/host/bin/uninstall.sh" <<EOF
#!/bin/sh
echo "  the sample uninstaller is running with the arguments: \$*"
touch "$work/host/done"
EOF
chmod +x "$work/host/bin/uninstall.sh"
command="$work/host/bin/uninstall.sh /S /lang=en"
reg_command=${command//\\/\\\\}
printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\%s]\n"DisplayName"="Zelmar Kit"\n"UninstallString"="%s"\n\n' \
  "${key_path//\\/\\}" "$reg_command" >"$work/host/registry.reg"

run_host() {
  rm -f "$work/host/boxes.log" "$work/host/done"
  set +e
  KIT_REGISTRY="$work/host/registry.reg" KIT_MESSAGEBOX_LOG="$work/host/boxes.log" "$install/Ambrel"
  code=$?
  set -e
}

echo "Run 1: the product is registered."
say_ini "$install"
echo "  HKLM\\$key_path"
echo "    UninstallString = $command"
run_host
for _ in $(seq 50); do [ -e "$work/host/done" ] && break; sleep 0.1; done
echo "  Ambrel ended with exit code $code."
[ -s "$work/host/boxes.log" ] && echo "  message box: $(cat "$work/host/boxes.log")"

echo "Run 2: the product's uninstall key is missing."
printf 'REGEDIT4\n\n' >"$work/host/registry.reg"
say_ini "$install"
echo "  HKLM\\$key_path does not exist"
run_host
echo "  Ambrel ended with exit code $code (-1 as Linux reports it) after this message box (KIT_MESSAGEBOX_LOG):"
sed 's/^/    /' "$work/host/boxes.log"
[ -e "$work/host/done" ] && echo "  (something was started)"

echo
echo "=== Uninstall launcher (Ambrel.exe), win64 build under Wine ==="
install="$work/wine/Zelmar Kit"
mkdir -p "$install" "$work/wine/bin" "$work/wine/elsewhere"
cp "$win_ambrel" "$install/Ambrel.exe"
cp "$win_uninstaller" "$work/wine/bin/uninstall.exe"
write_uninst_ini "$install"
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
export KIT_RECORD
KIT_RECORD=$(winpath "$work/wine/record.txt")
command="$(winpath "$work/wine/bin/uninstall.exe") /S /lang=en"

unset DISPLAY WAYLAND_DISPLAY  # the notice returns at once; the trace shows it
export WINEDEBUG=-all
quiet "$server" -p
quiet "$wine" wineboot
quiet "$wine" reg add "$debug_key" /v RelayInclude /t REG_SZ /f /d \
  'user32.MessageBoxExA;kernel32.CreateProcessA;kernelbase.CreateProcessA'
quiet "$wine" reg add "$debug_key" /v RelayFromInclude /t REG_SZ /f /d 'ambrel.exe'

run_wine() {
  rm -f "$work/wine/record.txt"
  set +e
  (cd "$work/wine/elsewhere" && WINEDEBUG=+relay "$wine" "$(winpath "$install/Ambrel.exe")" \
     </dev/null >/dev/null 2>"$work/wine/relay.log")
  code=$?
  set -e
}
# The arguments of the call as the relay trace prints them.
traced() { grep -a -m1 -E ":Call +[A-Za-z0-9]+\.$1\(" "$work/wine/relay.log" |
           sed -E 's/^.*:Call +[A-Za-z0-9]+\.[A-Za-z]+\((.*)\) ret=[0-9a-f]+$/\1/' || true; }

echo "Run 1: the product is registered in the Wine prefix."
quiet "$wine" reg add "HKLM\\$key_path" /v UninstallString /t REG_SZ /f /d "$command"
say_ini "$install"
echo "  HKLM\\$key_path"
echo "    UninstallString = $(WINEDEBUG=-all "$wine" reg query "HKLM\\$key_path" /v UninstallString 2>/dev/null |
                            tr -d '\r' | sed -n 's/^ *UninstallString *REG_SZ *//p')"
run_wine
echo "  Ambrel.exe ended with exit code $code after this call (relay trace):"
echo "  CreateProcessA($(traced CreateProcessA))"
for _ in $(seq 100); do grep -q '^ended' "$work/wine/record.txt" 2>/dev/null && break; sleep 0.1; done
if [ -f "$work/wine/record.txt" ]; then
  echo "  the sample uninstaller wrote down:"
  tr -d '\r' <"$work/wine/record.txt" | sed 's/^/    /'
fi

echo "Run 2: the product's uninstall key is missing."
quiet "$wine" reg delete "HKLM\\$key_path" /f
say_ini "$install"
echo "  HKLM\\$key_path does not exist"
run_wine
echo "  Ambrel.exe ended with exit code $code (-1 as Wine reports it to Linux) after this message box (relay trace):"
echo "  MessageBoxExA($(traced MessageBoxExA))"
