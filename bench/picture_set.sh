# Sourced by the picture benchmarks: the picture set they share, made once by
# picture_gen into $bench_dir/$set_name under a temporary name, so that a
# half-made set is never reused. Sets bench_dir (absolute) and pictures.
#   picture_set BENCH_DIR SET_NAME PICTURE_GEN [PICTURE_GEN ARGUMENTS...]
picture_set() {
  bench_dir=$1
  local set_name=$2 picture_gen=$3
  shift 3
  mkdir -p "$bench_dir"
  bench_dir=$(cd "$bench_dir" && pwd)
  pictures=$bench_dir/$set_name
  if [[ ! -d $pictures ]]; then
    rm -rf "$pictures.tmp"
    echo "making the $set_name picture set in $pictures ..." >&2
    "$picture_gen" "$@" "$pictures.tmp" >/dev/null
    mv "$pictures.tmp" "$pictures"
  fi
}
