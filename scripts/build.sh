#!/usr/bin/env bash
# build.sh [host|asan|win32|win64|all]: configures and builds the named builds
# under build/ (or $KIT_BUILD_ROOT). Used by demo.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
JOBS=${KIT_JOBS:-$(nproc)}
ROOT=${KIT_BUILD_ROOT:-build}   # where the build folders go

configure_and_build() {
  local name="$1"; shift
  cmake --no-warn-unused-cli -S . -B "$ROOT/$name" -G Ninja "$@" >/dev/null
  cmake --build "$ROOT/$name" -j "$JOBS"
}

build_one() {
  case "$1" in
    host)  configure_and_build host -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIT_VALGRIND=ON ;;
    asan)  configure_and_build asan -DCMAKE_BUILD_TYPE=Debug -DKIT_SANITIZE=ON \
             -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKIT_FUZZ=ON ;;
    win32) configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel ;;
    win64) configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    *) echo "build.sh: unknown build '$1'" >&2; exit 2 ;;
  esac
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(all)
for t in "${targets[@]}"; do
  if [ "$t" = all ]; then
    for b in host asan win32 win64; do build_one "$b"; done
  else
    build_one "$t"
  fi
done
