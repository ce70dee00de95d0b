#!/usr/bin/env bash
# Builds the upgrader and runs every test through CTest.
# --sanitize: the same tests built with ASan and UBSan in build-asan; any
# sanitizer report fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

case "${1:-}" in
  "" | --sanitize) ;;
  *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
esac

ensure_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
install_peer_packages
export_loopback_settings
if [ "${1:-}" = --sanitize ]; then
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  if [ -f build-asan/CMakeCache.txt ] && ! grep -q '^QORA_SANITIZE:BOOL=ON' build-asan/CMakeCache.txt; then
    cmake -S . -B build-asan -DQORA_SANITIZE=ON
  fi
  build_tree build-asan -DQORA_SANITIZE=ON
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 900
  exit 0
fi
build_tree build
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
