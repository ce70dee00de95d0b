#!/usr/bin/env bash
# Makes the README's pictures again: the window in a virtual display (Xvfb)
# against the terminal simulator on loopback, driven to each state with
# xdotool and captured with ImageMagick into docs/screenshots/.
#   scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/common.sh

ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth xdotool imagemagick fonts-dejavu-core
export_loopback_settings
# Fast enough to run through, slow enough to catch the progress bar.
export QORA_TIME_SCALE=0.25
build_tree build >/dev/null

out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -wr -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")
export QT_QPA_PLATFORM=xcb

# A fresh home folder with the demo package, antenna and PIC files.
new_home() {
  home=$work/home-$1
  mkdir -p "$home"
  make_demo_package "$home/qorax_5_7_2_0.bin"
  for f in ATB_02409_15.sxm HPA_2407_13.sxm PIC_3_05.s19; do head -c 4096 /dev/urandom >"$home/$f"; done
}

# A fresh simulated terminal with the given options (its trace to a file).
start_sim() {
  [ -n "${sim_pid:-}" ] && { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  rm -rf "$work/flash"
  # Ports it chooses itself, so that nothing else on this machine answers instead.
  QORA_ZING_PORT=0 QORA_FTP_PORT=0 QORA_TELNET_PORT=0
  start_simulator "$root/build/bin" "$work/sim.log" --flash "$work/flash" "$@"
  pids+=("$sim_pid")
}

start_window() {
  (cd "$home" && exec "$root/build/bin/qora-upgrader") &
  window_pid=$!
  pids+=("$window_pid")
  window=$(xdotool search --sync --onlyvisible --name 'Terminal Upgrader' | head -n 1)
}

stop_window() {
  kill "$window_pid" 2>/dev/null || true
  wait "$window_pid" 2>/dev/null || true
}

# Waits until the upgrader's log holds the text.
wait_log() {
  for _ in $(seq 600); do
    grep -qF -- "$1" "$home"/logs/*.txt 2>/dev/null && return 0
    sleep 0.1
  done
  tail -n 30 "$home"/logs/*.txt; echo "the log never said: $1" >&2; exit 1
}

# The whole screen, cut to what is on it (the windows).
shot() {
  sleep 1
  import -window root -trim +repage "$out/$1.png"
  echo "$out/$1.png"
}

# Identified, then an upgrade of the software waiting for the restart.
new_home main
start_sim --restart-ms 20000
start_window
wait_log 'Release Info response has arrived'
shot identified
# The Upgrade SW box, at its place in the fixed layout.
xdotool mousemove --window "$window" 271 100 click 1
xdotool key --window "$window" alt+u
# Yes, in the question box centred over the window.
xdotool search --sync --onlyvisible --name 'Upgrader: user action required' >/dev/null
sleep 0.5
xdotool mousemove 275 249 click 1
wait_log '>> ResetTerminal()'
sleep 3
shot upgrading
stop_window

# A terminal whose software does not start runs its Boot ROM.
new_home bootrom
start_sim --min-executable-bytes 100000000
start_window
wait_log 'Boot ROM Software detected as running'
shot bootrom
stop_window

# Nothing answers: the box of a connection problem.
new_home failure
start_sim --zing-fault refuse --ftp-fault refuse
start_window
xdotool search --sync --onlyvisible --name 'Upgrader: FAULT' >/dev/null
shot failure
stop_window

# The restore window with two backed-up versions.
new_home restore
mkdir -p "$home/Backup"
head -c 65536 /dev/urandom >"$home/Backup/qorax_5_7_1_12.bin"
head -c 65536 /dev/urandom >"$home/Backup/qorax_5_7_1_0.bin"
start_sim
start_window
wait_log 'Release Info response has arrived'
xdotool mousemove --window "$window" 328 74 click 1
xdotool search --sync --onlyvisible --name 'Restore Terminal Software' >/dev/null
shot restore
stop_window
