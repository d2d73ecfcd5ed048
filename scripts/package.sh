#!/usr/bin/env bash
# Lays out one build's release: DIST/ARCH/Kestrane.exe with its .sha256, and the zip.
# The same commit gives the same bytes: the file's time in the zip is the commit's, in UTC,
# and zip stores no extra attributes.
set -euo pipefail
exe=$1 dist=$2 arch=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
mkdir -p "$dist/$arch"
cp "$exe" "$dist/$arch/Kestrane.exe"
touch -d "@$stamp" "$dist/$arch/Kestrane.exe"
(cd "$dist/$arch" && sha256sum Kestrane.exe > Kestrane.exe.sha256 &&
  rm -f "../Kestrane-1.00.0001-$arch.zip" && TZ=UTC zip -q -X "../Kestrane-1.00.0001-$arch.zip" Kestrane.exe)
