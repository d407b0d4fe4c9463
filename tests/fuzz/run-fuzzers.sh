#!/usr/bin/env bash
# Builds the decoder fuzzers with clang and runs each for a bounded time.
#   tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS_PER_FUZZER]   (default 20 seconds)
# Seeds come from the public test suites beside the project when present, and from files
# made by make_fuzz_seeds (JPEG, BMP, camera raw) or, for a format another tool writes, by
# tests/fuzz/seeds/KIND.sh DIR. Crashing inputs land in BUILD_DIR/fuzz-artifacts.
# Exits non-zero when a fuzzer finds a fault, or an input that takes over 10 s to decode
# (a hang: the slowest legal inputs take about a second, more on a loaded machine).
set -euo pipefail

build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS_PER_FUZZER]}
seconds=${2:-20}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
testdata=$source_dir/../shared/testdata

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} cmake -S "$source_dir" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONALYX_FUZZ=ON -DTONALYX_TESTS=OFF -DTONALYX_BENCH=OFF
# One fuzzer a format of the table: tests/fuzz/fuzz_KIND.cpp.
kinds=(jpeg bmp png tiff webp heif jxl raw)
targets=()
for kind in "${kinds[@]}"; do targets+=("fuzz_$kind"); done
cmake --build "$build" --target "${targets[@]}" make_fuzz_seeds

# Fresh seeds on every run; what a run discovers stays in the work corpora.
seeds=$build/fuzz-seeds
rm -rf "$seeds"
mkdir -p "$build/fuzz-artifacts"
for kind in "${kinds[@]}"; do
    mkdir -p "$seeds/$kind" "$build/fuzz-corpus/$kind"
    if [ -x "$source_dir/tests/fuzz/seeds/$kind.sh" ]; then
        "$source_dir/tests/fuzz/seeds/$kind.sh" "$seeds/$kind"
    fi
done
"$build/tests/fuzz/make_fuzz_seeds" "$seeds/jpeg" "$seeds/bmp" "$seeds/raw"
# Raw files that once made the raw reader fail stay among its seeds.
cp "$source_dir"/tests/data/raw/*.dng "$seeds/raw/"
if [ -d "$testdata/libjpeg-turbo" ]; then
    cp "$testdata"/libjpeg-turbo/*.jpg "$seeds/jpeg/"
fi
for folder in g q b; do
    if [ -d "$testdata/bmpsuite/$folder" ]; then
        for f in "$testdata/bmpsuite/$folder"/*.bmp; do
            cp "$f" "$seeds/bmp/$folder-$(basename "$f")"
        done
    fi
done

# Leaks known inside system libraries (tests/fuzz/lsan.supp) are not the decoders'.
export LSAN_OPTIONS="suppressions=$source_dir/tests/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
status=0
for kind in "${kinds[@]}"; do
    echo "== fuzz_$kind for $seconds s"
    "$build/tests/fuzz/fuzz_$kind" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/fuzz-artifacts/$kind-" \
        "$build/fuzz-corpus/$kind" "$seeds/$kind" || status=1
done
exit $status
