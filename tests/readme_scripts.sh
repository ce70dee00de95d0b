#!/usr/bin/env bash
# The README's three front-end scripts, run as written (in order: upgrade,
# restore, log) in ~/qora-release-5.7.2 holding the demo package, against
# the simulator: each must end as a user reading it would expect.
# usage: readme_scripts.sh SOURCE_DIR BIN_DIR
set -eu
root=$1 bin=$2
. "$root/scripts/common.sh"
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "readme scripts: $*" >&2; exit 1; }

# The simulator on free ports, quick; no real terminal may be reached.
export HOME=$work PATH=$bin:$PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
export QORA_LOOPBACK_ONLY=1 QORA_DEFAULT_TERMINAL_IP=127.0.0.1 QORA_TIME_SCALE=0.01
export QORA_ZING_PORT=0 QORA_FTP_PORT=0 QORA_TELNET_PORT=0
package=$HOME/qora-release-5.7.2
mkdir -p "$package" && make_demo_package "$package/qorax_5_7_2_0.bin" && make_demo_firmware "$package"
start_simulator "$bin" "$work/sim.log" --flash "$work/flash"

# The indented blocks of the section, one script each.
sed -n '/^## Without a person at the window/,/^\*\*Exit status/p' "$root/README.md" |
  awk -v dir="$work" '/^    / { if (!open) n++; open = 1; print substr($0, 5) > (dir "/script" n); next } { open = 0 }'
[ "$(ls "$work"/script* | wc -l)" -eq 3 ] || fail "the README has $(ls "$work"/script* | wc -l) scripts, not 3"

expect=("upgraded" "Software: 5.7.2.0 -> 5.7.1.12 (took)" "Backup/sylog.log")
for n in 1 2 3; do
  status=0
  out=$(bash "$work/script$n" 2>&1) || status=$?
  [ "$status" -eq 0 ] && grep -q "${expect[n - 1]}" <<<"$out" || { echo "$out"; fail "script $n ended with $status"; }
done
echo "the README's three scripts work"
