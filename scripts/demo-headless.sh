#!/usr/bin/env bash
# The headless half of the demo, run inside Xvfb: start, screenshot, click, wait, report.
set -euo pipefail
root=$1
demo=$2
run="$root/scripts/wine-run"
probe="$root/build/win64/bin/kestrane_probe.exe"

(cd "$demo" && "$run" Kestrane.exe >/dev/null 2>&1) &
launcher=$!
info=$("$run" "$probe" wait 20)
echo "$info"
geometry=$(sed -n 's/.* frame \([0-9x+-]*\) .*/\1/p' <<<"$info" | head -1)
import -window root -crop "$geometry" +repage "$root/build/demo-screenshot.png"
echo "screenshot: build/demo-screenshot.png"
clicked=$("$run" "$probe" click "Game Mode" | sed -n 's/clicked //p' | tr -d '\r')
echo "clicked \"Game Mode\"; the sequence takes about 16 s"
wait "$launcher" || true
ended=$(date +%s%3N)
WINEPREFIX="$KESTRANE_WINEPREFIX" wineserver -k 2>/dev/null || true

echo
echo "== timeline, seconds after the click"
awk -v t0="$clicked" '{ printf "%6.2f  %s\n", ($1 - t0) / 1000, substr($0, index($0, $2)) }' "$demo/standins.log" \
  | grep -v ' other: \| URL: ' || true
awk -v a="$ended" -v b="$clicked" 'BEGIN { printf "%6.2f  Kestrane ended\n", (a - b) / 1000 }'
echo
echo "== what the client saw in section URL"
grep ' URL: ' "$demo/standins.log" | sed 's/^[0-9]* l2 URL: /  /'
