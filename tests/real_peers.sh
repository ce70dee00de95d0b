#!/usr/bin/env bash
# The front end against servers nobody here wrote, as a terminal runs a third
# implementation of each: vsftpd serving the simulator's flash for the
# software upgrade, the restore and the log download; busybox telnetd, its
# pty and option negotiation, in front of the simulator's shell for the PIC
# upgrade. The simulator answers ZING as usual.
# usage: real_peers.sh SOURCE_DIR BIN_DIR ftp|telnet
#
# The FTP part needs root: vsftpd logs in a real account. It uses a system
# account qorauser (password skywardly, no login shell), created when
# missing, and the PAM service /etc/pam.d/qora-terminal-ftp (pam_unix only,
# so the account needs no login shell); each run points the account's home
# at its flash folder as FOLDER/./tffs0, which vsftpd reads as: jail in
# FOLDER, start in /tffs0, the terminal's layout.
set -u
root=$1 bin=$2 part=$3
. "$root/scripts/common.sh"
skip() { echo "skipped: $*"; exit 77; }
fail() { echo "real $part peer: $*" >&2; exit 1; }

# vsftpd lives in sbin, which a user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
case $part in
  ftp) server=vsftpd package=vsftpd ;;
  telnet) server=busybox package=busybox-static ;;
  *) echo "usage: $0 SOURCE_DIR BIN_DIR ftp|telnet" >&2; exit 2 ;;
esac
command -v "$server" >/dev/null || skip "$server is not installed (./test.sh installs $package)"
[ "$part" != telnet ] || busybox --list | grep -qx telnetd || skip "this busybox has no telnetd (busybox-static has)"
[ "$part" != ftp ] || [ "$(id -u)" -eq 0 ] || skip "vsftpd logs in a system account: run as root"

work=$(mktemp -d)
# The FTP account goes through to the flash folder.
chmod 711 "$work"
pids=()
stop() {  # stop PID...: only processes this script started and has not reaped
  local p
  for p in "$@"; do kill "$p" 2>/dev/null; done
  for p in "$@"; do wait "$p" 2>/dev/null; done
}
cleanup() {
  local status=$?
  # A failure shows what the servers saw.
  [ "$status" -ne 1 ] || tail -n 30 "$work"/*.log 2>/dev/null
  stop "${pids[@]}"
  rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work PATH=$bin:$PATH QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
# Every wait of the upgrader a twentieth: a shell greeting still has 250 ms.
export QORA_LOOPBACK_ONLY=1 QORA_DEFAULT_TERMINAL_IP=127.0.0.1 QORA_TIME_SCALE=0.05
export QORA_ZING_PORT=0 QORA_FTP_PORT=0 QORA_TELNET_PORT=0
package=$work/package
mkdir -p "$package" && make_demo_package "$package/qorax_5_7_2_0.bin" && make_demo_firmware "$package"
# Files the simulator (root) makes must stay writable for the FTP account.
umask 000

# A server on a loopback port nobody listens on: tries random ports until
# the server lists one in /proc/net/tcp. usage: serve NAME COMMAND... (PORT
# in the command is replaced); sets port.
serve() {
  local name=$1 try hex pid
  shift
  for try in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    printf -v hex '%04X' "$port"
    grep -q ":$hex .* 0A " /proc/net/tcp && continue
    "${@//PORT/$port}" >>"$work/$name.out" 2>&1 &
    pid=$!
    for _ in $(seq 50); do
      grep -q "0100007F:$hex 00000000:0000 0A" /proc/net/tcp && { pids+=("$pid"); return 0; }
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    stop "$pid"
  done
  cat "$work/$name.out"
  fail "$name did not start"
}

# The simulator on free ports, its own times a hundredth; sets sim_telnet.
simulator() {
  QORA_ZING_PORT=0 QORA_FTP_PORT=0 QORA_TELNET_PORT=0 \
    start_simulator "$bin" "$work/sim.log" --flash "$work/flash" --time-scale 0.01 --no-echo "$@" ||
    fail "the simulator did not start"
  pids+=("$sim_pid")
  sim_telnet=$QORA_TELNET_PORT
}
stop_simulator() {
  local p rest=()
  stop "$sim_pid"
  for p in "${pids[@]}"; do [ "$p" = "$sim_pid" ] || rest+=("$p"); done
  pids=("${rest[@]}")
}

# The front end in the package folder; its standard output and error in out.
status=0 out=
cli() {
  status=0
  out=$(cd "$package" && timeout 60 qora-upgrader-cli "$@" 2>&1) || status=$?
}
expect() {  # expect STATUS TEXT WHAT
  [ "$status" -eq "$1" ] && grep -qF -- "$2" <<<"$out" || { echo "$out"; fail "$3: exit $status, expected $1 and \"$2\""; }
}
flash_is() {  # flash_is FILE CONTENT WHAT
  [ "$(cat "$work/flash/tffs0/$1" 2>/dev/null)" = "$2" ] || fail "$3: tffs0/$1 holds \"$(head -c 80 "$work/flash/tffs0/$1" 2>/dev/null)\""
}

if [ "$part" = ftp ]; then
  simulator --ftp-fault refuse
  ftp_zing=$QORA_ZING_PORT
  cp "$work/flash/tffs0/bin/qorax_5_7_1_12.bin" "$work/seeded.bin"
  id qorauser >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin qorauser ||
    fail "cannot create the account qorauser"
  echo qorauser:skywardly | chpasswd || fail "cannot set the password of qorauser"
  usermod -d "$work/flash/./tffs0" qorauser || fail "cannot point qorauser at the flash"
  printf '%s\n' '# vsftpd as a QORA terminal'"'"'s FTP server in the upgrader'"'"'s tests.' \
    'auth required pam_unix.so' 'account required pam_unix.so' 'session required pam_permit.so' \
    >/etc/pam.d/qora-terminal-ftp
  mkdir -m 755 "$work/empty"
  # No seccomp sandbox and no namespaces: containers often forbid both.
  cat >"$work/vsftpd.conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=YES
pam_service_name=qora-terminal-ftp
chroot_local_user=YES
passwd_chroot_enable=YES
allow_writeable_chroot=YES
secure_chroot_dir=$work/empty
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
log_ftp_protocol=YES
xferlog_enable=YES
xferlog_std_format=NO
vsftpd_log_file=$work/vsftpd.log
EOF
  serve vsftpd vsftpd "$work/vsftpd.conf" -olisten_port=PORT
  export QORA_FTP_PORT=$port QORA_ZING_PORT=$ftp_zing
  # The login alone first: a container may forbid what a session needs
  # (chroot, setuid), which vsftpd answers with "500 OOPS".
  reply=
  if exec 3<>"/dev/tcp/127.0.0.1/$port"; then
    read -r -t 10 reply <&3
    printf 'USER qorauser\r\n' >&3 && read -r -t 10 reply <&3
    printf 'PASS skywardly\r\n' >&3 && read -r -t 10 reply <&3
    printf 'QUIT\r\n' >&3
    exec 3<&-
  fi
  case ${reply%$'\r'} in
    230*) ;;
    "500 OOPS"*) skip "vsftpd cannot serve a session here: ${reply%$'\r'}" ;;
    *) fail "vsftpd refused the account: ${reply%$'\r'}" ;;
  esac

  # Older executables beside the running one go before the upload.
  cp "$work/seeded.bin" "$work/flash/tffs0/bin/qorax.bin"
  cp "$work/seeded.bin" "$work/flash/tffs0/bin/qorax_5_7_0_9.bin"
  cli --upgrade sw
  expect 0 "outcome: success" "the software upgrade"
  [ "$(ls "$work/flash/tffs0/bin" | tr '\n' ' ')" = "qorax_5_7_1_12.bin qorax_5_7_2_0.bin " ] ||
    fail "the executables after the upgrade: $(ls "$work/flash/tffs0/bin")"
  cmp -s "$package/qorax_5_7_2_0.bin" "$work/flash/tffs0/bin/qorax_5_7_2_0.bin" || fail "the uploaded executable differs"
  flash_is image.txt /bin/qorax_5_7_2_0.bin "the upgrade"
  cmp -s "$work/seeded.bin" "$package/Backup/qorax_5_7_1_12.bin" || fail "the backup differs from the running executable"
  cli --terminal-version --quiet
  expect 0 5.7.2.0 "the version read back after the upgrade"

  cli --restore 5.7.1.12
  expect 0 "outcome: success" "the restore"
  cmp -s "$work/seeded.bin" "$work/flash/tffs0/bin/qorax_5_7_1_12.bin" || fail "the restored executable differs"
  flash_is image.txt /bin/qorax_5_7_1_12.bin "the restore"
  cli --status
  expect 1 5.7.1.12 "the status after the restore"

  cli --download-log
  expect 0 "outcome: success" "the log download"
  cmp -s "$work/flash/ram0/syslog.log" "$package/Backup/sylog.log" || fail "the downloaded log differs"
  echo "vsftpd: software upgrade, restore and log download as against the simulator"
  exit 0
fi

# The shell behind telnetd: the login program it runs on each connection's
# pty, joined to the simulator started last.
printf '#!/bin/sh\nexec qora-terminal-sim --app-address 127.0.0.1 --default-address 127.0.0.1 --stdio-shell "$(cat %s)"\n' \
  "$work/shell-port" >"$work/shell"
chmod 755 "$work/shell"
: >"$work/issue"
serve telnetd busybox telnetd -F -K -p PORT -b 127.0.0.1 -l "$work/shell" -f "$work/issue"
telnet_port=$port

# A 7460 reports nothing but the reflash's value, which follows the pty's
# echo of the command: the echo alone is no verdict.
simulator --reflash fail
echo "$sim_telnet" >"$work/shell-port"
export QORA_TELNET_PORT=$telnet_port
cli --upgrade pic
expect 1 "pic-failed" "a failed reflash"
grep -qF "the reflash reported FAIL" <<<"$out" || { echo "$out"; fail "a failed reflash not told as one"; }
cli --terminal-version
expect 0 "PIC: 3.02" "the terminal after a failed reflash"
grep -q "BOOTROM" <<<"$out" && { echo "$out"; fail "the terminal left in its Boot ROM after a failed reflash"; }
flash_is image.txt /bin/qorax_5_7_1_12.bin "a failed reflash"
stop_simulator

simulator
echo "$sim_telnet" >"$work/shell-port"
export QORA_TELNET_PORT=$telnet_port
cli --upgrade pic
expect 0 "outcome: success" "the PIC upgrade"
cli --terminal-version
expect 0 "PIC: 3.05" "the PIC version read back"
flash_is image.txt /bin/qorax_5_7_1_12.bin "the PIC upgrade"
[ ! -e "$work/flash/tffs0/uimage.txt" ] || fail "uimage.txt left on the terminal"
echo "busybox telnetd: the PIC upgrade and a failed reflash as against the simulator"
