#!/usr/bin/env bash
# One software upgrade against the simulator at time scale 1, through the
# unattended front end. The sequence has fixed waits of 12 s (before the
# descriptor fetch), 2 s (before the descriptor put), 5 s (before the reset)
# and 40 s (after it): 59 s. Prints the wall time and the overhead beyond
# those waits; the goal is an overhead under 0.15 s. Then, from the
# simulator's log, every pause of 2 ms or more beyond the waits: where the
# overhead goes.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh
bin=${BIN:-build/bin}
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

export QORA_LOOPBACK_ONLY=1 QORA_DEFAULT_TERMINAL_IP=127.0.0.1 QORA_TIME_SCALE=1
export QORA_ZING_PORT=${QORA_ZING_PORT:-38270} QORA_FTP_PORT=${QORA_FTP_PORT:-38021} QORA_TELNET_PORT=${QORA_TELNET_PORT:-38023}

start_simulator "$bin" "$work/sim.log" --flash "$work/flash" --restart-ms 20000

mkdir -p "$work/home"
make_demo_package "$work/home/qorax_5_7_2_0.bin" $((8 * 1024 * 1024))

read -r start start_clock < <(date '+%s.%N %T.%N')
(cd "$work/home" && "$OLDPWD/$bin/qora-upgrader-cli" --upgrade sw) > "$work/cli.log" 2>/dev/null || {
  cat "$work/cli.log"; echo "upgrade failed"; exit 1; }
read -r end end_clock < <(date '+%s.%N %T.%N')
tail -n 2 "$work/cli.log"
awk -v s="$start" -v e="$end" 'BEGIN {
  wall = e - s; waits = 59;
  printf "wall time %.2f s, fixed waits %d s, overhead %.2f s (goal < 0.15 s)\n", wall, waits, wall - waits }'
awk -v s="$start_clock" -v e="$end_clock" '
  function sec(t, a) { split(t, a, ":"); return a[1] * 3600 + a[2] * 60 + a[3] }
  function pause(t, next_what, gap, i) {
    gap = t - prev
    for (i = 1; i <= 4; i++)
      if (gap >= waits[i] && gap < waits[i] + 0.2) { gap -= waits[i]; break }
    if (gap >= 0.002)
      printf "  %5.0f ms  %-44s -> %s\n", gap * 1000, substr(what, 1, 44), substr(next_what, 1, 44)
  }
  BEGIN { split("12 2 5 40", waits, " "); prev = sec(s); what = "(start)" }
  # The boot lies inside the 40 s wait.
  $1 ~ /^[0-9][0-9]:[0-9][0-9]:[0-9][0-9]\.[0-9]+$/ && $2 != "boot" && sec($1) >= prev {
    line = substr($0, length($1) + 2)
    pause(sec($1), line); prev = sec($1); what = line
  }
  END { pause(sec(e), "(end)") }' "$work/sim.log"
