#!/usr/bin/env bash
# Installs what building and testing need, only what is missing, and says what it installs.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  mingw-w64-tools binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick x11-utils zip python3 clang
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "install-deps: done"
else
  echo "install-deps: everything needed is installed"
fi

# libFuzzer comes with clang's runtime package, named after its version (14 on Debian 12).
clang_major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)
if ! dpkg-query -W -f='${Status}' "libclang-rt-$clang_major-dev" 2>/dev/null | grep -q 'install ok installed'; then
  echo "install-deps: installing libclang-rt-$clang_major-dev (libFuzzer for clang $clang_major)"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "libclang-rt-$clang_major-dev" >/dev/null
fi

# The 32-bit half of Wine runs the i686 build's tests, but only where the kernel runs 32-bit
# programs: elsewhere it makes the 'wine' command try a loader that cannot run.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine32_installed() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; }
if bash "$here/runs-32bit"; then
  if wine32_installed; then
    echo "install-deps: this kernel runs 32-bit programs; wine32 is installed, the i686 build is tested too"
  else
    echo "install-deps: this kernel runs 32-bit programs: adding the i386 architecture and installing wine32"
    dpkg --print-foreign-architectures | grep -qx i386 || "${sudo_cmd[@]}" dpkg --add-architecture i386
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null
    echo "install-deps: done"
  fi
elif wine32_installed; then
  echo "install-deps: warning: this kernel cannot run 32-bit programs, yet wine32 is installed; the 'wine' command may fail" >&2
else
  echo "install-deps: this kernel cannot run 32-bit programs: wine32 is not installed, the i686 build is built and checked only"
fi

# A user without privileges, for the tests of a folder that the player may not write: as
# root, Wine ignores file permissions.
if ! id -u kestrane-player >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
    echo "install-deps: adding the user kestrane-player (for the tests of a folder it may not write)"
    "${sudo_cmd[@]}" useradd --system --create-home --shell /usr/sbin/nologin kestrane-player
  else
    echo "install-deps: cannot add the user kestrane-player without root; those tests are skipped" >&2
  fi
fi
