#!/usr/bin/env bash
# Builds everything: the native logic and unit tests, and the Windows program for
# 32-bit and 64-bit Windows, then lays out the release in dist/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

for preset in host win32 win64; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

rm -rf dist
for arch in win32 win64; do
  bash scripts/package.sh "build/$arch" "dist" "$arch" >/dev/null
done
(cd dist && sha256sum win32/Kestrane.exe win64/Kestrane.exe ./*.zip > SHA256SUMS)
echo "== release:"
find dist -type f -printf '%8s  %p\n' | sort -k2
