#!/bin/sh
# tonalyx-render carries nothing of the window: no main window or ribbon code, and it loads
# neither the widget toolkit nor the network's libcurl and libxml2.
#   render_links_test.sh PATH-TO-tonalyx-render
set -eu
program=$1
status=0
symbols=$(nm -C "$program" | grep -i -E 'TfrmMain|ribbon' || true)
if [ -n "$symbols" ]; then
    echo "$program holds window or ribbon code:" >&2
    echo "$symbols" | head -20 >&2
    status=1
fi
libraries=$(ldd "$program")
for library in libcurl libxml2 libQt6Widgets; do
    if echo "$libraries" | grep -q "$library"; then
        echo "$program loads $library:" >&2
        echo "$libraries" | grep "$library" >&2
        status=1
    fi
done
exit $status
