#!/usr/bin/env bash
# Draws the sample tree's pictures into samples/ (bench/picture_gen --samples):
# scenes made in code, the same bytes on every run with the same libvips, so
# they carry no one else's rights. Run it after changing a scene, and commit
# the pictures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/build.sh" >/dev/null
"$build_dir/bench/picture_gen" --samples "$root/samples" >/dev/null
(cd "$root/samples" && find . -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.webp' \) \
  -printf '%s bytes  %P\n' | sort -k3)
