#!/usr/bin/env bash
# Makes docs/gallery-index.png and docs/gallery-picture.png: the sample
# gallery's index page and one picture page, drawn by headless Chromium.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/run-samples.sh" >/dev/null
tree=$build_dir/samples-run/tree
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
shoot() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$profile" --window-size=900,640 \
    --virtual-time-budget=5000 \
    --screenshot="$2" "file://$1" >/dev/null 2>&1
}
shoot "$tree/Holiday/index.html" "$root/docs/gallery-index.png"
shoot "$tree/Holiday/sea.webp.html" "$root/docs/gallery-picture.png"
echo "Wrote docs/gallery-index.png and docs/gallery-picture.png"
