#!/usr/bin/env bash
# Builds the upgrader and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/common.sh

ensure_packages "${BUILD_PACKAGES[@]}"
export_loopback_settings
build_tree build
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 600
