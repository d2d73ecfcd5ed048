#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests natively, then the
# Windows tests and the end-to-end tests of the real program under Wine and Xvfb.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
start=$(date +%s)

bash scripts/install-deps.sh
bash scripts/build.sh

echo "== unit tests (native, with sanitizers)"
ctest --preset host

echo "== Windows and end-to-end tests (under Wine and Xvfb)"
export KESTRANE_WINEPREFIX="$root/build/wineprefix"
scripts/wine-prefix "$KESTRANE_WINEPREFIX"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  ctest --preset win64; rc=$?
  for prefix in "$KESTRANE_WINEPREFIX" "$PWD/build/wineprefix-144dpi"; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  exit $rc' || status=$?

echo "== all tests took $(( $(date +%s) - start )) s"
exit $status
