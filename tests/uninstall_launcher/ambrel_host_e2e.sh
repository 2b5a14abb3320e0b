#!/usr/bin/env bash
# ambrel_host_e2e.sh AMBREL: the host build of Ambrel, copied into a temporary
# installation folder beside uninst.ini, run against a registry file
# (KIT_REGISTRY). On success it must start the registered sample uninstaller
# (a script that records its arguments and its current directory) and end
# with 0 while that still runs; on each failure it must end with 255 (-1)
# after the one notice (KIT_MESSAGEBOX_LOG), starting nothing. uninst.ini and
# the registry file must be unchanged after every run.
set -uo pipefail
ambrel="$1"
work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel_e2e_XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

install="$work/Zelmar Kit"
mkdir -p "$install" "$work/uninstaller" "$work/elsewhere" "$work/notices"
cp "$ambrel" "$install/Ambrel"
record="$work/record.txt"

# The sample uninstaller: records its arguments one per line and its current
# directory, then runs on for a while before it marks its end.
cat >"$work/uninstaller/uninstall.sh" <<EOF
#!/bin/sh
{ pwd; for a in "\$@"; do printf '<%s>\n' "\$a"; done; } >"$record.tmp"
mv "$record.tmp" "$record"
sleep 3
touch "$record.done"
EOF
chmod +x "$work/uninstaller/uninstall.sh"

key='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zelmar Kit 1.0'
write_registry() {  # write_registry UNINSTALLSTRING-IN-REG-FORM
  printf 'REGEDIT4\n\n[%s]\n"DisplayName"="Zelmar Kit"\n"UninstallString"=%s\n\n' "$key" "$1" >"$work/registry.reg"
}
reg_string() {  # the text as a quoted .reg string
  local s=${1//\\/\\\\}
  printf '"%s"' "${s//\"/\\\"}"
}

# run_ambrel: runs the installed launcher from another directory, checks the
# file and the registry are unchanged; sets $code.
run_ambrel() {
  rm -f "$record" "$record.done" "$work/boxes.log"
  cp "$install/uninst.ini" "$work/uninst.before" 2>/dev/null || rm -f "$work/uninst.before"
  cp "$work/registry.reg" "$work/registry.before"
  (cd "$work/elsewhere" && KIT_REGISTRY="$work/registry.reg" KIT_MESSAGEBOX_LOG="$work/boxes.log" \
     "$install/Ambrel")
  code=$?
  if [ -f "$work/uninst.before" ]; then
    cmp -s "$work/uninst.before" "$install/uninst.ini" || fail "$1: uninst.ini changed"
  else
    [ ! -e "$install/uninst.ini" ] || fail "$1: uninst.ini created"
  fi
  cmp -s "$work/registry.before" "$work/registry.reg" || fail "$1: registry file changed"
}

expect_started() {  # expect_started CASE EXPECTED-RECORD
  local what="$1" expected="$2"
  [ "$code" -eq 0 ] || fail "$what: exit code $code, expected 0"
  [ ! -s "$work/boxes.log" ] || fail "$what: a message box was shown: $(cat "$work/boxes.log")"
  for _ in $(seq 50); do [ -f "$record" ] && break; sleep 0.1; done
  if [ ! -f "$record" ]; then fail "$what: the uninstaller did not start"; return; fi
  [ "$(cat "$record")" = "$expected" ] || fail "$what: uninstaller saw
$(cat "$record")
expected
$expected"
}

expect_notice() {  # expect_notice CASE
  local what="$1"
  [ "$code" -eq 255 ] || fail "$what: exit code $code, expected 255"
  sleep 0.3
  [ ! -e "$record" ] || fail "$what: something was started"
  if [ ! -s "$work/boxes.log" ]; then fail "$what: no message box"; return; fi
  cp "$work/boxes.log" "$work/notices/$what.log"
}

# Each notice log must hold exactly one box: the failure notice. Checked in
# one go, as a JSON parser takes a while to start.
check_notices() {
  local problems
  problems=$(python3 - "$work/notices"/*.log <<'PY'
import json, sys
want = {"caption": "Error", "style": 16, "language": 0,
        "text": "Unable to locate information required for initializing uninstallation. "
                "Use 'Control Panel' -> 'Add/Remove Programs' to uninstall this product."}
for path in sys.argv[1:]:
    boxes = [json.loads(line) for line in open(path) if line.strip()]
    if len(boxes) != 1:
        print("%s: %d message boxes" % (path, len(boxes)))
        continue
    for field, value in want.items():
        if boxes[0].get(field) != value:
            print("%s: %s is %r" % (path, field, boxes[0].get(field)))
PY
)
  [ -z "$problems" ] || fail "notices: $problems"
}

# 1. Success: the command line as registered, unquoted path without blanks.
printf '[Info]\r\nProductName=Zelmar Kit 1.0\r\nVersion=1.0\r\n' >"$install/uninst.ini"
write_registry "$(reg_string "$work/uninstaller/uninstall.sh /S \"/log=a b.txt\"")"
run_ambrel success
expect_started success "$work/elsewhere
</S>
</log=a b.txt>"
[ ! -e "$record.done" ] || fail "success: Ambrel waited for the uninstaller to end"

# 2. Success: a quoted program path with blanks.
mkdir -p "$work/Zelmar Uninstaller"
cp "$work/uninstaller/uninstall.sh" "$work/Zelmar Uninstaller/uninstall.sh"
write_registry "$(reg_string "\"$work/Zelmar Uninstaller/uninstall.sh\" -x")"
run_ambrel "quoted path"
expect_started "quoted path" "$work/elsewhere
<-x>"

# 3. Success: the same path unquoted. It is handed over unchanged, and the
# platform's rules for an unquoted path with blanks find the program.
write_registry "$(reg_string "$work/Zelmar Uninstaller/uninstall.sh -x")"
run_ambrel "unquoted path with blanks"
expect_started "unquoted path with blanks" "$work/elsewhere
<-x>"

# 4. Failures: each shows the notice and ends with -1.
write_registry "$(reg_string "$work/uninstaller/uninstall.sh /S")"
printf '[Info]\nProductName=Another Product\n' >"$install/uninst.ini"
run_ambrel "no uninstall key"; expect_notice "no uninstall key"

printf '[info]\nProductName=Zelmar Kit 1.0\n' >"$install/uninst.ini"
run_ambrel "section name in other case"; expect_notice "section name in other case"

printf '[Info]\nProductName=Zelmar Kit 1.0\n' >"$install/uninst.ini"
write_registry '""'
run_ambrel "empty UninstallString"; expect_notice "empty UninstallString"

write_registry "$(reg_string "$work/uninstaller/missing.sh /S")"
run_ambrel "program missing"; expect_notice "program missing"

rm "$install/uninst.ini"
write_registry "$(reg_string "$work/uninstaller/uninstall.sh /S")"
run_ambrel "no uninst.ini"; expect_notice "no uninst.ini"

check_notices
[ "$(ls "$work/notices" | wc -l)" -eq 5 ] || fail "expected 5 notices, have $(ls "$work/notices" | wc -l)"

# Let the first uninstaller finish before the folder goes.
for _ in $(seq 50); do [ -e "$record.done" ] && break; sleep 0.1; done
sleep 0.2

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all host end-to-end checks passed"
