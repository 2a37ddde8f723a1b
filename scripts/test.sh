#!/usr/bin/env bash
# The quick start's test command (and CI's): install what is missing, build,
# and run every test; build the Debian package, install it and index the
# samples with the installed program (scripts/package.sh); run the benchmark
# once on its small tree, the thumbnail and gallery benchmarks once on their
# small picture set and the latency benchmark once on its small tree behind a slow
# FUSE file system (their times are printed, not judged; they fail only when a run
# goes wrong); then the whole suite once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; then every fuzz target for a bounded time
# (scripts/fuzz.sh; FUZZ_SECONDS, default 60 each).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j 2
BUILD_DIR=$build_dir "$root/scripts/package.sh"
BUILD_DIR=$build_dir "$root/bench/run.sh" --rounds 1 --no-wait --remove S
BUILD_DIR=$build_dir "$root/bench/thumbs.sh" --rounds 1 --small
BUILD_DIR=$build_dir "$root/bench/gallery.sh" --rounds 1 --small
# Skipped (and says so) where FUSE cannot mount.
BUILD_DIR=$build_dir "$root/bench/latency.sh" --rounds 1 --small --remove

# The sanitizer build leaves the desktop application out while it has no
# tests of its own to run.
sanitize_dir=${SANITIZE_BUILD_DIR:-$build_dir-sanitize}
gui=OFF
if [[ -f $root/tests/ui/CMakeLists.txt ]]; then gui=ON; fi
BUILD_DIR=$sanitize_dir "$root/scripts/build.sh" -DPELORIN_SANITIZE=ON -DPELORIN_BUILD_GUI=$gui
ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1 \
LSAN_OPTIONS=suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$sanitize_dir" --output-on-failure -j 2

BUILD_DIR=$build_dir "$root/scripts/fuzz.sh"
