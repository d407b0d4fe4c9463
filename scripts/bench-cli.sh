#!/usr/bin/env bash
# Measures tonalyx-cli counts against djpeg -dct fast, which decodes the same way and keeps
# nothing: peak memory (/usr/bin/time's maximum resident set) and time (hyperfine) on a
# generated 5472 x 3648 (20-megapixel) baseline JPEG and a 4928 x 3264 (16-megapixel)
# progressive one. The machine's load is printed before and after, since the times mean
# little on a busy machine. Besides hyperfine's figures, alternating runs give medians and the
# median ratio of neighbouring runs.
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

# hyperfine runs one command's runs, then the other's; on a shared machine the speed drifts
# between the two blocks by more than the difference measured. Runs that alternate, each
# compared with its neighbour, are not moved by that drift.
elapsed_ns() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $((end - start))
}
: >"$work/pairs"
for ((i = 0; i < runs; i++)); do
    if ((i % 2)); then
        ours=$(elapsed_ns "$cli" counts "$work/baseline-20mp.jpg")
        theirs=$(elapsed_ns djpeg -dct fast -outfile /dev/null "$work/baseline-20mp.jpg")
    else
        theirs=$(elapsed_ns djpeg -dct fast -outfile /dev/null "$work/baseline-20mp.jpg")
        ours=$(elapsed_ns "$cli" counts "$work/baseline-20mp.jpg")
    fi
    echo "$theirs $ours" >>"$work/pairs"
done
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo
printf '%d alternating runs, medians: djpeg -dct fast %.1f ms, tonalyx-cli counts %.1f ms, ratio of neighbours %.3f\n' \
    "$runs" "$(awk '{ print $1 / 1e6 }' "$work/pairs" | median)" \
    "$(awk '{ print $2 / 1e6 }' "$work/pairs" | median)" "$(awk '{ print $2 / $1 }' "$work/pairs" | median)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
