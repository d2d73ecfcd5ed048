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

# One box in each of three languages: a client that holds l2.ini past the restore brings the
# box "Another program is using a file", as a Russian, Korean and Chinese Windows shows it
# (Wine's display language from the locale; fonts-wqy-microhei for the Korean and Chinese).
for language in ru_RU:ru ko_KR:ko zh_CN:zh-Hans; do
  locale=${language%%:*}.UTF-8
  code=${language##*:}
  folder=build/box-$code
  rm -rf "$folder"
  cp -r "$demo" "$folder"
  rm -f "$folder/l2.bak" "$folder/temp.dat" "$folder/standins.log"
  echo 40 > "$folder/l2.hold"
  KESTRANE_WINEPREFIX=$root/build/wineprefix KESTRANE_WINE_LOCALE=$locale xvfb-run -a -s "-screen 0 1024x600x24" bash -c '
    cd "$1/$3"
    "$1/scripts/wine-run" Kestrane.exe >/dev/null 2>&1 &
    "$1/scripts/wine-run" "$1/build/win64/bin/kestrane_probe.exe" wait 20 >/dev/null
    "$1/scripts/wine-run" "$1/build/win64/bin/kestrane_probe.exe" click "Game Mode" >/dev/null
    sleep 28  # the restore at 16 s, then 4 s of trying again before the box
    import -window root -trim +repage "$1/docs/box-$2.png"
    WINEPREFIX="$KESTRANE_WINEPREFIX" wineserver -k' _ "$root" "$code" "$folder"
  echo "docs/box-$code.png"
done
