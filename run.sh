#!/usr/bin/env bash
# Builds the upgrader and starts it against the terminal simulator on loopback.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth fonts-dejavu-core
export_loopback_settings
build_tree build

demo=build/demo
mkdir -p "$demo/home"

sim_pid=""
if [ -x build/bin/qora-terminal-sim ]; then
  build/bin/qora-terminal-sim --flash "$demo/flash" \
    --app-address "$QORA_DEFAULT_TERMINAL_IP" --default-address "$QORA_DEFAULT_TERMINAL_IP" \
    --zing-port "$QORA_ZING_PORT" --ftp-port "$QORA_FTP_PORT" --telnet-port "$QORA_TELNET_PORT" &
  sim_pid=$!
  trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT
  sleep 0.5
fi

cd "$demo/home"
if [ -n "${DISPLAY:-}" ]; then
  ../../bin/qora-upgrader "$@"
else
  xvfb-run -a ../../bin/qora-upgrader "$@"
fi
