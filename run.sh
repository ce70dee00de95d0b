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
# A release package for the demo: an application image whose tail carries
# its Boot ROM compatibility level.
if ! ls "$demo"/home/qorax_*.bin >/dev/null 2>&1; then
  pkg="$demo/home/qorax_5_7_2_0.bin"
  head -c 262144 /dev/urandom > "$pkg"
  printf 'bootcomp=2\0\0\0\0\0\0\xAA\xAA' >> "$pkg"
fi

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
