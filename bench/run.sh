#!/usr/bin/env bash
# Measures pelorin2-cli index against bench/limit, the lower bound, on one of
# the generated trees, in interleaved rounds (limit, pelorin2-cli, limit, ...),
# and prints every situation as a ratio to the limit of the same round. Then
# the desktop application's run against pelorin2-cli's, both with their
# default number of threads: pelorin2 is started offscreen with
# PELORIN2_AUTORUN=FOLDER, indexes FOLDER and quits (no person involved).
#
#   bench/run.sh [--rounds N] [--no-wait] [--remove] [--window-only] S|M|L
#     --rounds N  counted rounds after the warm-up round (default 5)
#     --window-only  only the desktop window against pelorin2-cli
#     --no-wait   reuse a tree at once instead of waiting a minute after its
#                 pages were removed (see fresh_copy); first runs then cost
#                 more, for the limit too; for a quick check such as CI's
#     --remove    delete the generated trees afterwards (they are kept and
#                 reused otherwise)
#   BUILD_DIR     the build to measure (default build/); run the build first
#   BENCH_DIR     where the trees go (default $BUILD_DIR/bench-trees)
#
# Times are judged against the targets in the printed table only; the exit
# status is 1 when a run failed or rewrote what it must not, not when it was
# slow, so a small preset can run in CI on any machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
rounds=5
remove=no
preset=
fresh_after=65
window_only=no
usage() {
  echo "usage: bench/run.sh [--rounds N] [--no-wait] [--remove] [--window-only] S|M|L" >&2
  exit 2
}
while [[ $# -gt 0 ]]; do
  case $1 in
    --rounds) [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage; rounds=$2; shift 2 ;;
    --no-wait) fresh_after=0; shift ;;
    --remove) remove=yes; shift ;;
    --window-only) window_only=yes; shift ;;
    S|M|L) preset=$1; shift ;;
    *) usage ;;
  esac
done
[[ -n $preset ]] || usage

cli=$build_dir/bin/pelorin2-cli
gui=$build_dir/bin/pelorin2  # optional: not built with PELORIN_BUILD_GUI=OFF
limit=$build_dir/bench/limit
tree_gen=$build_dir/bench/tree_gen
for tool in "$cli" "$limit" "$tree_gen"; do
  [[ -x $tool ]] || { echo "missing $tool: build first (scripts/build.sh)" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (Debian package time)" >&2; exit 2; }

bench_dir=${BENCH_DIR:-$build_dir/bench-trees}
mkdir -p "$bench_dir"
bench_dir=$(cd "$bench_dir" && pwd)
page=index.html

# Every first run gets a copy of the tree on which no page was removed for a
# minute. On ext4 without a journal (this machine's disk) a removed file's
# inode counts as recently deleted for 60 seconds and is skipped when a new
# file is made, one look-up per skipped inode: a first run right after the
# pages were removed costs far more than a real first run, by an amount that
# depends on what ran in the minute before. So each preset has several
# identical copies, used in turn; a copy's pages are removed right after its
# round, and it is used again only when that removal is old enough.
case $preset in  # copies: about a minute of rounds; MB and inodes: per copy
  S) copies=2 big_preset=BIG10K big_copies=2 tree_mb=60 tree_inodes=27000 ;;
  M) copies=16 big_preset=BIG100K big_copies=10 tree_mb=100 tree_inodes=235000 ;;
  L) copies=4 big_preset=BIG100K big_copies=10 tree_mb=450 tree_inodes=1110000 ;;
esac
case $big_preset in
  BIG10K) big_mb=5 big_inodes=10100 ;;
  BIG100K) big_mb=15 big_inodes=100100 ;;
esac

# Generated once, under a temporary name, so a half-made tree is never reused.
make_tree() {  # PRESET FOLDER MB INODES
  [[ -d $2 ]] && return
  local avail_mb avail_inodes
  avail_mb=$(df --output=avail -m "$bench_dir" | tail -1 | tr -d ' ')
  avail_inodes=$(df --output=iavail "$bench_dir" | tail -1 | tr -d ' ')
  if (( avail_mb < $3 + 500 || avail_inodes < $4 + 10000 )); then
    echo "not enough room in $bench_dir for $1: need $3 MB and $4 inodes," \
         "have $avail_mb MB and $avail_inodes" >&2
    exit 2
  fi
  echo "making tree $1 in $2 ..." >&2
  rm -rf "$2.partial"
  "$tree_gen" make "$1" "$2.partial" >/dev/null
  mv "$2.partial" "$2"
  touch -d @0 "$2.removed"  # nothing was ever removed from it
}
trees=() bigs=()
for (( i = 1; i <= copies; ++i )); do trees+=("$bench_dir/$preset.$i"); done
for (( i = 1; i <= big_copies; ++i )); do bigs+=("$bench_dir/$big_preset.$i"); done
for t in "${trees[@]}"; do make_tree "$preset" "$t" "$tree_mb" "$tree_inodes"; done
for t in "${bigs[@]}"; do make_tree "$big_preset" "$t" "$big_mb" "$big_inodes"; done

# Removes a copy's pages and notes when, in the copy's .removed file.
retire() {
  local removed
  removed=$("$tree_gen" clean "$1" "$page")
  sync
  if (( removed > 0 )); then touch "$1.removed"; fi
}
# The next copy of a kind (trees or bigs) in turn, waiting until its pages
# were removed long enough ago.
declare -A next_copy=([trees]=0 [bigs]=0)
fresh_copy() {  # KIND -> sets $copy
  local -n list=$1
  copy=${list[${next_copy[$1]}]}
  next_copy[$1]=$(( (next_copy[$1] + 1) % ${#list[@]} ))
  local age=$(( $(date +%s) - $(stat -c %Y "$copy.removed") ))
  if (( age < fresh_after )); then
    echo "  waiting $(( fresh_after - age )) s for $(basename "$copy") to age" >&2
    sleep $(( fresh_after - age ))
  fi
}
for t in "${trees[@]}" "${bigs[@]}"; do retire "$t"; done  # pages of an earlier run
read -r folders entries < <("$tree_gen" count "${trees[0]}")
read -r _ big_entries < <("$tree_gen" count "${bigs[0]}")

work=$(mktemp -d "$bench_dir/run-XXXXXX")
trap 'rm -rf "$work"' EXIT
settings=$work/settings.ini
"$cli" --settings "$settings" options reset
set_title() { "$cli" --settings "$settings" options set PageTitle "$1"; }
# The same options with a page per picture, from the shipped picture
# template without its two tags that read every picture's header (the tree's
# pictures are not real ones): the row compares writing the pages with the
# limit writing the same files.
picture_settings=$work/pictures.ini
cp "$settings" "$picture_settings"
"$cli" --settings "$picture_settings" options set PicsInHtml 1
grep -v -e '<!--#imageinfo-->' -e '<!--#imagepagetitle-->' \
  "$("$cli" --settings "$picture_settings" options get PictureTemplate)" >"$work/picture.htm"
"$cli" --settings "$picture_settings" options set PictureTemplate "$work/picture.htm"
# The window's run opens no page and leaves the window to its autorun exit.
"$cli" --settings "$settings" options set OpenIndexWhenDone 0

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# measure NAME COMMAND...: one timed run after a sync, so that writing back
# the previous run's pages does not land in this one. Appends the wall time
# in seconds and the peak RSS in KiB to NAME's series when the round counts.
measure() {
  local name=$1; shift
  sync
  local start=$EPOCHREALTIME
  if ! /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>"$work/err.txt"; then
    fail "$name: $* exited non-zero: $(head -c 500 "$work/err.txt")"
  fi
  local end=$EPOCHREALTIME
  if (( counted )); then
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.6f\n", e - s }' >>"$work/$name.t"
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt" >>"$work/$name.rss"
  fi
}
picture_pages_written() { grep -o '[0-9]* picture pages written' "$work/out.txt" | cut -d' ' -f1; }
pages_written() { awk '/pages written/ { for (i = 1; i <= NF; ++i) if ($i == "pages") print $(i - 1) }' "$work/out.txt"; }
# Inode and modification time of every page: equal snapshots mean nothing was rewritten.
snapshot() { find "$1" -name "$page" -printf '%i %T@ %p\n' | sort | md5sum; }
# The bytes of every page in path order, the same for identical copies.
tree_sum() { (cd "$1" && find . -name "$page" -print0 | sort -z | xargs -0 cat | md5sum); }

# One thread unless a situation names more, so the limit compares like with like.
cli_index=("$cli" --settings "$settings" index --yes --jobs 1)
# Both front ends as a person starts them: the default number of threads.
cli_default=("$cli" --settings "$settings" index --yes)
# Followed by PELORIN2_AUTORUN=FOLDER "$gui" --settings "$settings".
gui_env=(env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/xdg")
have_gui=no
if [[ -x $gui ]]; then have_gui=yes; mkdir -m 700 "$work/xdg"; fi
pages_in() { find "$1" -name "$page" -type f | wc -l; }
# The window's own time from Create index to the end of the run, which it
# prints ("Indexed N folders in S s"), as series NAME.
note_run_time() {
  if (( counted )); then awk '/ in [0-9.]+ s$/ { print $(NF - 1) }' "$work/out.txt" >>"$work/$1.t"; fi
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "$preset: $folders folders, $entries entries; one folder of $big_entries files;" \
     "1 warm-up round and $rounds counted" >&2
for (( round = 0; round <= rounds; ++round )); do
  counted=$(( round > 0 ))
  echo "round $round of $rounds$( (( round == 0 )) && echo ' (warm-up)')" >&2
  if [[ $window_only == no ]]; then

  # 1. First run: no page exists.
  fresh_copy trees
  measure limit_first "$limit" "$copy"
  measure limit_skip "$limit" --compare "$copy"
  retire "$copy"
  fresh_copy trees
  set_title "Bench A"; measure cli_first "${cli_index[@]}" "$copy"
  [[ $(pages_written) == "$folders" ]] || fail "first run wrote $(pages_written) of $folders pages"

  # 2. Unchanged tree: nothing may be rewritten.
  before=$(snapshot "$copy")
  measure cli_unchanged "${cli_index[@]}" "$copy"
  [[ $(pages_written) == 0 ]] || fail "unchanged re-run wrote $(pages_written) pages"
  [[ $(snapshot "$copy") == "$before" ]] || fail "unchanged re-run touched pages"

  # 3. An option that changes every page (same length, so every page is read
  #    and compared before it is replaced), then the limit over those pages.
  set_title "Bench B"; measure cli_change "${cli_index[@]}" "$copy"
  [[ $(pages_written) == "$folders" ]] || fail "option change wrote $(pages_written) of $folders pages"
  (( round == 0 )) && one_thread_sum=$(tree_sum "$copy")
  measure limit_overwrite "$limit" "$copy"
  retire "$copy"

  # First run on two threads, against the one- and two-thread limit.
  fresh_copy trees
  measure limit_first_j2 "$limit" --jobs 2 "$copy"
  retire "$copy"
  fresh_copy trees
  measure cli_first_j2 "${cli_index[@]}" --jobs 2 "$copy"
  if (( round == 0 )) && [[ $(tree_sum "$copy") != "$one_thread_sum" ]]; then
    fail "--jobs 2 pages differ from --jobs 1 pages"
  fi
  retire "$copy"

  # 5. A page per picture as well, first run and unchanged re-run.
  fresh_copy trees
  measure limit_pictures "$limit" --pictures "$copy"
  retire "$copy"
  fresh_copy trees
  picture_index=("$cli" --settings "$picture_settings" index --yes --jobs 1)
  measure cli_pictures "${picture_index[@]}" "$copy"
  [[ $(picture_pages_written) -gt 0 ]] || fail "picture run wrote no picture page"
  measure cli_pictures_unchanged "${picture_index[@]}" "$copy"
  [[ $(picture_pages_written) == 0 ]] || fail "unchanged picture re-run wrote $(picture_pages_written) picture pages"
  retire "$copy"

  # 4. One large folder.
  fresh_copy bigs
  measure limit_big "$limit" "$copy"
  retire "$copy"
  fresh_copy bigs
  measure cli_big "${cli_index[@]}" "$copy"
  retire "$copy"
  fi

  # The desktop window against the command line, first run and unchanged
  #    re-run, each with its default number of threads, on two fresh copies
  #    taken before either first run and retired only after both, so that
  #    neither first run comes right after a removal of the other's pages;
  #    who goes first alternates from round to round.
  if [[ $have_gui == yes ]]; then
    set_title "Bench A"
    fresh_copy trees; cli_copy=$copy
    fresh_copy trees; gui_copy=$copy
    for who in $( (( round % 2 )) && echo "gui cli" || echo "cli gui"); do
      if [[ $who == gui ]]; then
        measure gui_first "${gui_env[@]}" PELORIN2_AUTORUN="$gui_copy" "$gui" --settings "$settings"
        note_run_time gui_first_run
        [[ $(pages_in "$gui_copy") == "$folders" ]] ||
          fail "window run wrote $(pages_in "$gui_copy") of $folders pages"
      else
        measure cli_default "${cli_default[@]}" "$cli_copy"
      fi
    done
    measure gui_unchanged "${gui_env[@]}" PELORIN2_AUTORUN="$gui_copy" "$gui" --settings "$settings"
    note_run_time gui_unchanged_run
    measure cli_default_unchanged "${cli_default[@]}" "$gui_copy"
    retire "$cli_copy"
    retire "$gui_copy"
  fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -g "$work/$1.t" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Median over rounds of A's time divided by B's time of the same round,
# each scaled by a factor (for per-entry costs).
ratio() {  # A B [A_DIVISOR B_DIVISOR]
  paste "$work/$1.t" "$work/$2.t" | awk -v da="${3:-1}" -v db="${4:-1}" '{ print ($1 / da) / ($2 / db) }' |
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
max_rss_mib() { cat "$@" | sort -n | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "**missed**" }'; }
sec() { awk -v v="$(median "$1")" 'BEGIN { printf "%.3f s", v }'; }
row() {  # SITUATION CLI_SERIES LIMIT_SERIES LIMIT_LABEL RATIO TARGET
  printf '| %s | %s | %s (%s) | %.2f | <= %s | %s |\n' "$1" "$(sec "$2")" "$(sec "$3")" "$4" "$5" \
    "$6" "$(verdict "$5" "$6")"
}

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
fs=$(df --output=fstype "$bench_dir" | tail -1)
cat <<EOF

Preset $preset: $folders folders, $entries entries; big folder: $big_entries files.
$(date -u '+%Y-%m-%d %H:%M UTC'), $cpu, $(nproc) cores, $fs, Linux $(uname -r).
Median wall time of $rounds rounds after a warm-up; ratios are medians of per-round ratios.
Load average before: $load_before; after: $load_after (other work on the machine skews the --jobs row most).
EOF

if [[ $window_only == no ]]; then
  per_entry_m=$(awk -v t="$(median cli_first)" -v n="$entries" 'BEGIN { printf "%.2f", t / n * 1e6 }')
  per_entry_big=$(awk -v t="$(median cli_big)" -v n="$big_entries" 'BEGIN { printf "%.2f", t / n * 1e6 }')
  big_ratio=$(ratio cli_big cli_first "$big_entries" "$entries")
  cat <<EOF

| situation | pelorin2-cli | limit | ratio | target | |
| --- | --- | --- | --- | --- | --- |
EOF
  row "1. first run" cli_first limit_first "first run" "$(ratio cli_first limit_first)" 1.25
  row "2. unchanged re-run, 0 pages written" cli_unchanged limit_first "first run" \
    "$(ratio cli_unchanged limit_first)" 0.6
  row "3. re-run after an option change" cli_change limit_overwrite "overwrite run" \
    "$(ratio cli_change limit_overwrite)" 1.1
  printf '| 4. %s-file folder, per entry | %s us | %s tree: %s us (pelorin2-cli first run) | %.2f | <= 1.5 | %s |\n' \
    "$big_entries" "$per_entry_big" "$preset" "$per_entry_m" "$big_ratio" "$(verdict "$big_ratio" 1.5)"
  row "5. first run, a page per picture too" cli_pictures limit_pictures "same files" \
    "$(ratio cli_pictures limit_pictures)" 1.25
  row "5. unchanged re-run with picture pages, 0 written" cli_pictures_unchanged limit_pictures \
    "same files" "$(ratio cli_pictures_unchanged limit_pictures)" 0.6
  row "first run, --jobs 2" cli_first_j2 limit_first "first run, 1 thread" \
    "$(ratio cli_first_j2 limit_first)" 0.8
  rss=$(max_rss_mib "$work"/cli_{first,unchanged,change,first_j2}.rss)
  printf '| peak RSS, %s tree (every run above) | %s MiB | %s MiB | | <= 32 MiB | %s |\n' "$preset" \
    "$rss" "$(max_rss_mib "$work"/limit_{first,skip,overwrite,first_j2}.rss)" "$(verdict "$rss" 32)"
  rss=$(max_rss_mib "$work"/cli_big.rss)
  printf '| peak RSS, %s-file folder | %s MiB | %s MiB | | <= 32 MiB | %s |\n' "$big_entries" \
    "$rss" "$(max_rss_mib "$work"/limit_big.rss)" "$(verdict "$rss" 32)"
  cat <<EOF

The limit itself, for comparison (ratio to its first run):
| limit run | time | ratio |
| --- | --- | --- |
EOF
  for series in limit_skip:"compare and skip unchanged pages" limit_overwrite:"rename over existing pages" \
                limit_first_j2:"first run, 2 threads"; do
    printf '| %s | %s | %.2f |\n' "${series#*:}" "$(sec "${series%%:*}")" "$(ratio "${series%%:*}" limit_first)"
  done
  printf '| %s-file folder | %s | %.2f (pelorin2-cli / limit) |\n' "$big_entries" "$(sec limit_big)" \
    "$(ratio cli_big limit_big)"
fi

if [[ $have_gui == yes ]]; then
  cat <<EOF

The desktop window (pelorin2, offscreen) against pelorin2-cli index (the whole
process), both with the default number of threads ($(nproc) cores); the window
from its start to its exit, and from Create index to the end of the run:
| situation | pelorin2 | pelorin2-cli | ratio | target | |
| --- | --- | --- | --- | --- | --- |
EOF
  for pair in gui_first_run:cli_default:"first run, Create index to the end" \
              gui_first:cli_default:"first run, start to exit" \
              gui_unchanged_run:cli_default_unchanged:"unchanged re-run, Create index to the end" \
              gui_unchanged:cli_default_unchanged:"unchanged re-run, start to exit"; do
    IFS=: read -r a b label <<<"$pair"
    r=$(ratio "$a" "$b")
    printf '| window, %s | %s | %s | %.2f | <= 1.15 | %s |\n' "$label" "$(sec "$a")" "$(sec "$b")" "$r" \
      "$(verdict "$r" 1.15)"
  done
fi

echo
echo "Every counted round, in seconds:"
printf '| round |'; for f in "$work"/*.t; do printf ' %s |' "$(basename "$f" .t)"; done; echo
printf '| --- |'; for f in "$work"/*.t; do printf ' --- |'; done; echo
for (( r = 1; r <= rounds; ++r )); do
  printf '| %d |' "$r"
  for f in "$work"/*.t; do printf ' %.3f |' "$(sed -n "${r}p" "$f")"; done
  echo
done

if [[ $remove == yes ]]; then
  for t in "${trees[@]}" "${bigs[@]}"; do rm -rf "$t" "$t.removed"; done
fi
if (( failures > 0 )); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
