#!/usr/bin/env bash
# Builds the release executables a second time, in build folders of their own, and packs
# them the same way: every byte must equal what dist/ holds, so anyone who builds this
# commit can check a download against SHA256SUMS.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
again=build/reproduce
rm -rf "$again/dist"
status=0
for arch in win32 win64; do
  cmake -S . -B "$again/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$([ $arch = win32 ] && echo i686 || echo x86_64).cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  cmake --build "$again/$arch" --target Kestrane >/dev/null
  zip_name=$(bash scripts/package.sh "$again/$arch" "$again/dist" "$arch")
  for file in "$arch/Kestrane.exe" "$zip_name"; do
    if cmp -s "dist/$file" "$again/dist/$file"; then
      echo "reproducible: $file"
    else
      echo "NOT reproducible: $file differs between two builds" >&2
      status=1
    fi
  done
done
exit $status
