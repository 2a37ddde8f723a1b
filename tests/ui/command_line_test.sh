#!/usr/bin/env bash
# pelorin2's own options: --help and --version on the terminal, an unknown
# option refused, and --settings FILE read and written instead of the
# per-user store (through one offscreen run, PELORIN2_AUTORUN).
#   command_line_test.sh PELORIN2 PELORIN2_CLI
set -euo pipefail
gui=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work/config
fail() { echo "FAILED: $*" >&2; exit 1; }

"$gui" --help | grep -q -- '--settings FILE' || fail "--help does not list --settings"
[[ $("$gui" --version | awk '{print $NF}') == "$("$cli" --version | awk '{print $NF}')" ]] ||
  fail "--version gives another number than pelorin2-cli's"
if "$gui" --no-such-option 2>/dev/null; then fail "an unknown option was accepted"; fi

mkdir -p "$work/site/a"
"$cli" --settings "$work/my.ini" options reset
"$cli" --settings "$work/my.ini" options set OpenIndexWhenDone 0
PELORIN2_AUTORUN=$work/site "$gui" --settings "$work/my.ini" | grep -qx 'Indexed 2 folders in .* s' ||
  fail "the run did not index both folders"
[[ -f $work/site/a/index.html ]] || fail "no page in site/a"
grep -q "^Last%20directory=$work/site\$" "$work/my.ini" || fail "the folder was not stored in my.ini"
[[ ! -e $work/config ]] || fail "the per-user store was touched"
echo "pelorin2's options work"
