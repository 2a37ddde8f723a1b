#!/usr/bin/env bash
# pelorin2's own options: --help and --version on the terminal and an unknown
# option refused, all without a display; Qt's own options accepted; and
# --settings FILE read and written instead of the per-user store, which is
# left untouched (through one offscreen run, PELORIN2_AUTORUN).
#   command_line_test.sh PELORIN2 PELORIN2_CLI
set -euo pipefail
gui=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work HOME=$work/home XDG_CONFIG_HOME=$work/config
fail() { echo "FAILED: $*" >&2; exit 1; }

no_display=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$gui")
"${no_display[@]}" --help | grep -q -- '--settings FILE' || fail "--help does not list --settings"
[[ $("${no_display[@]}" --version | awk '{print $NF}') == "$("$cli" --version | awk '{print $NF}')" ]] ||
  fail "--version gives another number than pelorin2-cli's"
for wrong in --no-such-option extra --settings; do
  status=0
  "${no_display[@]}" $wrong 2>/dev/null || status=$?
  [[ $status == 2 ]] || fail "pelorin2 $wrong: exit status $status, not 2"
done
export QT_QPA_PLATFORM=offscreen

mkdir -p "$work/site/a"
"$cli" --settings "$work/my.ini" options reset
"$cli" --settings "$work/my.ini" options set OpenIndexWhenDone 0
PELORIN2_AUTORUN=$work/site "$gui" -style fusion --settings "$work/my.ini" |
  grep -qx 'Indexed 2 folders in .* s' ||
  fail "the run did not index both folders"
[[ -f $work/site/a/index.html ]] || fail "no page in site/a"
grep -q "^Last%20directory=$work/site\$" "$work/my.ini" || fail "the folder was not stored in my.ini"
[[ ! -e $work/config && ! -e $work/home/.config ]] || fail "the per-user store was touched"
echo "pelorin2's options work"
