#!/usr/bin/env bash
# Uploads and downloads a file (64 MiB) through InetFtp (ftp-bench) and through
# the curl command-line tool against the same loopback FTP server, alternating,
# and prints the median time per direction and the speed ratio InetFtp/curl
# (goal: at least 0.9 both ways).
#
# Server: by default the terminal simulator started here on 127.0.0.1; set
# FTP_PORT (and FTP_HOST, a 127.x address) to use a server already running.
# Paths are relative to the login folder.
#   ROUNDS=7 SIZE_MIB=64 FTP_BENCH=build/bin/ftp-bench bench/ftp_bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."

ROUNDS=${ROUNDS:-5}
SIZE_MIB=${SIZE_MIB:-64}
FTP_BENCH=${FTP_BENCH:-build/bin/ftp-bench}
FTP_HOST=${FTP_HOST:-127.0.0.1}
FTP_USER=${FTP_USER:-qorauser}
FTP_PASS=${FTP_PASS:-skywardly}
export QORA_LOOPBACK_ONLY=1

case "$FTP_HOST" in 127.*) ;; *) echo "FTP_HOST must be a loopback address" >&2; exit 2 ;; esac
[ -x "$FTP_BENCH" ] || { echo "build ftp-bench first ($FTP_BENCH)" >&2; exit 2; }
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 2; }

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${FTP_PORT:-}" ]; then
    . scripts/common.sh
    QORA_DEFAULT_TERMINAL_IP=$FTP_HOST QORA_ZING_PORT=0 QORA_FTP_PORT=0 QORA_TELNET_PORT=0
    start_simulator "${FTP_SIM_BIN:-build/bin}" "$work/server.out" --flash "$work/flash"
    server_pid=$sim_pid
    FTP_PORT=$QORA_FTP_PORT
    echo "server: terminal simulator on $FTP_HOST:$FTP_PORT"
else
    echo "server: $FTP_HOST:$FTP_PORT"
fi

head -c "$((SIZE_MIB * 1024 * 1024))" /dev/urandom >"$work/up.bin"
url="ftp://$FTP_HOST:$FTP_PORT"
curl_put() { curl -sS --user "$FTP_USER:$FTP_PASS" -T "$work/up.bin" -o /dev/null -w '%{time_total}' "$url/bench_curl.bin"; }
curl_get() { curl -sS --user "$FTP_USER:$FTP_PASS" -o "$work/down_curl.bin" -w '%{time_total}' "$url/bench_inet.bin"; }
inet_put() { "$FTP_BENCH" "$FTP_HOST" "$FTP_PORT" put "$work/up.bin" bench_inet.bin 2>>"$work/bench.err"; }
inet_get() { "$FTP_BENCH" "$FTP_HOST" "$FTP_PORT" get bench_curl.bin "$work/down_inet.bin" 2>>"$work/bench.err"; }

: >"$work/put_inet"; : >"$work/put_curl"; : >"$work/get_inet"; : >"$work/get_curl"
for round in $(seq "$ROUNDS"); do
    # Alternate which tool goes first, so neither always meets a warm cache.
    if [ $((round % 2)) -eq 1 ]; then
        inet_put >>"$work/put_inet"; curl_put >>"$work/put_curl"; echo >>"$work/put_curl"
        inet_get >>"$work/get_inet"; curl_get >>"$work/get_curl"; echo >>"$work/get_curl"
    else
        curl_put >>"$work/put_curl"; echo >>"$work/put_curl"; inet_put >>"$work/put_inet"
        curl_get >>"$work/get_curl"; echo >>"$work/get_curl"; inet_get >>"$work/get_inet"
    fi
    cmp -s "$work/up.bin" "$work/down_inet.bin" || { echo "InetFtp download differs" >&2; exit 1; }
    cmp -s "$work/up.bin" "$work/down_curl.bin" || { echo "curl download differs" >&2; exit 1; }
done

median() { sort -g "$1" | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
report() {
    local inet curl
    inet=$(median "$work/${1}_inet"); curl=$(median "$work/${1}_curl")
    awk -v d="$1" -v i="$inet" -v c="$curl" -v mib="$SIZE_MIB" 'BEGIN {
        printf "%-4s InetFtp %.3f s (%.0f MiB/s)  curl %.3f s (%.0f MiB/s)  ratio %.2f\n", d, i, mib/i, c, mib/c, c/i }'
}
echo "$ROUNDS rounds, $SIZE_MIB MiB, medians:"
report put
report get
grep -h "peak memory" "$work/bench.err" | sort -t' ' -k4 -n | tail -1 | sed 's/^/largest /'
