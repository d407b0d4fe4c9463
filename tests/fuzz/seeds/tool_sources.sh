# Sourced by the seed scripts of formats other tools write: small PNG sources in DIR
# (rgb8, rgba8, rgb16, rgba16 .png, 37 × 23: a gradient under noise, alpha falling to 0).
#   make_png_sources DIR
convert=/usr/bin/convert
make_png_sources() {
    $convert -size 37x23 gradient:red-blue -seed 3 +noise Random -depth 8 PNG24:"$1/rgb8.png"
    $convert "$1/rgb8.png" \( -size 37x23 gradient:white-black \) -alpha off \
        -compose copy-opacity -composite PNG32:"$1/rgba8.png"
    $convert "$1/rgb8.png" -depth 16 PNG48:"$1/rgb16.png"
    $convert "$1/rgba8.png" -depth 16 PNG64:"$1/rgba16.png"
}
