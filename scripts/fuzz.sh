#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer into build-fuzz/ (or $FUZZ_BUILD_DIR) and runs
# each on a scratch copy of its seed corpus in fuzz/corpus/, two at a time.
#   FUZZ_SECONDS  time per target (default 60)
#   FUZZ_RUNS     a number of executions per target instead of a time
#   FUZZ_TARGETS  the targets to run (default: all)
# A crash leaves its input beside the logs in the build folder; fails then.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
fuzz_dir=${FUZZ_BUILD_DIR:-$build_dir-fuzz}
read -r -a targets <<< "${FUZZ_TARGETS:-page_generator_fuzzer list_builder_fuzzer read_number_fuzzer file_type_list_fuzzer}"

generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
if [[ ! -f $fuzz_dir/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$fuzz_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DPELORIN_FUZZ=ON -DPELORIN_SANITIZE=ON \
    -DPELORIN_BUILD_GUI=OFF -DBUILD_TESTING=OFF
fi
cmake --build "$fuzz_dir" --target pelorin_fuzzers -j "${JOBS:-2}"

limit=(-max_total_time="${FUZZ_SECONDS:-60}")
if [[ -n ${FUZZ_RUNS:-} ]]; then limit=(-runs="$FUZZ_RUNS"); fi

run_one() {
  local target=$1 scratch log
  scratch=$(mktemp -d)
  log=$fuzz_dir/$target.log
  local args=("${limit[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$fuzz_dir/$target-")
  case $target in
    page_generator_fuzzer | list_builder_fuzzer) args+=(-dict="$root/fuzz/pages.dict") ;;
  esac
  local status=0
  "$fuzz_dir/bin/$target" "${args[@]}" "$scratch" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  if [[ $status -ne 0 ]]; then
    echo "== $target FAILED (log: $log)"
    tail -n 40 "$log"
    return 1
  fi
  echo "== $target: $(grep -E '^Done' "$log")"
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [[ $running -ge ${JOBS:-2} ]]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
while [[ $running -gt 0 ]]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
