#!/usr/bin/env bash
# Builds the Debian package from a configured build folder and checks it: its name and
# control fields, that it has no maintainer scripts, that it holds every file below, that the
# desktop entry, the metainfo and the manual pages are valid and the icons exist at every
# size, and that the programs unpacked from it into a temporary root run.
#   scripts/check-package.sh BUILD_DIR
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

app_id=example.varnel.Tonalyx
icon_sizes=(16 22 24 32 48 64 128 256)
# Every file the package must hold, below /. A file the package gains is added here.
expected_files=(
    usr/bin/tonalyx
    usr/bin/tonalyx-cli
    usr/bin/tonalyx-render
    usr/bin/tonalyx-server
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    usr/share/man/man1/tonalyx.1.gz
    usr/share/man/man1/tonalyx-cli.1.gz
    usr/share/man/man1/tonalyx-render.1.gz
    usr/share/man/man1/tonalyx-server.1.gz
    usr/share/tonalyx/server/Tonalyx-Info/feed.xml
    usr/share/tonalyx/server/Tonalyx/index.html
    usr/share/tonalyx/server/Lumivar/index.html
    usr/share/tonalyx/server/index.html
    usr/share/tonalyx/server/Download/index.html
    usr/share/tonalyx/nginx/tonalyx.conf.template
    usr/lib/systemd/system/tonalyx-server.service
    usr/share/doc/tonalyx/copyright
    "usr/share/tonalyx/Tonalyx Help.chm"
    usr/share/tonalyx/help/index.html
)
for size in "${icon_sizes[@]}"; do
    expected_files+=("usr/share/icons/hicolor/${size}x$size/apps/$app_id.png")
done

failures=0
check() { # description, command...
    local what=$1
    shift
    if "$@"; then
        echo "ok      $what"
    else
        echo "FAILED  $what"
        failures=$((failures + 1))
    fi
}

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
short_version=$(cut -d. -f1-3 <<<"$version")
arch=$(dpkg --print-architecture)
deb="$build/tonalyx_${version}_$arch.deb"
rm -f "$build"/tonalyx_*.deb
if ! cmake --build "$build" --target package >"$build/package.log" 2>&1; then
    cat "$build/package.log"
    echo "FAILED  the package builds"
    exit 1
fi
check "the package is named tonalyx_${version}_$arch.deb" test -f "$deb"
[ -f "$deb" ] || exit 1

root=$(mktemp -d)
server_pid=""
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT

field() { dpkg-deb -f "$deb" "$1"; }
check "Package and Version" test "$(field Package) $(field Version)" = "tonalyx $version"
check "a maintainer with an address" grep -qE '^[^<]+ <[^@>]+@[^>]+>$' <<<"$(field Maintainer)"
depends=$(field Depends)
echo "        Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libjpeg62-turbo libexif12 liblcms2-2 libpng16-16 libcurl4 libxml2 libxcb1 qt6-qpa-plugins fonts-dejavu-core; do
    check "Depends names $lib" grep -qE "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends"
done
control_files=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ')
check "no maintainer scripts (control: $control_files)" test "$control_files" = "control md5sums "

# Names are read from the archive itself, since they may hold blanks ("Tonalyx Help.chm").
listing=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||')
missing=()
for file in "${expected_files[@]}"; do
    grep -qxF "$file" <<<"$listing" || missing+=("$file")
done
check "the package holds all ${#expected_files[@]} files (missing: ${missing[*]:-none})" \
    test ${#missing[@]} -eq 0
check "the server's unit is not enabled" \
    bash -c '! grep -q "^etc/systemd" <<<"$1"' _ "$listing"

dpkg-deb -x "$deb" "$root"
check "the desktop entry validates" \
    desktop-file-validate "$root/usr/share/applications/$app_id.desktop"
# Both name the MIME types of the program's image formats, which test_image_formats compares
# with the table of formats.
desktop_types=$(sed -n 's/^MimeType=//p' "$root/usr/share/applications/$app_id.desktop")
metainfo_types=$(sed -n 's|.*<mediatype>\(.*\)</mediatype>.*|\1;|p' \
    "$root/usr/share/metainfo/$app_id.metainfo.xml" | tr -d '\n')
check "the desktop entry opens the metainfo's media types ($desktop_types)" \
    test -n "$desktop_types" -a "$desktop_types" = "$metainfo_types"
# The desktop matches the running window to its launcher by the window's class, which the
# toolkit takes from the program's name.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$root/usr/share/applications/$app_id.desktop")
program_name=$(sed -n 's/.*setApplicationName(QStringLiteral("\([^"]*\)")).*/\1/p' app/main.cpp)
check "the desktop entry's StartupWMClass ($wm_class) is the program's name ($program_name)" \
    test -n "$wm_class" -a "$wm_class" = "$program_name"
if command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null; then
    # The class the unpacked program's window really has, on a private X server, with
    # settings of its own and the maker's server on a closed loopback port. The X11 platform is
    # named, since the test command runs everything else off-screen.
    running_class=$(QT_QPA_PLATFORM=xcb HOME="$root/home" XDG_CONFIG_HOME="$root/config" \
        TONALYX_SERVER_URL=http://127.0.0.1:9/ xvfb-run -a bash -c '
        "$1" 2>/dev/null & pid=$!
        for _ in $(seq 100); do
            class=$(xwininfo -root -tree | sed -n "s/.*\"Tonalyx\": (\"[^\"]*\" \"\([^\"]*\)\").*/\1/p" | head -1)
            [ -n "$class" ] && break
            sleep 0.1
        done
        kill "$pid"; wait "$pid" 2>/dev/null
        echo "$class"' _ "$root/usr/bin/tonalyx")
    check "the running window's class ($running_class) is the desktop entry's StartupWMClass" \
        test "$running_class" = "$wm_class"
else
    echo "skipped the running window's class (no xvfb-run or xwininfo)"
fi
check "the metainfo validates" \
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml"
check "the metainfo names the release $version" \
    grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml"
check "the metainfo and the copyright name the MIT licence" bash -c \
    'grep -q "<project_license>MIT</project_license>" "$1" && grep -qx "License: MIT" "$2"' _ \
    "$root/usr/share/metainfo/$app_id.metainfo.xml" "$root/usr/share/doc/tonalyx/copyright"

png_size() { # prints WIDTHxHEIGHT from the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}'
}
for size in "${icon_sizes[@]}"; do
    icon="$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"
    check "the ${size}x$size icon is ${size}x$size" test "$([ -f "$icon" ] && png_size "$icon")" = "${size}x$size"
done

for page in tonalyx tonalyx-cli tonalyx-render tonalyx-server; do
    warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
    check "the manual page of $page reads without warnings $warnings" test -z "$warnings"
done

bin="$root/usr/bin"
check "tonalyx-cli --version" test "$("$bin/tonalyx-cli" --version)" = "tonalyx-cli $version"
check "tonalyx-render --help" bash -c '"$1" --help | grep -q "^Usage: tonalyx-render"' _ "$bin/tonalyx-render"
check "tonalyx-server --help" bash -c '"$1" --help | grep -q "^Usage: tonalyx-server"' _ "$bin/tonalyx-server"
check "tonalyx --version without a display" \
    test "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$bin/tonalyx" --version)" = "tonalyx $version"

# The unpacked server finds its default pages relative to itself, not in the build.
"$bin/tonalyx-server" --listen 127.0.0.1:0 --root "$root/data" >"$root/server.out" 2>"$root/server.err" &
server_pid=$!
for _ in $(seq 50); do
    grep -q listening "$root/server.out" 2>/dev/null && break
    sleep 0.1
done
check "the unpacked server writes the installed default feed" \
    grep -q "<LastVersion>$short_version</LastVersion>" "$root/data/Tonalyx-Info/feed.xml"
check "the unpacked server finds every default page" bash -c '! grep -q "default page" "$1"' _ "$root/server.err"

echo
[ "$failures" -eq 0 ] && echo "the package checks out" || echo "$failures package checks failed"
[ "$failures" -eq 0 ]
