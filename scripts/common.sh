# Shared by run.sh and test.sh: package installation, build, safe settings.

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
  libgtest-dev libgmock-dev googletest curl help2man)

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
