#!/usr/bin/env bash
# Builds the upgrader and starts it against the terminal simulator on loopback:
# the window when there is a display, else the unattended front end. Any
# arguments go to the program started (./run.sh --terminal-version).
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages "${BUILD_PACKAGES[@]}" fonts-dejavu-core
export_loopback_settings
build_tree build

demo=build/demo
mkdir -p "$demo/home"
# Qt warns at every start without a runtime folder (root over SSH, say).
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=$PWD/$demo/runtime
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
fi
if ! ls "$demo"/home/qorax_*.bin >/dev/null 2>&1; then
  make_demo_package "$demo/home/qorax_5_7_2_0.bin"
fi
make_demo_firmware "$demo/home"

# The simulator's trace goes to a file, so that what shows is the upgrader's.
sim_log=$demo/sim.log
trap 'kill "${sim_pid:-0}" 2>/dev/null || true' EXIT
start_simulator build/bin "$sim_log" --flash "$demo/flash"
echo "Terminal simulator on $QORA_DEFAULT_TERMINAL_IP (its trace: $sim_log); release package in $demo/home"

cd "$demo/home"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  status=0
  ../../bin/qora-upgrader "$@" || status=$?
  exit $status
fi

echo "No display here: running the unattended front end against the simulated terminal instead."
echo "To see the window, run ./run.sh on a machine with a display, or log in with ssh -X (X forwarding)."
export QT_QPA_PLATFORM=offscreen
if [ $# -gt 0 ]; then
  status=0
  ../../bin/qora-upgrader-cli "$@" || status=$?
  exit $status
fi
echo
echo "\$ qora-upgrader-cli --upgrade sw"
../../bin/qora-upgrader-cli --upgrade sw
echo
echo "\$ qora-upgrader-cli --terminal-version"
../../bin/qora-upgrader-cli --terminal-version
