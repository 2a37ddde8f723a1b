#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR), two jobs at a time:
# everything, or only the targets named in $BUILD_TARGETS.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
generator=()
if command -v ninja >/dev/null; then generator=(-G Ninja); fi
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
elif [[ $# -gt 0 ]]; then
  cmake "$build_dir" "$@"
fi
targets=()
for target in ${BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build_dir" -j "${JOBS:-2}" "${targets[@]}"
