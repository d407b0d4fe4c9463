#!/usr/bin/env bash
# Measures tonalyx-cli counts against djpeg -dct fast, which decodes the same way and keeps
# nothing: peak memory (/usr/bin/time's maximum resident set) and time (hyperfine) on a
# generated 5472 x 3648 (20-megapixel) baseline JPEG and a 4928 x 3264 (16-megapixel)
# progressive one. The machine's load is printed before and after, since the times mean
# little on a busy machine.
#   scripts/bench-cli.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-30}
cli=$build/cli/tonalyx-cli
bench=$build/bench/bench_engine
scripts/deps.sh hyperfine libjpeg-turbo-progs time
for program in "$cli" "$bench"; do
    [ -x "$program" ] || { echo "no $program: build it first (with -DTONALYX_BENCH=ON)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write "$work/baseline-20mp.jpg" --size 5472x3648
"$bench" --write "$work/progressive-16mp.jpg" --size 4928x3264 --progressive

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| picture | tonalyx-cli counts | djpeg -dct fast | difference |"
echo "|---|---:|---:|---:|"
for picture in baseline-20mp progressive-16mp; do
    file=$work/$picture.jpg
    ours=$(/usr/bin/time -f %M "$cli" counts "$file" 2>&1 >/dev/null | tail -n 1)
    theirs=$(/usr/bin/time -f %M djpeg -dct fast -outfile /dev/null "$file" 2>&1 | tail -n 1)
    awk -v p="$picture" -v a="$ours" -v b="$theirs" \
        'BEGIN { printf "| %s | %.1f MB | %.1f MB | %+.1f MB |\n", p, a / 1024, b / 1024, (a - b) / 1024 }'
done
echo
hyperfine -N -w 5 -r "$runs" \
    -n "djpeg -dct fast" "djpeg -dct fast -outfile /dev/null $work/baseline-20mp.jpg" \
    -n "tonalyx-cli counts" "$cli counts $work/baseline-20mp.jpg"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
