#!/usr/bin/env bash
# Installs what is missing, builds, and runs Tonalyx.
#   scripts/run.sh [IMAGE]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONALYX_TESTS=OFF >/dev/null
cmake --build build

image="${1:-resources/samples/sample.jpg}"
./build/cli/tonalyx-cli counts --display "$image"
