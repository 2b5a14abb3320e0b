#!/usr/bin/env bash
# check_pe_selftest.sh OBJDUMP PROGRAM DLL PROBE: shows that check_pe.sh
# catches each kind of fault, on a real program and DLL of the build and on
# PROBE (a DLL with a cdecl export that imports GDI32). Each row names the
# options and a message check_pe.sh must print while ending with 1.
set -uo pipefail
here=$(dirname "$0")
objdump="$1" program="$2" dll="$3" probe="$4"
failures=0

expect_fail() {
  local message="$1"; shift
  local output code
  output=$(bash "$here/check_pe.sh" --objdump "$objdump" "$@" 2>&1)
  code=$?
  if [ "$code" = 1 ] && grep -qF -- "$message" <<<"$output"; then
    echo "ok: check_pe.sh $* -> $message"
  else
    echo "FAIL: check_pe.sh $* ended with $code without '$message':"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

expect_fail "FAIL: not a DLL" "$program" --dll
expect_fail "FAIL: is a DLL" "$dll"
expect_fail "FAIL: subsystem is '2', expected 3" "$program" --subsystem 3
expect_fail "FAIL: magic is '010b', expected 020b" "$program" --pe32plus
expect_fail "FAIL: does not import RegCreateKeyExA" "$program" --import RegCreateKeyExA
expect_fail "FAIL: export SetConsoleFullScreenMode is at ordinal '1', expected 2" "$dll" --dll --export SetConsoleFullScreenMode@2
expect_fail "FAIL: no export named exactly 'SetConsoleFullScreenMode@4'" "$dll" --dll --export SetConsoleFullScreenMode@4@1
expect_fail "expected 'ret \$0x8'" "$dll" --dll --export SetConsoleFullScreenMode@1 --stdcall-ret 8
expect_fail "FAIL: imports GDI32.dll, which is not a system DLL" "$probe" --dll
expect_fail "FAIL: ProbeCdecl: returns with 'ret '" "$probe" --dll --export ProbeCdecl@1 --stdcall-ret 4
expect_fail "FAIL: no file" "$program.missing"

[ "$failures" -eq 0 ] && echo "all checks passed" || { echo "$failures check(s) failed"; exit 1; }
