#!/usr/bin/env bash
# Small TIFF seeds for fuzz_tiff, one of each kind the decoder reads, made with the tools the
# tests use: tests/fuzz/seeds/tiff.sh DIR
set -euo pipefail
out=${1:?usage: tiff.sh DIR}
mkdir -p "$out"
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$convert" -size 37x29 -seed 3 plasma:red-blue -alpha set -channel A -fx "i<8?0:(j+1)/h" \
    +channel "$work/rgba.png"
"$convert" "$work/rgba.png" -alpha off "$work/rgb.png"

"$convert" "$work/rgb.png" -depth 8 -compress None "$out/rgb8.tif"
"$convert" "$work/rgb.png" -depth 8 -compress LZW -define tiff:rows-per-strip=5 "$out/rgb8-lzw.tif"
"$convert" "$work/rgb.png" -depth 16 -compress Zip "$out/rgb16-zip.tif"
"$convert" "$work/rgb.png" -depth 8 -compress Zip -define tiff:tile-geometry=16x16 "$out/tiles.tif"
"$convert" "$work/rgba.png" -depth 8 -define tiff:alpha=unassociated -compress RLE "$out/rgba8.tif"
"$convert" "$work/rgba.png" -depth 16 -define tiff:alpha=unassociated -interlace Plane \
    "$out/rgba16-planes.tif"
"$convert" "$work/rgb.png" -colorspace Gray -depth 1 "$out/grey1.tif"
"$convert" "$work/rgb.png" -colorspace Gray -depth 4 -define tiff:photometric=min-is-white \
    "$out/grey4-white.tif"
"$convert" "$work/rgba.png" -colorspace Gray -depth 8 -define tiff:alpha=unassociated \
    "$out/grey-alpha.tif"
"$convert" "$work/rgb.png" -colors 16 -type Palette -orient RightTop "$out/palette.tif"
vips tiffsave "$work/rgb.png" "$out/jpeg-ycbcr.tif" --compression jpeg
"$convert" "$work/rgb.png" -depth 8 "$work/plain.tif"
tiffcp -8 -B -c packbits "$work/plain.tif" "$out/bigtiff-msb.tif"
tiffcp -c jpeg -t -w 16 -l 16 "$work/plain.tif" "$out/jpeg-tiles.tif"
