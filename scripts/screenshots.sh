#!/usr/bin/env bash
# Makes the README's pictures (docs/*.png) from the real main window and
# options window, shown under Xvfb with settings kept in memory, on a copy of
# the sample tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh" xvfb xauth
"$root/scripts/build.sh"
cmake --build "$build_dir" -j "${JOBS:-2}" --target pelorin2-screenshots

# Inside the build folder, so the folder list shows nothing but the project.
work=$build_dir/screenshots-run
rm -rf "$work"
mkdir -p "$work"
runtime=$(mktemp -d /tmp/pelorin-xdg.XXXXXX)
trap 'rm -rf "$work" "$runtime"' EXIT
cp -r "$root/samples" "$work/Pictures"
mkdir -p "$root/docs"
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime
xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build_dir/bin/pelorin2-screenshots" "$root/docs" "$work/Pictures"
