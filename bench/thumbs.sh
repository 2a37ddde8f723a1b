#!/usr/bin/env bash
# Measures the thumbnails an indexing run makes (pelorin2-cli index with
# MakeThumbnails, on a copy of the picture set) against vipsthumbnail and
# ImageMagick's mogrify on the same pictures, in interleaved rounds, and
# prints every time as a ratio to vipsthumbnail with one libvips thread in the
# same round.
#
#   bench/thumbs.sh [--rounds N] [--small] [--folders] [--no-peers]
#     --rounds N  counted rounds after the warm-up round (default 3)
#     --small     the small picture set (picture_gen --small), for a quick check
#     --folders   the set's first 100 JPEGs spread over a tree, as photos are:
#                 40 folders of one picture and 30 folders of two
#     --no-peers  leave mogrify out (it takes longer than everything else)
#   BUILD_DIR     the build to measure (default build/); run the build first
#   BENCH_DIR     where pictures and thumbnails go (default $BUILD_DIR/bench-pictures)
#
# The exit status is 1 when a run failed or made the wrong thumbnails, never
# because it was slow, so the small set can run in CI on any machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
rounds=3
set_name=full
gen_args=()
peers=yes
layout=flat
usage() { echo "usage: bench/thumbs.sh [--rounds N] [--small] [--folders] [--no-peers]" >&2; exit 2; }
while [[ $# -gt 0 ]]; do
  case $1 in
    --rounds) [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage; rounds=$2; shift 2 ;;
    --small) set_name=small; gen_args=(--small); shift ;;
    --folders) layout=folders; shift ;;
    --no-peers) peers=no; shift ;;
    *) usage ;;
  esac
done

cli=$build_dir/bin/pelorin2-cli
picture_gen=$build_dir/bench/picture_gen
for tool in "$cli" "$picture_gen"; do
  [[ -x $tool ]] || { echo "missing $tool: build first (scripts/build.sh)" >&2; exit 2; }
done
# The real programs, not wrappers found earlier on the PATH.
vipsthumbnail=/usr/bin/vipsthumbnail
vipsheader=/usr/bin/vipsheader
mogrify=/usr/bin/mogrify
for tool in /usr/bin/time "$vipsthumbnail" "$vipsheader" "$mogrify"; do
  [[ -x $tool ]] || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 2; }
done

source "$root/bench/picture_set.sh"
picture_set "${BENCH_DIR:-$build_dir/bench-pictures}" "$set_name" "$picture_gen" "${gen_args[@]}"

work=$(mktemp -d)
# The folder the runs index: the pictures, linked (an index run only reads
# them), plus the pages and the thumbnails subfolders each run writes.
tree=$bench_dir/tree-$set_name-$layout
trap 'rm -rf "$work" "$tree"' EXIT
rm -rf "$tree"
if [[ $layout == flat ]]; then
  cp -al "$pictures" "$tree"
  find "$pictures" -maxdepth 1 -type f | sort >"$work/pictures.list"
else
  mkdir -p "$tree"
  find "$pictures" -maxdepth 1 -type f -name '*.jpg' | sort | head -100 >"$work/pictures.list"
  n=0
  while IFS= read -r picture; do
    folder=$(printf 'd%02d' $(( n < 40 ? n : 40 + (n - 40) / 2 )))
    mkdir -p "$tree/$folder"
    ln "$picture" "$tree/$folder/"
    n=$(( n + 1 ))
  done <"$work/pictures.list"
fi
picture_count=$(wc -l <"$work/pictures.list")
folder_count=$(find "$tree" -type d | wc -l)
fail() { echo "thumbs.sh: $*" >&2; exit 1; }
plural() { if (( $1 == 1 )); then echo "$1 $2"; else echo "$1 $2s"; fi; }

# The thumbnails go into a subfolder, as vipsthumbnail's and mogrify's go
# into a folder of their own: the picture folder the run lists is the same
# for every run, and each tool writes the same number of files into an empty
# folder. The page is one small file; no picture pages.
settings=$work/settings.ini
"$cli" --settings "$settings" options reset >/dev/null
for key in UseThumbnails MakeThumbnails ThumbnailSubdir; do
  "$cli" --settings "$settings" options set "$key" 1
done
"$cli" --settings "$settings" options set ThumbnailSize 160
"$cli" --settings "$settings" options set FileTypes "jpg jpeg jpe png gif webp"
thumb_folder=$("$cli" --settings "$settings" options get ThumbnailFolder)
prefix=$("$cli" --settings "$settings" options get ThumbnailPrefix)
counted=0

# measure NAME COMMAND...: one timed run after a sync. Appends the wall time
# in seconds, the CPU time (user + system) and the peak RSS in KiB to NAME's
# series when the round counts. On a shared machine the CPU time tells what
# the wall time cannot: whether --jobs 2 split the work or waited for a core.
measure() {
  local name=$1; shift
  sync
  local start=$EPOCHREALTIME
  if ! /usr/bin/time -f '%M %U %S' -o "$work/rss.txt" "$@" >"$work/out.txt" 2>"$work/err.txt"; then
    fail "$name: $* exited non-zero: $(head -c 500 "$work/err.txt")"
  fi
  local end=$EPOCHREALTIME
  if (( counted )); then
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", e - s }' >>"$work/$name.t"
    tail -1 "$work/rss.txt" | awk '{ print $1 }' >>"$work/$name.rss"
    tail -1 "$work/rss.txt" | awk '{ print $2 + $3 }' >>"$work/$name.cpu"
  fi
}

# vipsthumbnail takes many pictures in one call; one call per format, so that
# each thumbnail keeps its picture's format, with the save options of the
# run's thumbnail maker (src/thumbnails/vips_thumbnail_maker.cpp).
run_vipsthumbnail() {  # OUT
  local ext
  for ext in jpg png gif webp; do
    local files
    mapfile -t files < <(grep "\\.$ext\$" "$picture_list")
    [[ ${#files[@]} -gt 0 ]] || continue
    local options='[strip]'
    [[ $ext == jpg ]] && options='[Q=85,interlace,optimize_coding,strip]'
    "$vipsthumbnail" --size 160 -o "$1/%s.$ext$options" "${files[@]}"
  done
}
export -f run_vipsthumbnail
picture_list=$work/pictures.list
export picture_list vipsthumbnail

fresh() { rm -rf "$bench_dir/out-$1"; mkdir -p "$bench_dir/out-$1"; echo "$bench_dir/out-$1"; }
# A run on an empty thumbnail folder, and its summary line.
index_fresh() {  # NAME JOBS
  find "$tree" \( -name "$thumb_folder" -o -name index.html \) -prune -exec rm -rf {} +
  measure "$1" "$cli" --settings "$settings" index --yes --jobs "$2" "$tree"
  grep -q "^Indexed $(plural "$folder_count" folder): $(plural "$folder_count" page) written, 0 unchanged, $(plural "$picture_count" thumbnail) made, 0 up to date, 0 failed" \
    "$work/out.txt" || fail "$1: $(cat "$work/out.txt" "$work/err.txt")"
}
# Every picture has its thumbnail, named with the prefix, in its picture's
# format, its longer side 160 pixels; the turned pictures came out upright.
check_thumbs() {  # NAME
  local count
  count=$(find "$tree" -path "*/$thumb_folder/*" -type f ! -name '.*' | wc -l)
  (( count == picture_count )) || fail "$1: $count thumbnails for $picture_count pictures"
  local wrong
  wrong=$(find "$tree" -path "*/$thumb_folder/*" -type f ! -name '.*' -name "$prefix*" |
    xargs -d '\n' "$vipsheader" 2>&1 | awk '
      { name = $1; sub(/:$/, "", name); split($2, size, "x"); loader = $NF
        ext = tolower(name); sub(/.*\./, "", ext)
        want = (ext == "jpg") ? "jpegload" : ext "load"
        long = (size[1] > size[2]) ? size[1] : size[2]
        upright = (name !~ /turned[0-9]+-[^\/]*$/) || size[1] < size[2]
        if (NF < 3 || loader != want || long != 160 || !upright) print }' | head -5) || true
  [[ -z $wrong ]] || fail "$1: wrong thumbnails: $wrong"
}

run_round() {
  local out
  out=$(fresh vips1)
  measure vips1 env VIPS_CONCURRENCY=1 bash -c 'run_vipsthumbnail "$0"' "$out"
  index_fresh cli1 1
  check_thumbs "pelorin2-cli --jobs 1"
  measure rerun "$cli" --settings "$settings" index --yes --jobs 1 "$tree"
  grep -q "^Indexed $(plural "$folder_count" folder): 0 pages written, $folder_count unchanged, 0 thumbnails made, $picture_count up to date, 0 failed" \
    "$work/out.txt" || fail "the re-run made thumbnails again: $(cat "$work/out.txt")"
  index_fresh cli2 2
  check_thumbs "pelorin2-cli --jobs 2"
  out=$(fresh vips2)
  measure vips2 env VIPS_CONCURRENCY=2 bash -c 'run_vipsthumbnail "$0"' "$out"
  if [[ $peers == yes ]]; then
    out=$(fresh magick)
    # jpeg:size lets libjpeg decode at a fraction of the size, as libvips does.
    measure magick "$mogrify" -path "$out" -define jpeg:size=320x320 -thumbnail 160x160 \
      -quality 85 -interlace JPEG -strip $(cat "$picture_list")
  fi
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
for name in vips1 vips2 magick; do rm -rf "$bench_dir/out-$name"; done

median_of() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
median() { median_of <"$work/$1.t"; }
ratio() { paste "$work/$1.t" "$work/$2.t" | awk '{ print $1 / $2 }' | median_of; }
sec() { awk -v v="$(median "$1")" 'BEGIN { printf "%.3f s", v }'; }
cpu_sec() { awk -v v="$(median_of <"$work/$1.cpu")" 'BEGIN { printf "%.2f s", v }'; }
rss() { sort -n "$work/$1.rss" | tail -1 | awk '{ printf "%.1f MiB", $1 / 1024 }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "**missed**" }'; }
row() {  # LABEL NAME BASE TARGET
  local r
  r=$(ratio "$2" "$3")
  printf '| %s | %s | %s | %s | %.3f | %s | %s |\n' "$1" "$(sec "$2")" "$(cpu_sec "$2")" \
    "$(rss "$2")" "$r" \
    "${4:-}" "$( [[ -n ${4:-} ]] && verdict "$r" "${4#<= }" )"
}

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
echo
echo "Picture set $set_name, $layout: $picture_count pictures in $(plural "$folder_count" folder), $(xargs -d '\n' du -cm <"$picture_list" | tail -1 | cut -f1) MB."
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $cpu, $(nproc) cores, libvips $(pkg-config --modversion vips 2>/dev/null || echo '?')."
echo "Median wall time of $rounds rounds after a warm-up; ratios are medians of per-round ratios."
echo "Load average before: $load_before; after: $load_after."
echo
echo "| run | time | CPU time | peak RSS | ratio | target | |"
echo "| --- | --- | --- | --- | --- | --- | --- |"
row "vipsthumbnail, 1 libvips thread (the base)" vips1 vips1
row "pelorin2-cli index --jobs 1" cli1 vips1 "<= 1.1"
row "pelorin2-cli index --jobs 2" cli2 vips1 "<= 0.6"
row "pelorin2-cli index --jobs 1, re-run, all up to date (ratio to its first run)" rerun cli1 "<= 0.02"
row "vipsthumbnail, 2 libvips threads" vips2 vips1
if [[ $peers == yes ]]; then row "mogrify -thumbnail 160x160 (ImageMagick 6)" magick vips1; fi
rss_mib=$(sort -n "$work/cli2.rss" | tail -1 | awk '{ print $1 / 1024 }')
echo "| peak RSS, pelorin2-cli index --jobs 2 | | | $(rss cli2) | | <= 256 MiB | $(verdict "$rss_mib" 256) |"
echo
echo "Every counted round, in seconds, with the 1-minute load average at its start:"
names=(vips1 cli1 rerun cli2 vips2)
[[ $peers == yes ]] && names+=(magick)
printf '| round | load |'; printf ' %s |' "${names[@]}"; echo
printf '| --- | --- |'; for name in "${names[@]}"; do printf ' --- |'; done; echo
for (( round = 1; round <= rounds; ++round )); do
  printf '| %d | %s |' "$round" "$(sed -n "${round}p" "$work/load")"
  for name in "${names[@]}"; do printf ' %.3f |' "$(sed -n "${round}p" "$work/$name.t")"; done
  echo
done
