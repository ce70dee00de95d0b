# Shared by the scripts: package installation, build, safe settings, the
# terminal simulator and a demo package.

# Installs the named Debian packages that are missing (apt-get, as root).
ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(build-essential cmake ninja-build qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev googletest curl)
# What the tests need beyond the build: man renders the manual pages.
TEST_PACKAGES=(man-db groff-base)

# Real servers some tests put in the terminal's place (vsftpd, busybox
# telnetd); where they cannot be installed those tests are skipped. Debian
# starts and enables vsftpd's own service on install, which the tests do not
# use: on a machine with systemd it is stopped and disabled again when this
# installed it. An installed busybox, which conflicts with busybox-static,
# is kept.
install_peer_packages() {
  local packages=(vsftpd) fresh=0
  command -v busybox >/dev/null || packages+=(busybox-static)
  dpkg-query -W -f='${Status}' vsftpd 2>/dev/null | grep -q "install ok installed" || fresh=1
  ensure_packages "${packages[@]}" || { echo "not installed: ${packages[*]}; the tests of real servers are skipped"; return 0; }
  if [ "$fresh" = 1 ] && [ -d /run/systemd/system ]; then
    systemctl disable --now vsftpd >/dev/null 2>&1 || true
  fi
}

# Configures (once) and builds into the given folder.
build_tree() {
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    # -O1 without debug information: the tests need no more, and the build
    # takes about half the time of -O2 -g.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 "$@"
  fi
  cmake --build "$dir" -j "$(nproc)"
}

# The terminal's real address is a private-range one: everything here talks
# to the simulator on loopback only.
export_loopback_settings() {
  export QORA_LOOPBACK_ONLY=1
  export QORA_DEFAULT_TERMINAL_IP="${QORA_DEFAULT_TERMINAL_IP:-127.0.0.1}"
  export QORA_ZING_PORT="${QORA_ZING_PORT:-18270}"
  export QORA_FTP_PORT="${QORA_FTP_PORT:-18021}"
  export QORA_TELNET_PORT="${QORA_TELNET_PORT:-18023}"
  export QORA_TIME_SCALE="${QORA_TIME_SCALE:-1}"
}

# Starts the terminal simulator in the background on the settings' address
# and ports (0: it picks a free one), its trace to LOG; waits until it
# listens and points the QORA_*_PORT settings at the ports it reports.
# Sets sim_pid. usage: start_simulator BIN_DIR LOG [simulator options...]
start_simulator() {
  local bin=$1 log=$2
  shift 2
  "$bin/qora-terminal-sim" --app-address "$QORA_DEFAULT_TERMINAL_IP" --default-address "$QORA_DEFAULT_TERMINAL_IP" \
    --zing-port "${QORA_ZING_PORT:-0}" --ftp-port "${QORA_FTP_PORT:-0}" --telnet-port "${QORA_TELNET_PORT:-0}" \
    "$@" >"$log" 2>&1 &
  sim_pid=$!
  local ports="" service
  for _ in $(seq 50); do
    ports=$(grep -m1 '^ports ' "$log") && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  # Against whatever else holds the ports, nothing would be shown or measured.
  [ -n "$ports" ] || { cat "$log"; echo "the terminal simulator did not start" >&2; return 1; }
  for service in zing ftp telnet; do
    export "QORA_${service^^}_PORT=$(sed "s/.* $service=\([0-9]*\).*/\1/" <<<"$ports")"
  done
}

# A release package for demos: an application image of BYTES (256 KiB)
# whose tail carries its Boot ROM compatibility level.
make_demo_package() {
  { head -c "${2:-262144}" /dev/urandom; printf 'bootcomp=2\0\0\0\0\0\0\xAA\xAA'; } >"$1"
}

# One S-record line of TYPE at the 16-bit ADDRESS (4 hex digits) holding TEXT.
srecord() {
  local text=$3 hex="" byte i
  local count=$((${#text} + 3))
  local sum=$((count + 0x${2:0:2} + 0x${2:2:2}))
  for ((i = 0; i < ${#text}; i++)); do
    printf -v byte '%d' "'${text:i:1}"
    sum=$((sum + byte))
    hex+=$(printf '%02X' "$byte")
  done
  printf 'S%s%02X%s%s%02X\r\n' "$1" "$count" "$2" "$hex" $((~sum & 0xFF))
}

# Antenna and PIC firmware for the demo package in DIR, where it has none:
# files that fit the simulator's class 11 antenna, each carrying the version
# its name gives in a "version=" tag (a PIC file in its S0 header), which
# the simulator reports after flashing it: ATB 1.5, HPA 1.3, PIC 3.05.
make_demo_firmware() {
  local dir=$1 a
  if [ -z "$(find "$dir" -maxdepth 1 \( -iname 'ATB*.sxm' -o -iname 'HPA*.sxm' -o -iname 'IAC*.sxm' \) -print -quit)" ]; then
    { printf 'antenna image ATB_02409_15 version=1.5\0'; head -c 4096 /dev/urandom; } >"$dir/ATB_02409_15.sxm"
    { printf 'antenna image HPA_2407_13 version=1.3\0'; head -c 4096 /dev/urandom; } >"$dir/HPA_2407_13.sxm"
  fi
  if [ -z "$(find "$dir" -maxdepth 1 -iname 'PIC*.s19' -print -quit)" ]; then
    {
      srecord 0 0000 'PIC_3_05 version=3.05'
      for a in 0000 0010 0020 0030 0040 0050 0060 0070; do srecord 1 "$a" "demo PIC code $a"; done
      srecord 9 0000 ''
    } >"$dir/PIC_3_05.s19"
  fi
}
