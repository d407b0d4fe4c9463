#!/usr/bin/env bash
# Small PNG seeds for fuzz_png in DIR: every colour type and depth, interlaced or not, with
# transparency, made by ImageMagick and libvips.
set -euo pipefail
dir=${1:?usage: png.sh DIR}
convert=/usr/bin/convert
[ -x "$convert" ] || exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$convert" -size 37x23 gradient:'#203040'-'#f0c080' -seed 4 -attenuate 0.5 +noise Gaussian "$work/base.png"
"$convert" "$work/base.png" -alpha set -channel A -fx 'i<7?0:(j+1)/h' +channel "$work/alpha.png"
grey=(-colorspace Gray)
"$convert" "$work/base.png" "${grey[@]}" -define png:color-type=0 -define png:bit-depth=1 "$dir/grey1.png"
"$convert" "$work/base.png" "${grey[@]}" -define png:color-type=0 -define png:bit-depth=4 -interlace PNG "$dir/grey4-interlaced.png"
"$convert" "$work/base.png" "${grey[@]}" -define png:color-type=0 -define png:bit-depth=16 "$dir/grey16.png"
"$convert" "$work/base.png" "${grey[@]}" -depth 8 -fill 'gray(1)' -draw 'rectangle 0,0 5,22' -transparent 'gray(1)' -define png:color-type=0 "$dir/grey8-key.png"
"$convert" "$work/alpha.png" "${grey[@]}" -depth 8 "$dir/grey-alpha8.png"
"$convert" "$work/alpha.png" -colors 50 "PNG8:$dir/palette-alpha.png"
"$convert" "$work/base.png" -depth 8 "PNG24:$dir/rgb8.png"
"$convert" "$work/base.png" -depth 8 -fill '#010203' -draw 'rectangle 0,0 5,22' -transparent '#010203' -define png:color-type=2 "$dir/rgb8-key.png"
"$convert" "$work/base.png" -interlace PNG "PNG48:$dir/rgb16-interlaced.png"
"$convert" "$work/alpha.png" "PNG64:$dir/rgba16.png"
"$convert" "$work/alpha.png" -depth 8 -interlace PNG "PNG32:$dir/rgba8-interlaced.png"
if command -v vips >/dev/null; then
    vips copy "$work/alpha.png" "$dir/palette2.png[palette,bitdepth=2]"
    vips copy "$work/alpha.png" "$dir/palette4-interlaced.png[palette,bitdepth=4,interlace]"
fi
