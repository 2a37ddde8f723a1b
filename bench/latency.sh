#!/usr/bin/env bash
# Measures pelorin2-cli index on a file system where every call waits, as on
# an NFS or SMB share or an sshfs mount: the generated tree is mounted through
# bench/latency_fs, which passes every call on after --delay-us. Each round
# runs, for --jobs 1, --jobs 8 and the default (16 on this FUSE file system),
# bench/limit with as many threads (first run, then its re-run that compares
# every page) and pelorin2-cli (first run, then the unchanged re-run), and
# prints medians of the per-round ratios against the targets.
#
#   bench/latency.sh [--rounds N] [--delay-us N] [--small] [--remove]
#     --rounds N    counted rounds after a warm-up round (default 3)
#     --delay-us N  the wait of every call (default 1000)
#     --small       the small tree (40 folders) for a quick check, as in CI
#     --remove      delete the generated tree afterwards
#   BUILD_DIR       the build to measure (default build/)
#   BENCH_DIR       where the tree goes (default $BUILD_DIR/bench-trees)
#
# Where FUSE is missing (no /dev/fuse, or a mount is refused) it says so and
# exits 0. Otherwise the exit status is 1 only when a run failed, rewrote a
# page on the unchanged re-run or wrote other bytes with other threads; times
# are printed, never judged. The file system is unmounted whatever happens.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
rounds=3
delay_us=1000
preset=NET
remove=no
usage() {
  echo "usage: bench/latency.sh [--rounds N] [--delay-us N] [--small] [--remove]" >&2
  exit 2
}
while [[ $# -gt 0 ]]; do
  case $1 in
    --rounds) [[ $# -ge 2 && $2 =~ ^[1-9][0-9]*$ ]] || usage; rounds=$2; shift 2 ;;
    --delay-us) [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || usage; delay_us=$2; shift 2 ;;
    --small) preset=NET_SMALL; shift ;;
    --remove) remove=yes; shift ;;
    *) usage ;;
  esac
done

cli=$build_dir/bin/pelorin2-cli
limit=$build_dir/bench/limit
tree_gen=$build_dir/bench/tree_gen
shim=$build_dir/bench/latency_fs
if [[ ! -c /dev/fuse ]]; then
  echo "bench/latency.sh: skipped: /dev/fuse is missing, so no FUSE file system can be mounted"
  exit 0
fi
if [[ ! -x $shim ]]; then
  echo "bench/latency.sh: skipped: $shim was not built (libfuse3-dev missing)"
  exit 0
fi
for tool in "$cli" "$limit" "$tree_gen"; do
  [[ -x $tool ]] || { echo "missing $tool: build first (scripts/build.sh)" >&2; exit 2; }
done
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (Debian package time)" >&2; exit 2; }
unmount_cmd=(fusermount3 -u)
command -v fusermount3 >/dev/null || unmount_cmd=(umount)

bench_dir=${BENCH_DIR:-$build_dir/bench-trees}
mkdir -p "$bench_dir"
bench_dir=$(cd "$bench_dir" && pwd)
tree=$bench_dir/$preset
page=index.html
if [[ ! -d $tree ]]; then
  echo "making tree $preset in $tree ..." >&2
  rm -rf "$tree.partial"
  "$tree_gen" make "$preset" "$tree.partial" >/dev/null
  mv "$tree.partial" "$tree"
fi

work=$(mktemp -d "$bench_dir/latency-XXXXXX")
mnt=$work/mnt
mkdir "$mnt"
shim_pid=
cleanup() {
  if [[ -n $shim_pid ]]; then
    mountpoint -q "$mnt" && "${unmount_cmd[@]}" "$mnt" 2>/dev/null || true
    kill "$shim_pid" 2>/dev/null || true
    wait "$shim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
  if [[ $remove == yes ]]; then rm -rf "$tree"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$shim" "$tree" "$mnt" --delay-us="$delay_us" -f 2>"$work/shim.err" &
shim_pid=$!
for (( i = 0; i < 50; ++i )); do
  mountpoint -q "$mnt" && break
  kill -0 "$shim_pid" 2>/dev/null || break
  sleep 0.1
done
if ! mountpoint -q "$mnt"; then
  echo "bench/latency.sh: skipped: FUSE refused the mount: $(head -c 300 "$work/shim.err")"
  exit 0
fi

settings=$work/settings.ini
"$cli" --settings "$settings" options reset
"$tree_gen" clean "$tree" "$page" >/dev/null
read -r folders entries < <("$tree_gen" count "$tree")

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
measure() {  # NAME COMMAND...: appends the wall time to NAME's series when counted
  local name=$1; shift
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
pages_written() {
  awk '/written/ { for (i = 2; i < NF; ++i) if ($i ~ /^pages?$/ && $(i + 1) ~ /^written/) { print $(i - 1); exit } }' "$work/out.txt"
}
# Through the source folder, so that checking costs no waits.
snapshot() { find "$tree" -name "$page" -printf '%i %T@ %p\n' | sort | md5sum; }
tree_sum() { (cd "$tree" && find . -name "$page" -print0 | sort -z | xargs -0 cat | md5sum); }
clean() { "$tree_gen" clean "$tree" "$page" >/dev/null; }

# pelorin2-cli's default on a FUSE file system (kRemoteDefaultJobs), which
# the limit is given explicitly.
default_jobs=16
configs=(1 8 default)
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "$preset through latency_fs, $delay_us us a call: $folders folders, $entries entries;" \
     "1 warm-up round and $rounds counted" >&2
for (( round = 0; round <= rounds; ++round )); do
  counted=$(( round > 0 ))
  echo "round $round of $rounds$( (( round == 0 )) && echo ' (warm-up)')" >&2
  for config in "${configs[@]}"; do
    threads=$config cli_jobs=(--jobs "$config")
    if [[ $config == default ]]; then threads=$default_jobs cli_jobs=(); fi
    clean
    measure "limit_first_$config" "$limit" --jobs "$threads" "$mnt"
    measure "limit_rerun_$config" "$limit" --jobs "$threads" --compare "$mnt"
    clean
    measure "cli_first_$config" "$cli" --settings "$settings" index --yes "${cli_jobs[@]}" "$mnt"
    [[ $(pages_written) == "$folders" ]] || fail "--jobs $config first run wrote $(pages_written) of $folders pages"
    if (( round == 0 )); then
      sum=$(tree_sum)
      [[ $config == 1 ]] && one_thread_sum=$sum
      [[ $sum == "$one_thread_sum" ]] || fail "--jobs $config pages differ from --jobs 1 pages"
    fi
    before=$(snapshot)
    measure "cli_rerun_$config" "$cli" --settings "$settings" index --yes "${cli_jobs[@]}" "$mnt"
    [[ $(pages_written) == 0 ]] || fail "--jobs $config unchanged re-run wrote $(pages_written) pages"
    [[ $(snapshot) == "$before" ]] || fail "--jobs $config unchanged re-run touched pages"
  done
done
clean
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -g "$work/$1.t" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() {  # A B: median over rounds of A's time / B's time of the same round
  paste "$work/$1.t" "$work/$2.t" | awk '{ print $1 / $2 }' |
    sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r <= t) ? "met" : "**missed**" }'; }
sec() { awk -v v="$(median "$1")" 'BEGIN { printf "%.3f s", v }'; }
row() {  # SITUATION A B B_LABEL TARGET
  local r
  r=$(ratio "$2" "$3")
  printf '| %s | %s | %s (%s) | %.2f | <= %s | %s |\n' "$1" "$(sec "$2")" "$(sec "$3")" "$4" "$r" \
    "$5" "$(verdict "$r" "$5")"
}

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
fs=$(df --output=fstype "$bench_dir" | tail -1)
cat <<EOF

Preset $preset through latency_fs at $delay_us us a call: $folders folders, $entries entries.
$(date -u '+%Y-%m-%d %H:%M UTC'), $cpu, $(nproc) cores, $fs underneath, Linux $(uname -r).
Median wall time of $rounds rounds after a warm-up; ratios are medians of per-round ratios.
Default threads: $default_jobs. Load average before: $load_before; after: $load_after.

| situation | pelorin2-cli | compared with | ratio | target | |
| --- | --- | --- | --- | --- | --- |
EOF
row "first run, --jobs 8" cli_first_8 cli_first_1 "--jobs 1" 0.2
row "first run, default threads" cli_first_default cli_first_8 "--jobs 8" 1.0
row "unchanged re-run, default threads, 0 written" cli_rerun_default limit_rerun_default \
  "limit re-run, $default_jobs threads" 1.3
row "unchanged re-run, default threads" cli_rerun_default cli_first_default "its first run" 0.75
row "first run, --jobs 1" cli_first_1 limit_first_1 "limit, 1 thread" 1.3
row "first run, --jobs 8" cli_first_8 limit_first_8 "limit, 8 threads" 1.3
row "first run, default threads" cli_first_default limit_first_default \
  "limit, $default_jobs threads" 1.3
rss=$(cat "$work"/cli_*.rss | sort -n | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')
printf '| peak RSS, every pelorin2-cli run | %s MiB | | | | |\n' "$rss"

echo
echo "Every counted round, in seconds:"
printf '| round |'; for f in "$work"/*.t; do printf ' %s |' "$(basename "$f" .t)"; done; echo
printf '| --- |'; for f in "$work"/*.t; do printf ' --- |'; done; echo
for (( r = 1; r <= rounds; ++r )); do
  printf '| %d |' "$r"
  for f in "$work"/*.t; do printf ' %.3f |' "$(sed -n "${r}p" "$f")"; done
  echo
done

if (( failures > 0 )); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
