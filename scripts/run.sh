#!/usr/bin/env bash
# Installs what is missing, builds, starts tonalyx-server in the background unless something
# answers on its default address already, and runs Tonalyx.
#   scripts/run.sh [IMAGE]
set -euo pipefail
cd "$(dirname "$0")/.."

# A viewer for the help file, and xdg-mime, which tells whether the desktop has one.
scripts/deps.sh xchm xdg-utils
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTONALYX_TESTS=OFF -DTONALYX_BENCH=OFF >/dev/null
cmake --build build

server_answers() {
    [ "$(curl -s --max-time 1 http://127.0.0.1:8735/check.php || true)" = "0" ]
}

if ! server_answers; then
    # The log and the process id lie beside the server's data folder, not in it.
    state="${XDG_DATA_HOME:-$HOME/.local/share}/Tonalyx"
    mkdir -p "$state"
    nohup ./build/server/tonalyx-server >>"$state/server.log" 2>&1 </dev/null &
    echo $! >"$state/server.pid"
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        server_answers && break
        sleep 0.2
    done
    if server_answers; then
        echo "tonalyx-server runs on http://127.0.0.1:8735/ (log $state/server.log;" \
            "stop it with: kill \$(cat $state/server.pid))"
    else
        echo "tonalyx-server did not start; see $state/server.log" >&2
    fi
fi

exec ./build/app/tonalyx "$@"
