#!/bin/sh
# Every message the README's "What to do when" table quotes is still one the
# program shows: a reader searching for a text on the screen must find it.
# Usage: readme_messages.sh SOURCE_DIR
root=$1
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
