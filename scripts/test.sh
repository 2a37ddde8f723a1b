#!/usr/bin/env bash
# The quick start's test command (and CI's): install what is missing, build,
# run every test, and run the benchmark once on its small tree (its times
# are printed, not judged; it fails only when a run goes wrong).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j 2
BUILD_DIR=$build_dir "$root/bench/run.sh" --rounds 1 --no-wait --remove S
