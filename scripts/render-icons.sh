#!/usr/bin/env bash
# Draws the PNG sizes of the program's icon from its SVG into resources/icons/hicolor/, where
# the build takes them from. Run it after changing the SVG and commit the pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh librsvg2-bin
svg=resources/icons/example.varnel.Tonalyx.svg
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "resources/icons/hicolor/${size}x${size}"
    rsvg-convert -w "$size" -h "$size" "$svg" -o "resources/icons/hicolor/${size}x${size}/example.varnel.Tonalyx.png"
done
