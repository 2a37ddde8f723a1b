#!/usr/bin/env bash
# The quick start's main job: install what is missing, build, and index a
# fresh copy of the bundled sample tree with a private settings file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
# Only the command line and the thumbnail module it loads: no test,
# benchmark or window is needed to index the samples.
BUILD_TARGETS="pelorin2-cli pelorin2_thumbnail_module" "$root/scripts/build.sh"

cli=$build_dir/bin/pelorin2-cli
work=$build_dir/samples-run
settings=$work/settings.ini
rm -rf "$work"
mkdir -p "$work"
cp -r "$root/samples" "$work/tree"
"$cli" --settings "$settings" options reset
# The sample tree is a small gallery: pictures with thumbnails in a table,
# captioned, sharp on dense screens, and a page for every picture. The run makes the thumbnails, in a
# "thumbnails" subfolder of every folder.
for key in ShowPics UseThumbnails MakeThumbnails ThumbnailSubdir PicsInHtml ShowCaptions \
  ModernImages; do
  "$cli" --settings "$settings" options set "$key" 1
done
"$cli" --settings "$settings" options set FileTypes "gif png jpg jpeg jpe webp htm html"
"$cli" --settings "$settings" options set PageTitle "Sample gallery"
"$cli" --settings "$settings" options set DynamicTitle 1
"$cli" --settings "$settings" options set Separator " - "
"$cli" --settings "$settings" index --yes "$work/tree"
echo "Open it with: xdg-open '$work/tree/index.html'"
