#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests natively, then the
# Windows tests and the end-to-end tests of the real program under Wine and Xvfb.
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
start=$(date +%s)

bash scripts/install-deps.sh
bash scripts/build.sh
echo "== the release, built again"
bash scripts/check-reproducible.sh

echo "== unit tests (native, with sanitizers)"
ctest --preset host

echo "== fuzzing the settings text and the patch step (30 s)"
bash scripts/fuzz.sh 30

echo "== Windows and end-to-end tests (under Wine and Xvfb)"
export KESTRANE_WINEPREFIX="$root/build/wineprefix"
scripts/wine-prefix "$KESTRANE_WINEPREFIX"
status=0
if bash scripts/runs-32bit; then builds="win64 win32"; else builds="win64"; fi
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  rc=0
  for build in '"$builds"'; do
    echo "== $build build"
    ctest --preset "$build" || rc=1
  done
  for prefix in "$KESTRANE_WINEPREFIX" "$PWD/build/wineprefix-144dpi"; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
  exit $rc' || status=$?
[ "$builds" = win64 ] && echo "i686 tests skipped: this kernel cannot run 32-bit programs"

echo "== all tests took $(( $(date +%s) - start )) s"
exit $status
