#!/usr/bin/env bash
# Installs what building and testing the installer needs on Debian 12: only the packages that are
# missing, with apt-get, as root (or through sudo when not root).
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  cmake ninja-build make googletest
  wine wine64 xvfb x11-apps xdotool imagemagick
  mscompress liblnk-utils python3
  clang libclang-rt-14-dev
  gcc libc6-dev
)

missing=()
for pkg in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}"
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
