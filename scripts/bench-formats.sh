#!/usr/bin/env bash
# Measures tonalyx-cli counts on each format beside JPEG against that format's own reference
# decoder writing the picture out (to PPM where the decoder can; heif-convert writes no PPM,
# its rawest output is Y4M): the median of alternating runs and the median ratio of
# neighbouring runs, and the peak memory of both (/usr/bin/time's maximum resident set), whole
# and as the growth over the same program's peak on an 8 x 8 picture of the format. The
# pictures are one generated 4000 x 3000 photograph-like JPEG written in each format by the
# formats' own tools; beside them a DNG of the same size with that JPEG as its preview, whose
# sensor tonalyx-cli raw counts against dcraw writing the photosites out unscaled. The
# machine's load is printed before and after.
#   scripts/bench-formats.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-9}
cli=$build/cli/tonalyx-cli
bench=$build/bench/bench_engine
bench_raw=$build/bench/bench_raw
scripts/deps.sh time imagemagick netpbm webp libheif-examples libjxl-tools libtiff-tools dcraw
for program in "$cli" "$bench" "$bench_raw"; do
    [ -x "$program" ] || { echo "no $program: build it first (with -DTONALYX_BENCH=ON)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bench" --write "$work/photo.jpg" --size 4000x3000
convert=/usr/bin/convert
# Every format made from one JPEG named <stem>.jpg: <stem>-8.png, <stem>-16.png,
# <stem>-16.tif, <stem>.webp, <stem>.heic and <stem>.jxl.
make_formats() {
    local stem=$1
    $convert "$stem.jpg" "$stem-8.png"
    $convert "$stem.jpg" -depth 16 "$stem-16.png"
    $convert "$stem.jpg" -depth 16 -compress LZW "$stem-16.tif"
    cwebp -quiet -q 90 "$stem-8.png" -o "$stem.webp"
    heif-enc -q 90 "$stem.jpg" -o "$stem.heic" >/dev/null
    cjxl --quiet "$stem-8.png" "$stem.jxl" 2>/dev/null || cjxl "$stem-8.png" "$stem.jxl" >/dev/null 2>&1
}
make_formats "$work/photo"

# The same in 8 x 8 pixels: what each program takes before any picture (its libraries,
# its start), so that the growth a picture causes is compared too.
$convert "$work/photo.jpg" -resize 8x8! "$work/tiny.jpg"
make_formats "$work/tiny"
# A camera raw file of the same size (its sensor's photosites and its preview), and one just
# above the smallest sensor LibRaw reads.
"$bench_raw" --write-dng "$work/photo.dng" --size 4000x3000
"$bench_raw" --write-dng "$work/tiny.dng" --size 24x24

# name | file | the reference decoder's command on IN, the output file last. heif-convert
# twice: to Y4M (its rawest output, no RGB) and to PNG (the RGB picture counting needs).
cases=(
    "PNG 8-bit|photo-8.png|pngtopnm IN > $work/out.ppm"
    "PNG 16-bit|photo-16.png|pngtopnm IN > $work/out.ppm"
    "TIFF 16-bit LZW|photo-16.tif|tifftopnm -quiet IN > $work/out.ppm"
    "WebP lossy|photo.webp|dwebp -quiet IN -ppm -o $work/out.ppm"
    "HEIC, to Y4M|photo.heic|heif-convert IN $work/out.y4m > /dev/null"
    "HEIC, to PNG|photo.heic|heif-convert IN $work/out.png > /dev/null"
    "JPEG XL|photo.jxl|djxl IN $work/out.ppm > /dev/null 2>&1"
    "DNG, sensor counts|photo.dng|dcraw -D -4 -t 0 -c IN > $work/out.pgm|raw"
)

elapsed_ns() { # a shell command
    local start end
    start=$(date +%s%N)
    bash -c "$1" >/dev/null 2>&1
    end=$(date +%s%N)
    echo $((end - start))
}
# The peak of a command writing to a file: its memory, not the page cache's.
peak_kb() {
    /usr/bin/time -f %M bash -c "$1" 2>&1 >/dev/null | tail -n 1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| picture | reference | its time | tonalyx-cli counts (raw) | ratio | its peak | our peak | its growth | our growth |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
for entry in "${cases[@]}"; do
    IFS='|' read -r name file template command <<<"$entry"
    command=${command:-counts}
    tiny=$(echo "$file" | sed -e 's/^photo/tiny/')
    reference=${template//IN/$work/$file}
    ours="$cli $command $work/$file"
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
    theirs_kb=$(peak_kb "$reference")
    ours_kb=$(peak_kb "$ours")
    theirs_start_kb=$(peak_kb "${template//IN/$work/$tiny}")
    ours_start_kb=$(peak_kb "$cli $command $work/$tiny")
    mb() { awk -v k="$1" 'BEGIN { print k / 1024 }'; }
    printf '| %s | %s | %.0f ms | %.0f ms | %.2f | %.0f MB | %.0f MB | %.0f MB | %.0f MB |\n' \
        "$name" "${reference%% *}" \
        "$(awk '{ print $1 / 1e6 }' "$work/pairs" | median)" \
        "$(awk '{ print $2 / 1e6 }' "$work/pairs" | median)" \
        "$(awk '{ print $2 / $1 }' "$work/pairs" | median)" \
        "$(mb "$theirs_kb")" "$(mb "$ours_kb")" \
        "$(mb $((theirs_kb - theirs_start_kb)))" "$(mb $((ours_kb - ours_start_kb)))"
done
echo
echo "tonalyx-cli raw may grow by the unpacked sensor, 2 bytes a photosite, and 16 MB:" \
    "$((4000 * 3000 * 2 / 1048576 + 16)) MB here."
echo
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
