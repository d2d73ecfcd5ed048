#!/usr/bin/env bash
# Installs what building and testing need, only what is missing, and says what it installs.
# With --no-wine32 (the demo) the 32-bit half of Wine is left out. A package index that
# cannot be read is tried once more and then left aside: what it holds back fails loudly
# where it is required, and wine32 alone is skipped, saying so.
set -euo pipefail
want_wine32=1
[ "${1:-}" = "--no-wine32" ] && want_wine32=0

packages=(
  cmake ninja-build g++ libgtest-dev libgmock-dev googletest
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  mingw-w64-tools binutils-mingw-w64
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick x11-utils zip python3 clang
  zlib1g-dev fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# A mirror caught mid-sync serves an index of the wrong size: once more, then go on with
# what could be read.
update_index() {
  "${sudo_cmd[@]}" apt-get update -qq && return 0
  echo "install-deps: the package index could not be read whole; trying once more" >&2
  "${sudo_cmd[@]}" apt-get update -qq && return 0
  echo "install-deps: warning: part of the package index could not be read; going on with the rest" >&2
}
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  update_index
  if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    echo "install-deps: error: could not install ${missing[*]}; these are required" >&2
    exit 1
  fi
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
wine32_installed() { bash "$here/has-wine32"; }
i386_in_use() { dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; }
if [ "$want_wine32" -eq 0 ]; then
  :
elif bash "$here/runs-32bit"; then
  if wine32_installed; then
    echo "install-deps: this kernel runs 32-bit programs; wine32 is installed, the i686 build is tested too"
  else
    echo "install-deps: this kernel runs 32-bit programs: adding the i386 architecture and installing wine32"
    added=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo_cmd[@]}" dpkg --add-architecture i386
      added=1
    fi
    update_index
    if DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
      echo "install-deps: done"
    else
      echo "install-deps: WARNING: wine32 could not be installed (see apt's lines above):" \
        "the i686 build's Windows and end-to-end tests will be SKIPPED" >&2
      if [ "$added" -eq 1 ] && ! i386_in_use; then
        "${sudo_cmd[@]}" dpkg --remove-architecture i386
        echo "install-deps: the i386 architecture was taken back (nothing of it was installed)" >&2
      fi
    fi
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
