#!/usr/bin/env bash
# Measures what the gallery options cost: a first run with ModernImages
# (thumbnails of twice the size too), DisplaySize 1600 (a display copy per
# picture, with picture pages) and ShowCaptions, against the thumbnail-only
# run of bench/thumbs.sh on the same pictures, in interleaved rounds; and the
# unchanged re-run of the gallery against its first run.
#
#   bench/gallery.sh [--rounds N] [--small] [--jobs N]
#     --rounds N  counted rounds after the warm-up round (default 3)
#     --small     the small picture set (picture_gen --small), for a quick check
#     --jobs N    threads of every run (default 1)
#   BUILD_DIR     the build to measure (default build/); run the build first
#   BENCH_DIR     where pictures and runs go (default $BUILD_DIR/bench-pictures)
#
# The exit status is 1 when a run failed or made the wrong number of images,
# never because it was slow.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
rounds=3
set_name=full
gen_args=()
jobs=1
usage() { echo "usage: bench/gallery.sh [--rounds N] [--small] [--jobs N]" >&2; exit 2; }
while [[ $# -gt 0 ]]; do
  case $1 in
    --rounds) [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage; rounds=$2; shift 2 ;;
    --small) set_name=small; gen_args=(--small); shift ;;
    --jobs) [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift 2 ;;
    *) usage ;;
  esac
done

cli=$build_dir/bin/pelorin2-cli
picture_gen=$build_dir/bench/picture_gen
for tool in "$cli" "$picture_gen" /usr/bin/time; do
  [[ -x $tool ]] || { echo "missing $tool: build first (scripts/build.sh)" >&2; exit 2; }
done
source "$root/bench/picture_set.sh"
picture_set "${BENCH_DIR:-$build_dir/bench-pictures}" "$set_name" "$picture_gen" "${gen_args[@]}"

work=$(mktemp -d)
tree=$bench_dir/gallery-$set_name
trap 'rm -rf "$work" "$tree"' EXIT
rm -rf "$tree"
cp -al "$pictures" "$tree"  # an index run only reads the pictures
picture_count=$(find "$pictures" -maxdepth 1 -type f | wc -l)
fail() { echo "gallery.sh: $*" >&2; exit 1; }

# Two settings files: thumbnails only, as bench/thumbs.sh runs them, and
# the gallery with every new option on.
thumbs=$work/thumbs.ini
gallery=$work/gallery.ini
for settings in "$thumbs" "$gallery"; do
  "$cli" --settings "$settings" options reset >/dev/null
  for key in UseThumbnails MakeThumbnails ThumbnailSubdir; do
    "$cli" --settings "$settings" options set "$key" 1
  done
  "$cli" --settings "$settings" options set ThumbnailSize 160
  "$cli" --settings "$settings" options set FileTypes "jpg jpeg jpe png gif webp"
done
for key in ModernImages ShowCaptions PicsInHtml ShowPics; do
  "$cli" --settings "$gallery" options set "$key" 1
done
"$cli" --settings "$gallery" options set DisplaySize 1600
thumb_folder=$("$cli" --settings "$thumbs" options get ThumbnailFolder)
counted=0

measure() {  # NAME SETTINGS: one timed run after a sync
  local name=$1 settings=$2
  sync
  local start=$EPOCHREALTIME
  /usr/bin/time -f '%M %U %S' -o "$work/rss.txt" \
    "$cli" --settings "$settings" index --yes --jobs "$jobs" "$tree" >"$work/out.txt" \
    2>"$work/err.txt" || fail "$name exited non-zero: $(head -c 500 "$work/err.txt")"
  local end=$EPOCHREALTIME
  if (( counted )); then
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", e - s }' >>"$work/$name.t"
    awk '{ print $2 + $3 }' "$work/rss.txt" >>"$work/$name.cpu"
    awk '{ print $1 }' "$work/rss.txt" >>"$work/$name.rss"
  fi
}
clean() { find "$tree" \( -name "$thumb_folder" -o -name '*.html' \) -prune -exec rm -rf {} +; }
made() {  # NAME COUNT: the run made COUNT images
  grep -q " $2 thumbnails made, 0 up to date, 0 failed" "$work/out.txt" ||
    fail "$1: $(cat "$work/out.txt" "$work/err.txt")"
}

run_round() {
  clean
  measure thumbs "$thumbs"
  made thumbs "$picture_count"
  clean
  measure gallery "$gallery"
  made gallery $(( 3 * picture_count ))
  measure rerun "$gallery"
  grep -q " 0 thumbnails made, $(( 3 * picture_count )) up to date, 0 failed" "$work/out.txt" &&
    grep -q "0 pages written" "$work/out.txt" ||
    fail "the re-run wrote something: $(cat "$work/out.txt")"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "warm-up round ..." >&2
run_round
counted=1
for (( round = 1; round <= rounds; ++round )); do
  echo "round $round of $rounds ..." >&2
  cut -d' ' -f1 /proc/loadavg >>"$work/load"
  run_round
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

median_of() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { paste "$work/$1.t" "$work/$2.t" | awk '{ print $1 / $2 }' | median_of; }
sec() { awk -v v="$(median_of <"$work/$1.t")" 'BEGIN { printf "%.3f s", v }'; }
cpu_sec() { awk -v v="$(median_of <"$work/$1.cpu")" 'BEGIN { printf "%.2f s", v }'; }
rss() { sort -n "$work/$1.rss" | tail -1 | awk '{ printf "%.1f MiB", $1 / 1024 }'; }
row() {  # LABEL NAME BASE TARGET
  local r
  r=$(ratio "$2" "$3")
  printf '| %s | %s | %s | %s | %.3f | %s | %s |\n' "$1" "$(sec "$2")" "$(cpu_sec "$2")" \
    "$(rss "$2")" "$r" "${4:-}" \
    "$( [[ -n ${4:-} ]] && awk -v r="$r" -v t="${4#<= }" 'BEGIN { print (r <= t) ? "met" : "**missed**" }')"
}

echo
echo "Picture set $set_name: $picture_count pictures, --jobs $jobs."
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores; load average before: $load_before; after: $load_after."
echo "Median wall time of $rounds rounds after a warm-up; ratios are medians of per-round ratios."
echo
echo "| run | time | CPU time | peak RSS | ratio | target | |"
echo "| --- | --- | --- | --- | --- | --- | --- |"
row "thumbnails only (the base)" thumbs thumbs
row "gallery: ModernImages, DisplaySize 1600, ShowCaptions, picture pages" gallery thumbs "<= 2.6"
row "gallery re-run, nothing changed (ratio to its first run)" rerun gallery "<= 0.02"
echo
printf '| round | load | thumbs | gallery | rerun |\n| --- | --- | --- | --- | --- |\n'
for (( round = 1; round <= rounds; ++round )); do
  printf '| %d | %s | %.3f | %.3f | %.3f |\n' "$round" "$(sed -n "${round}p" "$work/load")" \
    "$(sed -n "${round}p" "$work/thumbs.t")" "$(sed -n "${round}p" "$work/gallery.t")" \
    "$(sed -n "${round}p" "$work/rerun.t")"
done
