#!/usr/bin/env bash
# One software upgrade against the simulator at time scale 1, through the
# unattended front end. The sequence has fixed waits of 12 s (before the
# descriptor fetch), 2 s (before the descriptor put), 5 s (before the reset)
# and 40 s (after it): 59 s. Prints the wall time and the overhead beyond
# those waits; the goal is an overhead under 2 s.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${BIN:-build/bin}
work=$(mktemp -d)
trap 'kill "${sim_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT

export QORA_LOOPBACK_ONLY=1 QORA_DEFAULT_TERMINAL_IP=127.0.0.1 QORA_TIME_SCALE=1
export QORA_ZING_PORT=${QORA_ZING_PORT:-38270} QORA_FTP_PORT=${QORA_FTP_PORT:-38021} QORA_TELNET_PORT=${QORA_TELNET_PORT:-38023}

"$bin/qora-terminal-sim" --flash "$work/flash" --app-address 127.0.0.1 --default-address 127.0.0.1 \
  --zing-port "$QORA_ZING_PORT" --ftp-port "$QORA_FTP_PORT" --telnet-port "$QORA_TELNET_PORT" \
  --restart-ms 20000 > "$work/sim.log" 2>&1 &
sim_pid=$!
sleep 1

mkdir -p "$work/home"
pkg="$work/home/qorax_5_7_2_0.bin"
head -c $((8 * 1024 * 1024)) /dev/urandom > "$pkg"
printf 'bootcomp=2\0\0\0\0\0\0\xAA\xAA' >> "$pkg"

start=$(date +%s.%N)
(cd "$work/home" && "$OLDPWD/$bin/qora-upgrader-cli" --upgrade sw) > "$work/cli.log" 2>/dev/null || {
  cat "$work/cli.log"; echo "upgrade failed"; exit 1; }
end=$(date +%s.%N)
tail -n 2 "$work/cli.log"
awk -v s="$start" -v e="$end" 'BEGIN {
  wall = e - s; waits = 59;
  printf "wall time %.2f s, fixed waits %d s, overhead %.2f s (goal < 2 s)\n", wall, waits, wall - waits }'
