#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
#   scripts/deps.sh [extra package...]
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libjpeg-dev libpng-dev zlib1g-dev libcurl4-openssl-dev libxml2-dev
    libgtest-dev
    libcpp-httplib-dev curl
    # the histogram panel's font: the exported pictures depend on its glyphs
    fonts-dejavu-core
    # chmcmd, which compiles the help file; needed to build, never to run
    fp-utils
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
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
