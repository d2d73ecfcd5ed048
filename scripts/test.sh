#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the unit tests natively, then the
# Windows tests and the end-to-end tests of the real program under Wine, each group in a Wine
# prefix and on an X display of its own, the groups and both builds side by side. Says how
# long each phase took.
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
start=$(date +%s)
phase_start=$start
timings=()
phase_done() {
  local now
  now=$(date +%s)
  timings+=("$(printf '%-44s %4d s' "$1" $((now - phase_start)))")
  phase_start=$now
}

bash scripts/install-deps.sh
phase_done "install"
bash scripts/build.sh
phase_done "builds (native, i686, x86-64, release)"
echo "== the release, built again"
bash scripts/check-reproducible.sh
phase_done "reproducibility (the release built again)"

# A test that cannot run where it is reports itself skipped to CTest: named here, never a pass.
note_skipped() {
  local line
  while IFS= read -r line; do
    timings+=("SKIPPED ($1):$(printf '%s' "$line" | sed -E 's/^[[:space:]]*[0-9]+ - / /; s/ \(Skipped\)$//')")
  done < <(grep -E '\(Skipped\)$' "$2" || true)
}

echo "== unit tests (native, with sanitizers)"
host_log=$(mktemp)
ctest --preset host 2>&1 | tee "$host_log"
note_skipped host "$host_log"
rm -f "$host_log"
phase_done "unit tests and release checks"

echo "== fuzzing the settings text and the patch step (30 s)"
bash scripts/fuzz.sh 30
phase_done "fuzzing"

echo "== Windows and end-to-end tests (under Wine and Xvfb)"
scripts/wine-prefix "$root/build/wineprefix"
scripts/wine-prefix "$root/build/wineprefix-144dpi" 144
skipped=""
if ! bash scripts/runs-32bit; then
  skipped="i686 Windows and end-to-end tests SKIPPED: this kernel cannot run 32-bit programs"
elif ! bash scripts/has-wine32; then
  skipped="i686 Windows and end-to-end tests SKIPPED: wine32 could not be installed (see install-deps above)"
fi
if [ -z "$skipped" ]; then builds="win64 win32"; else builds="win64"; fi
status=0
logs=$(mktemp -d)
declare -A pids
for build in $builds; do
  ( t0=$(date +%s); rc=0
    ctest --preset "$build" -j 4 > "$logs/$build.log" 2>&1 || rc=$?
    echo "$(( $(date +%s) - t0 ))" > "$logs/$build.seconds"; exit $rc ) &
  pids[$build]=$!
done
for build in $builds; do
  rc=0
  wait "${pids[$build]}" || rc=$?
  echo "== $build build"
  cat "$logs/$build.log"
  [ "$rc" -eq 0 ] || status=1
  note_skipped "$build" "$logs/$build.log"
  timings+=("$(printf '%-44s %4d s' "Windows and end-to-end, $build" "$(cat "$logs/$build.seconds")")")
done
rm -rf "$logs"
phase_done "Windows and end-to-end (both builds at once)"
[ -n "$skipped" ] && timings+=("$skipped")

echo "== phases"
printf '  %s\n' "${timings[@]}"
echo "== all tests took $(( $(date +%s) - start )) s"
[ -z "$skipped" ] || echo "== $skipped"
exit $status
