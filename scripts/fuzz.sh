#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for its share of SECONDS (default 600) from the seed corpus in the tree.
# Inputs that libFuzzer finds new are kept in build/fuzz/corpus-<target>, not in the tree; a
# failing input is saved in build/fuzz/ as crash-*.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
seconds=${1:-600}
targets=(settings_text_fuzzer patch_step_fuzzer)
share=$(( seconds / ${#targets[@]} ))
(( share > 0 )) || share=1

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
status=0
for target in "${targets[@]}"; do
  corpus="build/fuzz/corpus-$target"
  mkdir -p "$corpus"
  echo "== fuzz: $target for $share s"
  # -fork would need more cores than this machine has; one process per target.
  if ! "build/fuzz/$target" -max_total_time="$share" -max_len=8192 -print_final_stats=1 \
      -artifact_prefix="build/fuzz/" "$corpus" tests/fuzz/corpus > "build/fuzz/$target.log" 2>&1; then
    status=1
    echo "fuzz: $target FAILED; its last lines:"
  fi
  grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|property broken|ERROR|SUMMARY|DONE" "build/fuzz/$target.log" | tail -6
done
[ $status -eq 0 ] && echo "fuzz: no failure" || echo "fuzz: failures found"
exit $status
