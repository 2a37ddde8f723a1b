#!/usr/bin/env bash
# Fails when a manual page lags behind its program: every long option and
# every command line that 'PROGRAM --help' prints, and with --keys every key
# that 'PROGRAM options list' prints, must appear in the rendered page.
#   man_page_test.sh MAN_PAGE PROGRAM [--keys]
# Exits 77 (skipped) when PROGRAM has no --help that ends by itself.
set -euo pipefail
man_page=$1 program=$2 keys=${3:-}

help=$(timeout 10 "$program" --help </dev/null 2>/dev/null) || {
  echo "$program --help did not print its help; skipped"
  exit 77
}
# The page as a reader sees it, on one line, so a phrase the formatter broke
# across lines still matches.
page=" $(groff -man -Tascii -P-cbou "$man_page" 2>/dev/null | tr -s ' \n' '  ') "

missing=()
expect() {  # a whole word or phrase, not the start of a longer option
  if ! grep -qE -- "(^|[^a-zA-Z0-9-])$1([^a-zA-Z0-9-]|$)" <<<"$page"; then missing+=("$2"); fi
}

while read -r option; do
  expect "$option" "option $option"
done < <(grep -oE -- '--[a-zA-Z][a-zA-Z0-9-]*' <<<"$help" | sort -u)

# Command lines are indented by two spaces and start with the command's
# words in lower case ("  options set KEY VALUE" gives "options set").
while read -r command; do
  expect "${command// / +}" "command '$command'"
done < <(grep -oE '^  [a-z][a-z-]*( [a-z][a-z-]*)*' <<<"$help" | sed 's/^  //' | sort -u)

if [[ $keys == --keys ]]; then
  settings=$(mktemp)
  trap 'rm -f "$settings"' EXIT
  while IFS='=' read -r key _; do
    expect "$key" "settings key $key"
  done < <("$program" --settings "$settings" options list)
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  for what in "${missing[@]}"; do echo "$what is missing from $man_page" >&2; done
  exit 1
fi
echo "$man_page covers what $program prints"
