#!/usr/bin/env bash
# check_icon.sh EXE ICO: EXE carries the application icon as icon group 1
# with exactly the 16x16, 32x32 and 48x48 images of ICO (the icon file the
# build compiled in). Uses icoutils (wrestool, icotool).
set -uo pipefail
exe="$1" ico="$2"
work=$(mktemp -d "${TMPDIR:-/tmp}/ambrel_icon_XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

resources=$(wrestool -l "$exe" 2>&1) || { echo "FAIL: wrestool cannot read $exe: $resources"; exit 1; }
echo "$resources"
groups=$(grep -c -- '--type=14 ' <<<"$resources")
[ "$groups" -eq 1 ] || fail "expected one icon group, found $groups"
grep -q -- '--type=14 --name=1 ' <<<"$resources" || fail "no icon group named 1"

wrestool -x --type=14 --name=1 -o "$work/group1.ico" "$exe" || fail "cannot extract icon group 1"
sizes=$(icotool -l "$work/group1.ico" 2>&1 | sed -n 's/.*--width=\([0-9]*\) --height=\([0-9]*\).*/\1x\2/p' | sort -n | tr '\n' ' ')
[ "$sizes" = "16x16 32x32 48x48 " ] || fail "icon group 1 has images '$sizes', expected '16x16 32x32 48x48 '"

# The images themselves are those of the icon file.
mkdir -p "$work/built" "$work/source"
icotool -x -o "$work/built" "$work/group1.ico" && icotool -x -o "$work/source" "$ico" || fail "cannot unpack the icons"
for size in 16 32 48; do
  built=$(ls "$work/built"/*_"${size}x${size}"x*.png 2>/dev/null)
  source=$(ls "$work/source"/*_"${size}x${size}"x*.png 2>/dev/null)
  if [ -z "$built" ] || [ -z "$source" ]; then fail "no ${size}x${size} image to compare"; continue; fi
  cmp -s "$built" "$source" || fail "the ${size}x${size} image differs from $ico"
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed for $exe"; exit 1; }
echo "icon group 1 with 16x16, 32x32 and 48x48 images: ok"
