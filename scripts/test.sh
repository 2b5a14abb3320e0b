#!/usr/bin/env bash
# Runs every test of every build: installs what is missing, builds host,
# sanitizer, win32 and win64, then runs each build's CTest suite (the win64
# suite under Wine, the win32 suite inspects the shipping binaries).
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1
ROOT=${KIT_BUILD_ROOT:-build}
bash scripts/build.sh all || { echo "build failed"; exit 1; }

bash scripts/wine-prefix.sh "$(realpath -m "$ROOT")/win64/wineprefix"

passed=0; failed=0
run_suite() {
  local name="$1" jobs="$2"
  echo "=== tests: $name ==="
  local log="$ROOT/$name/ctest.log"
  (cd "$ROOT/$name" && ctest --output-on-failure -j "$jobs" --timeout 900) 2>&1 | tee "$log"
  local total fails
  total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$log" | tail -1)
  fails=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  if [ -z "$total" ]; then
    if grep -q "No tests were found" "$log"; then return; fi
    failed=$((failed + 1)); return
  fi
  passed=$((passed + total - fails)); failed=$((failed + fails))
}
run_suite host 2
run_suite asan 2
run_suite win32 2
run_suite win64 1
/usr/lib/wine/wineserver -k >/dev/null 2>&1 || true

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
