#!/usr/bin/env bash
# Measures tonalyx-server with ab: requests per second and the 99th percentile of the check
# and of a stored picture, straight to the server and through nginx with the shipped site
# file, without and with keep-alive. Everything on loopback; the machine's load is printed
# before and after, since the figures mean little on a busy machine.
#   scripts/bench-server.sh [BUILD_DIR] [REQUESTS] [CONCURRENCY]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
requests=${2:-20000}
concurrency=${3:-50}
server=$build/server/tonalyx-server
scripts/deps.sh apache2-utils nginx-light
[ -x "$server" ] || { echo "no $server: build it first" >&2; exit 1; }

server_port=18735
front_port=18080
for port in $server_port $front_port; do
    if curl -s --max-time 1 "http://127.0.0.1:$port/" >/dev/null 2>&1; then
        echo "something answers on 127.0.0.1:$port already" >&2
        exit 1
    fi
done

work=$(mktemp -d)
chmod 755 "$work" # nginx's workers read the data folder through it
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# ab comes from one address: both the server and the front let it hold all its connections.
# nginx reaches the server through its socket, as deployed.
"$server" --listen 127.0.0.1:$server_port --root "$work/data" --proxy-socket "$work/front.sock" \
    --public-url "http://127.0.0.1:$front_port/" --connections-per-client $((concurrency + 14)) \
    >"$work/server.out" 2>"$work/server.log" &
pids+=($!)
mkdir -p "$work/nginx"
sed -e "s|@LISTEN@|127.0.0.1:$front_port|" -e "s|@DATA_FOLDER@|$work/data|" \
    -e "s|@UPSTREAM@|unix:$work/front.sock|" -e "s|@MAX_BODY@|8256k|" \
    -e "s|limit_conn tonalyx_connections 16;|limit_conn tonalyx_connections $((concurrency + 14));|" \
    server/nginx/tonalyx.conf.template >"$work/nginx/tonalyx.conf"
user=""
for _ in $(seq 100); do
    [ -S "$work/front.sock" ] && break
    sleep 0.1
done
# As root, nginx's workers run as nobody, whom the socket's group lets in.
if [ "$(id -u)" -eq 0 ]; then
    user="user nobody nogroup;"
    chgrp nogroup "$work/front.sock"
fi
cat >"$work/nginx/nginx.conf" <<EOF
daemon off;
worker_processes auto;
worker_rlimit_nofile 8192;
$user
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
    access_log off;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    include $work/nginx/tonalyx.conf;
}
EOF
nginx -p "$work/nginx/" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" &
pids+=($!)
for _ in $(seq 100); do
    curl -s --max-time 1 "http://127.0.0.1:$front_port/check.php" | grep -qx 0 && break
    sleep 0.1
done

name=0001t00000000000000000006.png
picture=resources/icons/hicolor/256x256/example.varnel.Tonalyx.png
reply=$(curl -s -F "file=@$picture;type=image/png" -F "fname=$name" \
    "http://127.0.0.1:$server_port/upload.php")
[ "$reply" = 0 ] || { echo "the picture was not stored: $reply" >&2; exit 1; }

echo "load before: $(uptime)"
printf '%-8s %-22s %-10s %12s %8s\n' where path keep-alive requests/s "99% ms"
for where in direct front; do
    port=$server_port
    [ $where = direct ] || port=$front_port
    for path in check.php "0001/$name"; do
        for keep in no yes; do
            flag=()
            [ $keep = no ] || flag=(-k)
            out=$(ab -q -n "$requests" -c "$concurrency" "${flag[@]}" "http://127.0.0.1:$port/$path")
            failed=$(awk '/^Failed requests:/ {print $3}' <<<"$out")
            [ "$failed" = 0 ] || echo "$failed requests failed" >&2
            printf '%-8s %-22s %-10s %12s %8s\n' $where "${path:0:22}" $keep \
                "$(awk '/^Requests per second:/ {print $4}' <<<"$out")" \
                "$(awk '$1 == "99%" {print $2}' <<<"$out")"
        done
    done
done
echo "load after: $(uptime)"
echo "server memory: $(awk '/^VmRSS/ {print $2, $3}' "/proc/${pids[0]}/status")"
