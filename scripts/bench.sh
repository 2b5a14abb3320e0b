#!/usr/bin/env bash
# bench.sh [inibench options]: builds the host build into $KIT_BUILD_ROOT
# (default build/) and runs the INI library's benchmark on its generated
# corpora (5 to 10 minutes on a 2-core machine). The report replaces the
# measured part of bench/RESULTS.md, between its two marker lines; the text
# around the markers is kept. Options are passed to inibench (for instance
# --rounds 7, or --corpus typical for one corpus); with --quick nothing is
# written to bench/RESULTS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=${KIT_BUILD_ROOT:-build}
bash scripts/install-deps.sh
bash scripts/build.sh host

results=bench/RESULTS.md
begin='<!-- inibench output: begin -->'
end='<!-- inibench output: end -->'
report=$(mktemp)
trap 'rm -f "$report"' EXIT

status=0
"$ROOT/host/bench/inibench" --out "$report" "$@" || status=$?
for arg in "$@"; do
  if [ "$arg" = --quick ]; then exit "$status"; fi
done
if [ ! -s "$report" ]; then
  echo "bench.sh: inibench wrote no report" >&2
  exit 1
fi

if ! grep -qF "$begin" "$results" 2>/dev/null; then
  printf '# Benchmark results\n\n%s\n%s\n' "$begin" "$end" >"$results"
fi
{
  sed -n "1,/^$begin\$/p" "$results"
  echo
  echo "Command: \`bash scripts/bench.sh${*:+ $*}\`"
  echo
  cat "$report"
  sed -n "/^$end\$/,\$p" "$results"
} >"$results.new"
mv "$results.new" "$results"
echo "bench.sh: report written to $results"
exit "$status"
