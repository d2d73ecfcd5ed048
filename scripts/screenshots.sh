#!/usr/bin/env bash
# Takes the README's screenshots of the window at 96 and 144 DPI under Xvfb, into docs/.
# Needs a build (scripts/build.sh) and the demo folder (scripts/demo.sh).
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
demo=build/demo-client
[ -f "$demo/l2.ini" ] || { echo "run scripts/demo.sh first" >&2; exit 1; }
mkdir -p docs
for dpi in 96 144; do
  prefix="$root/build/wineprefix-${dpi}dpi"
  [ "$dpi" = 96 ] && prefix="$root/build/wineprefix"
  KESTRANE_WINEPREFIX=$prefix KESTRANE_WINE_DPI=$dpi xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    cd "$1/build/demo-client"
    "$1/scripts/wine-run" Kestrane.exe >/dev/null 2>&1 &
    geometry=$("$1/scripts/wine-run" "$1/build/win64/bin/kestrane_probe.exe" wait 20 | sed -n "s/.* frame \([0-9x+-]*\) .*/\1/p")
    sleep 1
    import -window root -crop "$geometry" +repage "$1/docs/screenshot-$2dpi.png"
    "$1/scripts/wine-run" "$1/build/win64/bin/kestrane_probe.exe" info
    WINEPREFIX="$KESTRANE_WINEPREFIX" wineserver -k' _ "$root" "$dpi"
  echo "docs/screenshot-${dpi}dpi.png"
done
