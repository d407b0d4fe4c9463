#!/usr/bin/env bash
# Small HEIF and AVIF seeds made with heif-enc: 8, 10 and 12 bits, alpha, lossless, odd sizes;
# and the damaged files the decoder's tests keep (a grid, which heif-enc does not write).
#   tests/fuzz/seeds/heif.sh DIR
set -euo pipefail
dir=${1:?usage: heif.sh DIR}
cp "$(dirname "$0")/../../data/heif/"*.heic "$dir/"
command -v heif-enc >/dev/null || exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/tool_sources.sh"
make_png_sources "$tmp"
$convert -size 17x9 gradient:white-black -depth 8 PNG24:"$tmp/small.png"
heif-enc -q 30 "$tmp/rgb8.png" -o "$dir/rgb8.heic"
heif-enc -q 30 "$tmp/rgba8.png" -o "$dir/rgba8.heic"
heif-enc -q 30 -b 10 "$tmp/rgb16.png" -o "$dir/rgb10.heic"
heif-enc -q 30 -b 12 "$tmp/rgba16.png" -o "$dir/rgba12.heic"
heif-enc -L -p chroma=444 --matrix_coefficients=0 "$tmp/small.png" -o "$dir/lossless.heic"
heif-enc -q 30 "$tmp/small.png" -o "$dir/small.heic"
heif-enc -q 30 "$tmp/rgb8.png" -o "$dir/rgb8.avif"
heif-enc -q 30 "$tmp/rgba8.png" -o "$dir/rgba8.avif"
heif-enc -q 30 -p chroma=444 "$tmp/rgb8.png" -o "$dir/rgb444.avif"
heif-enc -q 30 "$tmp/small.png" -o "$dir/small.avif"
head -c 300 "$dir/rgb8.heic" >"$dir/cut.heic"
# A turned picture: heif-enc writes no irot, so its 16-byte pixi property is overwritten with
# one (padded; no offset moves).
cp "$dir/rgba8.heic" "$dir/turned.heic"
at=$(grep -obUa pixi "$dir/turned.heic" | head -n 1 | cut -d: -f1)
printf 'irot\001\000\000\000\000\000\000\000' | dd of="$dir/turned.heic" bs=1 seek="$at" conv=notrunc status=none
