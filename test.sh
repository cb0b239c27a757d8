#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test.
#   BUILD_DIR=... (default build)   EXTRA_CMAKE="-DTVX_SANITIZE=ON"
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DTVX_WERROR=ON ${EXTRA_CMAKE:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure
