#!/usr/bin/env bash
# Installs what building and testing need, only what is missing, and says what it installs.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick x11-utils zip python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "install-deps: done"
else
  echo "install-deps: everything needed is installed"
fi

# A 32-bit Wine makes the 'wine' command try a loader that this kernel cannot run.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'install ok installed'; then
  echo "install-deps: warning: wine32 is installed; the 'wine' command may fail" >&2
fi
