#!/usr/bin/env bash
# Installs every Debian package that the builds, the tests, the demo and the
# benchmark need. Safe to run again: packages already present are skipped.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev
  clang llvm libclang-rt-14-dev valgrind strace
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine64 icoutils
  xvfb x11-apps imagemagick locales xauth xdotool fonts-wine
  libinih-dev libsimpleini-dev
  python3 file
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine needs a Russian locale to show code page 1251 text as Cyrillic.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf8$'; then
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  $SUDO sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
fi
