#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. A package
# that ships a service (nginx) is installed without starting it.
#   scripts/deps.sh [extra package...]
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libjpeg-dev libpng-dev zlib1g-dev libcurl4-openssl-dev libxml2-dev
    # Exif orientations and colour profiles
    libexif-dev liblcms2-dev
    # the formats beyond JPEG and BMP
    libtiff-dev libwebp-dev libheif-dev libjxl-dev
    # camera raw files
    libraw-dev
    # the X11 clipboard, asked over a connection of the program's own
    libxcb1-dev
    libgtest-dev
    libcpp-httplib-dev curl
    # Boost.Beast and Asio, the server's HTTP
    libboost-dev
    # the histogram panel's font: the exported pictures depend on its glyphs
    fonts-dejavu-core
    # chmcmd, which compiles the help file; needed to build, never to run
    fp-utils
    # an X server, xwininfo and xauth (xvfb-run needs it; xvfb only recommends it): the
    # package check looks at the running window's class
    xvfb xauth x11-utils
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq

# For the length of the install, a policy that lets no package start its service (the
# tests run nginx on a port of their own); the machine's own policy, if any, comes back.
policy=/usr/sbin/policy-rc.d
saved=""
if [ -e "$policy" ]; then
    saved=$(mktemp)
    $sudo cp -p "$policy" "$saved"
fi
restore_policy() {
    if [ -n "$saved" ]; then
        $sudo cp -p "$saved" "$policy"
        rm -f "$saved"
    else
        $sudo rm -f "$policy"
    fi
}
trap restore_policy EXIT
printf '#!/bin/sh\n# Tonalyx scripts/deps.sh: no service starts while it installs.\nexit 101\n' |
    $sudo tee "$policy" >/dev/null
$sudo chmod 755 "$policy"
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
