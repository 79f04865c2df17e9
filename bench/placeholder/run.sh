#!/bin/bash
# Placeholder web server against nginx's empty_gif (one worker), same machine, same run.
# One request per connection: wrk sends "Connection: close" and both servers close after the
# reply, so wrk opens a new connection for every request (checked below from nginx's counters).
#
#   bench/placeholder/run.sh [build folder] [seconds per round] [rounds]
#
# Runs in a private network namespace when it can (root and unshare), so the ports are free.
# The placeholder server accepts a connection once its request arrived (TCP_DEFER_ACCEPT), as the
# program does; NGINX_DEFERRED=1 gives nginx the same ("listen ... deferred").
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
BUILD=$(cd "${1:-$HERE/../../build}" && pwd)
SECONDS_PER_ROUND=${2:-10}
ROUNDS=${3:-2}
OURS_PORT=18080
NGINX_PORT=18081
SERVER="$BUILD/bench/placeholder/placeholder_bench_server"
DATA="$HERE/../../data"

if [[ -z "${HALVERN_BENCH_NETNS:-}" && $(id -u) == 0 ]] && command -v unshare >/dev/null &&
   unshare --net true 2>/dev/null; then
    exec env HALVERN_BENCH_NETNS=1 unshare --net bash -c \
        'ip link set lo up && exec "$0" "$@"' "$0" "$BUILD" "$SECONDS_PER_ROUND" "$ROUNDS"
fi

for tool in wrk nginx; do
    command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
[[ -x "$SERVER" ]] || { echo "build placeholder_bench_server first ($SERVER)" >&2; exit 1; }

WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/logs"
cat > "$WORK/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $WORK/nginx.pid;
error_log $WORK/logs/error.log;
events { worker_connections 4096; }
http {
    access_log off;
    client_body_temp_path $WORK/body;
    proxy_temp_path $WORK/proxy;
    fastcgi_temp_path $WORK/fastcgi;
    uwsgi_temp_path $WORK/uwsgi;
    scgi_temp_path $WORK/scgi;
    server {
        listen 127.0.0.1:$NGINX_PORT${NGINX_DEFERRED:+ deferred};
        location = /nginx_status { stub_status; }
        location / { empty_gif; }
    }
}
CONF

"$SERVER" "$OURS_PORT" "$DATA" > "$WORK/ours.log" 2>&1 &
OURS_PID=$!
PIDS+=("$OURS_PID")
nginx -p "$WORK" -c "$WORK/nginx.conf" &
NGINX_MASTER=$!
PIDS+=("$NGINX_MASTER")
sleep 1
NGINX_WORKER=$(pgrep -P "$NGINX_MASTER" | head -1)
[[ -n "$NGINX_WORKER" ]] || { echo "nginx did not start" >&2; cat "$WORK/logs/error.log"; exit 1; }

TICKS=$(getconf CLK_TCK)
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

URL_PATH=/ads/banner.gif
declare -A REQS CPU
REQS[ours]=0; REQS[nginx]=0; CPU[ours]=0; CPU[nginx]=0

measure() {  # name pid port
    local before after out requests
    before=$(cpu_ticks "$2")
    out=$(wrk -t2 -c50 -d"${SECONDS_PER_ROUND}s" -H "Connection: close" "http://127.0.0.1:$3$URL_PATH")
    after=$(cpu_ticks "$2")
    requests=$(echo "$out" | awk '/requests in/ { print $1 }')
    if echo "$out" | grep -q -E 'Socket errors|Non-2xx'; then
        echo "$1: $(echo "$out" | grep -E 'Socket errors|Non-2xx')"
    fi
    REQS[$1]=$(( ${REQS[$1]} + requests ))
    CPU[$1]=$(( ${CPU[$1]} + after - before ))
    printf '  %-6s %8d requests  %6.2f s server CPU\n' "$1" "$requests" \
        "$(echo "($after - $before) / $TICKS" | bc -l)"
}

echo "warming up"
wrk -t2 -c50 -d2s -H "Connection: close" "http://127.0.0.1:$OURS_PORT$URL_PATH" >/dev/null
wrk -t2 -c50 -d2s -H "Connection: close" "http://127.0.0.1:$NGINX_PORT$URL_PATH" >/dev/null

for round in $(seq "$ROUNDS"); do
    echo "round $round: wrk -t2 -c50 -d${SECONDS_PER_ROUND}s -H 'Connection: close'"
    # Alternate who goes first, so a change of machine load mid-run hits both alike.
    if (( round % 2 )); then
        measure ours "$OURS_PID" "$OURS_PORT"
        measure nginx "$NGINX_WORKER" "$NGINX_PORT"
    else
        measure nginx "$NGINX_WORKER" "$NGINX_PORT"
        measure ours "$OURS_PID" "$OURS_PORT"
    fi
done

if command -v curl >/dev/null; then
    echo "nginx counters (accepts handled requests): $(curl -s "http://127.0.0.1:$NGINX_PORT/nginx_status" | sed -n 3p)"
fi

WALL=$(( SECONDS_PER_ROUND * ROUNDS ))
awk -v ro="${REQS[ours]}" -v rn="${REQS[nginx]}" -v co="${CPU[ours]}" -v cn="${CPU[nginx]}" \
    -v wall="$WALL" -v hz="$TICKS" 'BEGIN {
    rps_o = ro / wall; rps_n = rn / wall
    eff_o = co > 0 ? ro / (co / hz) : 0; eff_n = cn > 0 ? rn / (cn / hz) : 0
    printf "\n%-28s %14s %14s %8s\n", "", "placeholder", "nginx", "ratio"
    printf "%-28s %14.0f %14.0f %8.2f\n", "requests/s", rps_o, rps_n, rps_o / rps_n
    printf "%-28s %14.0f %14.0f %8.2f\n", "requests per server CPU-s", eff_o, eff_n, eff_o / eff_n
    ok = (rps_o >= rps_n) && (eff_o >= 1.1 * eff_n)
    printf "\ntarget: requests/s >= nginx and per CPU-s >= 1.1 x nginx: %s\n", ok ? "met" : "NOT met"
}'
