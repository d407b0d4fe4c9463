#!/usr/bin/env bash
# Installs what is missing, builds, and runs Tonalyx.
#   scripts/run.sh [IMAGE]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONALYX_TESTS=OFF -DTONALYX_BENCH=OFF >/dev/null
cmake --build build
exec ./build/app/tonalyx "$@"
