#!/usr/bin/env bash
# Small WebP seeds for fuzz_webp in DIR: lossy and lossless, with and without alpha, with a
# colour profile and Exif, and an animation, made by cwebp and webpmux.
set -euo pipefail
dir=${1:?usage: webp.sh DIR}
convert=/usr/bin/convert
[ -x "$convert" ] && command -v cwebp >/dev/null || exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$convert" -size 37x23 gradient:'#203040'-'#f0c080' -seed 4 -attenuate 0.5 +noise Gaussian -depth 8 "$work/base.png"
"$convert" "$work/base.png" -alpha set -channel A -fx 'i<7?0:(j+1)/h' +channel "PNG32:$work/alpha.png"
cwebp -quiet -q 80 "$work/base.png" -o "$dir/lossy.webp"
cwebp -quiet -q 60 -alpha_q 50 "$work/alpha.png" -o "$dir/lossy-alpha.webp"
cwebp -quiet -q 90 -exact -alpha_filter best "$work/alpha.png" -o "$dir/lossy-alpha-exact.webp"
cwebp -quiet -lossless "$work/base.png" -o "$dir/lossless.webp"
cwebp -quiet -lossless -exact "$work/alpha.png" -o "$dir/lossless-alpha.webp"
cwebp -quiet -near_lossless 60 "$work/alpha.png" -o "$dir/near-lossless.webp"
if command -v webpmux >/dev/null; then
    # An Exif block (big-endian TIFF, orientation 6) and a small fake profile.
    printf 'MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0' >"$work/o.exif"
    head -c 600 /dev/urandom >"$work/p.icc"
    webpmux -set exif "$work/o.exif" "$dir/lossy.webp" -o "$dir/lossy-exif.webp" >/dev/null
    webpmux -set icc "$work/p.icc" "$dir/lossless-alpha.webp" -o "$dir/lossless-icc.webp" >/dev/null
    cwebp -quiet -lossless -exact -crop 4 3 20 12 "$work/alpha.png" -o "$work/f1.webp"
    webpmux -frame "$work/f1.webp" +100+4+2+0-b -frame "$dir/lossy.webp" +100+0+0+1+b \
        -loop 0 -o "$dir/animation.webp" >/dev/null
fi
