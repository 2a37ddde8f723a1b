#!/usr/bin/env bash
# Drives the bash completion of pelorin2-cli the way bash does (COMP_WORDS,
# COMP_CWORD) and compares what it offers with what each command line expects.
#   completion_test.sh COMPLETION_FILE PELORIN2_CLI
set -uo pipefail
completion=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cli=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/Holiday pictures" "$work/tree/Homework"
touch "$work/tree/Hotel.txt"
cd "$work/tree" || exit 1

# The completion runs the program under the name typed, as bash would.
PATH=$(dirname "$cli"):$PATH
# shellcheck source=/dev/null
source "$completion"

offers() {  # the words offered for a command line; '|' marks the cursor word
  local line=$1
  read -r -a COMP_WORDS <<<"${line%|}"
  if [[ $line == *' |' ]]; then COMP_WORDS+=(""); fi
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _pelorin2_cli 2>/dev/null
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

failed=0
check() {
  local got
  got=$(offers "$1")
  if [[ $got != "$2" ]]; then
    echo "'$1': expected [$2], got [$got]" >&2
    failed=1
  fi
}

check 'pelorin2-cli |' 'check help index options prune'
check 'pelorin2-cli o|' 'options'
check 'pelorin2-cli --|' '--help --settings --version'
check 'pelorin2-cli --settings Hot|' 'Hotel.txt'
check 'pelorin2-cli --settings my.ini i|' 'index'
check 'pelorin2-cli index --|' '--dry-run --help --jobs --open --quiet --remake-thumbnails --set --verbose --yes'
check 'pelorin2-cli index Ho|' 'Holiday pictures Homework'
check 'pelorin2-cli index --jobs |' ''
check 'pelorin2-cli --settings my.ini index --yes Homew|' 'Homework'
check 'pelorin2-cli options |' 'get list reset set'
check 'pelorin2-cli options get PageT|' 'PageTitle'
check 'pelorin2-cli --settings my.ini options set Dynamic|' \
      'DynamicDescription DynamicKeywords DynamicTitle'
check 'pelorin2-cli options set MainTemplate Hot|' 'Hotel.txt'
check 'pelorin2-cli options set PageTitle |' ''
check 'pelorin2-cli options list |' ''
# bash splits a word at "=": "--settings=my.ini" comes as three words.
check 'pelorin2-cli --settings = my.ini in|' 'index'
check 'pelorin2-cli --settings = Hot|' 'Hotel.txt'
check 'pelorin2-cli options set ShowPics |' '0 1'
check 'pelorin2-cli options set BulletPicture Hot|' 'Hotel.txt'
check 'pelorin2-cli index --set ThumbnailS|' 'ThumbnailSize= ThumbnailSubdir='
check 'pelorin2-cli index --set MakeThumbnails = |' '0 1'
check 'pelorin2-cli index --set = PicsInHtml = |' '0 1'
check 'pelorin2-cli help i|' 'index'
check 'pelorin2-cli prune --d|' '--dry-run'

# Every key the program lists is offered, so a new key needs no change here.
expected=$("$cli" --settings "$work/keys.ini" options list | sed 's/=.*//' | sort | paste -sd ' ')
check 'pelorin2-cli options get |' "$expected"
exit $failed
