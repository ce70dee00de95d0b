#!/bin/sh
# Each program's manual page renders without a roff warning, has the sections
# a reader looks for, and names in OPTIONS every option the program's --help
# lists: a page cannot fall behind its program unnoticed.
# usage: man_pages.sh MAN_DIR BIN_DIR
set -u
mandir=$1 bin=$2
# test.sh installs man-db; without it this test is skipped, not passed.
command -v man >/dev/null 2>&1 || { echo "man is not installed"; exit 77; }
# --help opens no window; were it to, it would find only loopback.
export QORA_LOOPBACK_ONLY=1 QORA_DEFAULT_TERMINAL_IP=127.0.0.1 QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 MANWIDTH=80
# man's seccomp sandbox fails in some containers; these pages are our own.
export MAN_DISABLE_SECCOMP=1
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
status=0
fail() { echo "$program: $*"; status=1; }

for program in qora-upgrader qora-upgrader-cli qora-terminal-sim; do
  text=$(man --warnings=w -l "$mandir/$program.1" 2>"$warnings") || fail "man cannot render the page"
  [ -s "$warnings" ] && fail "roff warnings: $(cat "$warnings")"
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' FILES ENVIRONMENT EXAMPLES; do
    printf '%s\n' "$text" | grep -qx "$section" || fail "no $section section"
  done
  help=$(timeout 20 "$bin/$program" --help) || fail "--help failed"
  options=$(printf '%s\n' "$help" | grep -oE '(^|[][ ,(|])(--?[A-Za-z][A-Za-z0-9-]*|/[A-Z][A-Za-z]+)' | sed 's/^[][ ,(|]//' | sort -u)
  [ -n "$options" ] || fail "no option found in --help"
  section=$(printf '%s\n' "$text" | sed -n '/^OPTIONS$/,/^[A-Z][A-Z ]*$/p')
  for option in $options; do
    printf '%s\n' "$section" | grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|\$)" ||
      fail "--help lists $option, the page's OPTIONS do not"
  done
done
exit $status
