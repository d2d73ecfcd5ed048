#!/usr/bin/env bash
# Lays out one build's release: DIST/ARCH/Kestrane.exe with its .sha256, and the zip named with
# the version the build was made with (BUILD/version.txt, from the project's version).
# The same commit gives the same bytes: the file's time in the zip is the commit's, in UTC,
# and zip stores no extra attributes.
set -euo pipefail
build=$1 dist=$2 arch=$3
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
zip_name="Kestrane-$(cat "$build/version.txt")-$arch.zip"
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)
mkdir -p "$dist/$arch"
cp "$build/bin/Kestrane.exe" "$dist/$arch/Kestrane.exe"
touch -d "@$stamp" "$dist/$arch/Kestrane.exe"
(cd "$dist/$arch" && sha256sum Kestrane.exe > Kestrane.exe.sha256 &&
  rm -f "../$zip_name" && TZ=UTC zip -q -X "../$zip_name" Kestrane.exe)
echo "$zip_name"
