#!/usr/bin/env bash
# check_pe.sh FILE [options]: checks a Windows binary of the shipping build.
#   --dll                 FILE must be a DLL (without it: must not be one)
#   --subsystem N         expected subsystem number (default 2, Windows GUI)
#   --pe32plus            expect PE32+ (64-bit) instead of PE32
#   --export NAME@ORD     NAME is exported undecorated at ordinal ORD (repeatable)
#   --stdcall-ret BYTES   every ret of each --export function pops BYTES bytes
#   --import FUNCTION     FUNCTION is among the imported functions (repeatable)
#   --objdump PATH        objdump that reads PE files (default: $OBJDUMP or
#                         i686-w64-mingw32-objdump)
# Imports must come only from KERNEL32, USER32, ADVAPI32 and msvcrt.
# Prints one "FAIL: ..." line per failed check (all checks run) and ends
# with 1 if any failed, 0 if none did, 2 on bad usage.
set -uo pipefail

usage() { echo "usage: check_pe.sh FILE [--dll] [--subsystem N] [--pe32plus] [--export NAME@ORD]... [--stdcall-ret BYTES] [--import FUNCTION]... [--objdump PATH]" >&2; exit 2; }

file="" want_dll=0 subsystem=2 magic=010b stdcall_ret=""
exports=() imports=()
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
while [ $# -gt 0 ]; do
  case "$1" in
    --dll) want_dll=1 ;;
    --subsystem) subsystem="$2"; shift ;;
    --pe32plus) magic=020b ;;
    --export) exports+=("$2"); shift ;;
    --stdcall-ret) stdcall_ret="$2"; shift ;;
    --import) imports+=("$2"); shift ;;
    --objdump) objdump="$2"; shift ;;
    -*) usage ;;
    *) [ -z "$file" ] || usage; file="$1" ;;
  esac
  shift || usage
done
[ -n "$file" ] || usage
[ -f "$file" ] || { echo "FAIL: no file $file"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

headers=$("$objdump" -p "$file" 2>&1) || { echo "FAIL: $objdump cannot read $file"; exit 1; }

# Format: the optional header's magic (010b PE32, 020b PE32+).
got_magic=$(awk '$1 == "Magic" { print $2; exit }' <<<"$headers")
[ "$got_magic" = "$magic" ] && pass "magic $got_magic" || fail "magic is '$got_magic', expected $magic"

got_subsystem=$(awk '$1 == "Subsystem" { print $2 + 0; exit }' <<<"$headers")
[ "$got_subsystem" = "$subsystem" ] && pass "subsystem $got_subsystem" ||
  fail "subsystem is '$got_subsystem', expected $subsystem"

# The file header's characteristics: 0x2000 marks a DLL.
characteristics=$(awk '$1 == "Characteristics" { print $2; exit }' <<<"$headers")
is_dll=$(( (characteristics & 0x2000) != 0 ))
if [ "$want_dll" = 1 ]; then
  [ "$is_dll" = 1 ] && pass "is a DLL" || fail "not a DLL (characteristics $characteristics)"
else
  [ "$is_dll" = 0 ] && pass "is a program" || fail "is a DLL (characteristics $characteristics)"
fi

# Imported DLLs: system DLLs only.
dlls=$(awk '/DLL Name:/ { print $3 }' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll|user32.dll|advapi32.dll|msvcrt.dll) pass "imports $dll" ;;
    *) fail "imports $dll, which is not a system DLL" ;;
  esac
done

# Imported functions: objdump lists them under their DLL as "hint name".
for fn in "${imports[@]}"; do
  if awk -v fn="$fn" '/DLL Name:/ { in_dll = 1 } in_dll && NF >= 2 && $NF == fn { found = 1 } END { exit !found }' <<<"$headers"; then
    pass "imports function $fn"
  else
    fail "does not import $fn"
  fi
done

# Exports. The name table lists "[i] NAME" (i indexes the address table);
# the address table lists "[i] +base[ORD] RVA".
image_base=$(awk '$1 == "ImageBase" { print $2; exit }' <<<"$headers")
names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers")
addresses=$(sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' <<<"$headers")
for spec in "${exports[@]}"; do
  name=${spec%@*} ord=${spec##*@}
  index=$(awk -v n="$name" '{ line = $0; sub(/^[ \t]*\[ *[0-9]+\] */, "", line); if (line == n) { match($0, /\[ *[0-9]+\]/); print substr($0, RSTART + 1, RLENGTH - 2) + 0; exit } }' <<<"$names")
  if [ -z "$index" ]; then
    fail "no export named exactly '$name'"
    continue
  fi
  read -r got_ord rva < <(awk -v i="$index" '{ if (match($0, /^[ \t]*\[ *[0-9]+\]/) && substr($0, RSTART, RLENGTH) ~ "\\[ *" i "\\]$") { match($0, /base\[ *[0-9]+\]/); o = substr($0, RSTART + 5, RLENGTH - 6) + 0; print o, $NF == "RVA" ? $(NF - 2) : $NF; exit } }' <<<"$addresses")
  if [ "$got_ord" = "$ord" ]; then pass "export $name at ordinal $ord"; else fail "export $name is at ordinal '$got_ord', expected $ord"; fi

  if [ -n "$stdcall_ret" ]; then
    # Disassemble the function from its exported address up to the next
    # symbol; every return must pop the arguments.
    start=$(printf '0x%x' $((0x$image_base + 0x$rva)))
    body=$("$objdump" -d --start-address="$start" --stop-address=$((start + 0x4000)) "$file" |
           awk 'BEGIN { n = 0 } /^[0-9a-f]+ <.*>:$/ { n++; if (n > 1) exit; next } n == 1 { print }')
    rets=$(grep -E $'\t''ret[lq]?( |$)' <<<"$body" | sed -E 's/.*\t(ret[lq]?)[ ]*(.*)$/\1 \2/')
    want=$(printf '$0x%x' "$stdcall_ret")
    if [ -z "$rets" ]; then
      fail "$name: no ret found in its code"
    elif bad=$(grep -v -x -E "ret[lq]? \\$want" <<<"$rets"); then
      fail "$name: returns with '$(head -1 <<<"$bad")', expected 'ret $want'"
    else
      pass "$name: every ret is 'ret $want' ($(wc -l <<<"$rets") found)"
    fi
  fi
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed for $file"; exit 1; }
echo "all checks passed for $file"
