#!/usr/bin/env bash
# Measures tonalyx-cli counts on each format beside JPEG against that format's own reference
# decoder writing the picture out (to PPM where the decoder can; heif-convert writes no PPM,
# its rawest output is Y4M): the median of alternating runs and the median ratio of
# neighbouring runs, and the peak memory of both (/usr/bin/time's maximum resident set). The
# pictures are one generated 4000 x 3000 photograph-like JPEG written in each format by the
# formats' own tools. The machine's load is printed before and after.
#   scripts/bench-formats.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-9}
cli=$build/cli/tonalyx-cli
bench=$build/bench/bench_engine
scripts/deps.sh time imagemagick netpbm webp libheif-examples libjxl-tools libtiff-tools
for program in "$cli" "$bench"; do
    [ -x "$program" ] || { echo "no $program: build it first (with -DTONALYX_BENCH=ON)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write "$work/photo.jpg" --size 4000x3000
convert=/usr/bin/convert
$convert "$work/photo.jpg" "$work/photo-8.png"
$convert "$work/photo.jpg" -depth 16 "$work/photo-16.png"
$convert "$work/photo.jpg" -depth 16 -compress LZW "$work/photo-16.tif"
cwebp -quiet -q 90 "$work/photo-8.png" -o "$work/photo.webp"
heif-enc -q 90 "$work/photo.jpg" -o "$work/photo.heic" >/dev/null
cjxl --quiet "$work/photo-8.png" "$work/photo.jxl" 2>/dev/null || cjxl "$work/photo-8.png" "$work/photo.jxl" >/dev/null 2>&1

# name | file | the reference decoder's command, the output file last
cases=(
    "PNG 8-bit|photo-8.png|pngtopnm $work/photo-8.png > $work/out.ppm"
    "PNG 16-bit|photo-16.png|pngtopnm $work/photo-16.png > $work/out.ppm"
    "TIFF 16-bit LZW|photo-16.tif|tifftopnm -quiet $work/photo-16.tif > $work/out.ppm"
    "WebP lossy|photo.webp|dwebp -quiet $work/photo.webp -ppm -o $work/out.ppm"
    "HEIC|photo.heic|heif-convert $work/photo.heic $work/out.y4m > /dev/null"
    "JPEG XL|photo.jxl|djxl $work/photo.jxl $work/out.ppm > /dev/null 2>&1"
)

elapsed_ns() { # a shell command
    local start end
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $((end - start))
}
peak_kb() {
    /usr/bin/time -f %M bash -c "exec $1" 2>&1 >/dev/null | tail -n 1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| picture | reference | its time | tonalyx-cli counts | ratio | its peak | our peak |"
echo "|---|---|---:|---:|---:|---:|---:|"
for entry in "${cases[@]}"; do
    IFS='|' read -r name file reference <<<"$entry"
    ours="$cli counts $work/$file"
    : >"$work/pairs"
    for ((i = 0; i < runs; i++)); do
        if ((i % 2)); then
            a=$(elapsed_ns "$ours")
            b=$(elapsed_ns "$reference")
        else
            b=$(elapsed_ns "$reference")
            a=$(elapsed_ns "$ours")
        fi
        echo "$b $a" >>"$work/pairs"
    done
    # The peak of a reference writing to a file: its memory, not the page cache's.
    theirs_kb=$(/usr/bin/time -f %M bash -c "$reference" 2>&1 >/dev/null | tail -n 1)
    ours_kb=$(peak_kb "$ours")
    printf '| %s | %s | %.0f ms | %.0f ms | %.2f | %.0f MB | %.0f MB |\n' "$name" "${reference%% *}" \
        "$(awk '{ print $1 / 1e6 }' "$work/pairs" | median)" \
        "$(awk '{ print $2 / 1e6 }' "$work/pairs" | median)" \
        "$(awk '{ print $2 / $1 }' "$work/pairs" | median)" \
        "$(awk -v k="$theirs_kb" 'BEGIN { print k / 1024 }')" \
        "$(awk -v k="$ours_kb" 'BEGIN { print k / 1024 }')"
done
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
