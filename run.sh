#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the main job on the embedded servers.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
echo "The console agent is not built yet: nothing to run."
