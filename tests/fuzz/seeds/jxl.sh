#!/usr/bin/env bash
# Small JPEG XL seeds made with cjxl: grey and colour, 8 and 16 bits, alpha, lossless and
# lossy, an animation, a profile.
#   tests/fuzz/seeds/jxl.sh DIR
set -euo pipefail
dir=${1:?usage: jxl.sh DIR}
command -v cjxl >/dev/null || exit 0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
. "$(dirname "$0")/tool_sources.sh"
make_png_sources "$tmp"
$convert "$tmp/rgb8.png" -colorspace Gray -type Grayscale PNG:"$tmp/grey.png"
$convert "$tmp/rgba8.png" -colorspace Gray -type GrayscaleAlpha PNG:"$tmp/greyalpha.png"
$convert -delay 10 -size 9x7 xc:red xc:blue "$tmp/two.gif"
$convert "$tmp/rgb8.png" -define png:exclude-chunks=sRGB PNG24:"$tmp/gamma.png"
q() { cjxl "$@" >/dev/null 2>&1; }
q "$tmp/rgb8.png" "$dir/rgb8.jxl" -d 0
q "$tmp/rgb8.png" "$dir/lossy8.jxl" -d 2
q "$tmp/rgba8.png" "$dir/rgba8.jxl" -d 0
q "$tmp/rgba8.png" "$dir/lossy-alpha.jxl" -d 2
q "$tmp/rgb16.png" "$dir/rgb16.jxl" -d 0
q "$tmp/rgba16.png" "$dir/rgba16.jxl" -d 0
q "$tmp/grey.png" "$dir/grey.jxl" -d 0
q "$tmp/greyalpha.png" "$dir/greyalpha.jxl" -d 0
q "$tmp/two.gif" "$dir/two.jxl" -d 0
q "$tmp/gamma.png" "$dir/gamma.jxl" -d 1
q "$tmp/rgb8.png" "$dir/container.jxl" -d 1 --container=1
head -c 200 "$dir/lossy8.jxl" >"$dir/cut.jxl"
