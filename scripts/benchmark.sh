#!/usr/bin/env bash
# Measures the real program under Wine, with nothing else running: CPU over one Game Mode
# sequence (read from the Linux side, /proc), each pause against its nominal length, time
# from start to the window, peak resident set, executable sizes; and the same sequence with
# a build whose wait spins, for the ratio. Prints a table. Run on demand; not a test.
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh >/dev/null
bash scripts/build.sh >/dev/null
cmake --build --preset win64 --target pause_bench >/dev/null
cmake --preset win64-spin >/dev/null && cmake --build --preset win64-spin --target Kestrane >/dev/null
export KESTRANE_WINEPREFIX="$root/build/wineprefix"
scripts/wine-prefix "$KESTRANE_WINEPREFIX"
xvfb-run -a -s "-screen 0 800x600x24" bash scripts/benchmark-run.sh "$root"
