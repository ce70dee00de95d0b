#!/usr/bin/env bash
# Every message the README's "What to do when" table quotes is still one the
# program shows: a reader searching for a text on the screen must find it.
# And the front end's failure codes are the README's and its manual page's,
# no more and no fewer.
# Usage: readme_messages.sh SOURCE_DIR [FRONT_END]
root=$1
if [ -n "${2:-}" ]; then
    listed=$("$2" --help | sed -n '/^Failure codes/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
    documented=$(sed -n '/^\*\*Failure codes/,/^## /s/^| `\([a-z][a-z-]*\)` |.*/\1/p' "$root/README.md")
    [ -n "$listed" ] && [ "$listed" = "$documented" ] || {
        echo "failure codes in --help and in the README differ:"; diff <(echo "$listed") <(echo "$documented"); exit 1; }
    paged=$(sed -n '/^\.SH FAILURE CODES/,/^\.SH FILES/{/^\.TP/{n;s/^\.B //p}}' "$root/data/man/qora-upgrader-cli.1.in" | sed 's/\\-/-/g')
    [ "$listed" = "$paged" ] || {
        echo "failure codes in --help and in the manual page differ:"; diff <(echo "$listed") <(echo "$paged"); exit 1; }
fi
table=$(sed -n '/^## What to do when/,/^## [^W]/p' "$root/README.md" | sed -n 's/^| `\([^`]*\)` |.*/\1/p')
count=$(printf '%s\n' "$table" | grep -c .)
[ "$count" -ge 20 ] || { echo "the table has $count messages"; exit 1; }
printf '%s\n' "$table" | {
    status=0
    while IFS= read -r message; do
        grep -rqF -- "$message" "$root/src" || { echo "no longer in the program: $message"; status=1; }
    done
    echo "$count messages checked"
    exit $status
}
