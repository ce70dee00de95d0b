#!/usr/bin/env bash
# Builds the libFuzzer targets of the pure parsers (clang, ASan, UBSan) in
# build-fuzz and runs each for FUZZ_SECONDS (default 30) from its seeds in
# fuzz/corpus, or for FUZZ_RUNS executions when that is set (no time limit
# then). Prints the executions per target and any crash or broken
# invariant; exits 1 when there was one. Not part of ./test.sh, which only
# replays the seeds.
#   FUZZ_SECONDS=300 FUZZ_TARGETS="listing_fuzz ftp_reply_fuzz" bench/fuzz.sh
#   FUZZ_RUNS=1000000 FUZZ_TARGETS=antenna_fuzz bench/fuzz.sh
# New inputs found go to build-fuzz/runs/<target>/corpus, crashes to
# build-fuzz/runs/<target>/crashes; the seeds are never written.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/common.sh

FUZZ_SECONDS=${FUZZ_SECONDS:-30}
FUZZ_RUNS=${FUZZ_RUNS:-}
FUZZ_TARGETS=${FUZZ_TARGETS:-"zing_response_fuzz version_text_fuzz listing_fuzz image_descriptor_fuzz package_tail_fuzz ftp_reply_fuzz antenna_fuzz pic_dialogue_fuzz release_text_fuzz"}
BUILD=build-fuzz

ensure_packages clang libclang-rt-14-dev cmake ninja-build qt6-base-dev
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S fuzz -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD" -j "$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
printf '%-22s %12s %10s %8s  %s\n' target executions "exec/s" "new" result
for t in $FUZZ_TARGETS; do
  [ -x "$BUILD/$t" ] || { echo "unknown target: $t" >&2; exit 2; }
  run="$BUILD/runs/$t"
  mkdir -p "$run/corpus" "$run/crashes"
  rm -f "$run/crashes/"*
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=("-dict=fuzz/dict/$t.dict")
  limit=("-max_total_time=$FUZZ_SECONDS")
  [ -n "$FUZZ_RUNS" ] && limit=("-runs=$FUZZ_RUNS")
  rc=0
  "$BUILD/$t" "${limit[@]}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$run/crashes/" "${dict[@]}" "$run/corpus" "fuzz/corpus/$t" >"$run/log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log")
  added=$(sed -n 's/^stat::new_units_added: *//p' "$run/log")
  if [ "$rc" -eq 0 ] && [ -z "$(ls -A "$run/crashes")" ]; then
    result=ok
  else
    result="FAILED (exit $rc), see $run/log"
    failed=1
  fi
  printf '%-22s %12s %10s %8s  %s\n' "$t" "${execs:--}" "${speed:--}" "${added:--}" "$result"
  if [ "$result" != ok ]; then
    grep -E 'invariant failed|ERROR: |runtime error|SUMMARY' "$run/log" | head -5 | sed 's/^/    /'
    ls "$run/crashes" | sed "s|^|    $run/crashes/|"
  fi
done
exit "$failed"
