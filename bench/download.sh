#!/usr/bin/env bash
# Download throughput of the engine against aria2c and curl, on loopback.
#
# Starts nginx (Debian's package) with a private configuration on two free
# ports of 127.0.0.1, serving one random file: unthrottled, and limited to
# 8 MiB/s per request (limit_rate 8m with sendfile_max_chunk 256k: without the
# small chunk nginx sends the first chunk of every response unthrottled and
# flatters a sliced downloader). Downloads the file with the engine
# (vornik-fetch, a main download), with aria2c using as many connections as
# the engine has workers, and with curl, RUNS times each, and prints MiB/s
# (median and best), the ratios, the engine's peak resident memory and CPU
# seconds, and the MD5 throughput against md5sum.
#
#   bench/download.sh            # 512 MiB file, 5 runs each
#   SIZE_MIB=256 RUNS=3 bench/download.sh
set -euo pipefail
cd "$(dirname "$0")/.."
SIZE_MIB=${SIZE_MIB:-512}
RUNS=${RUNS:-5}

need=()
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || need+=(nginx-light)
command -v aria2c >/dev/null || need+=(aria2)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi
NGINX=$(command -v nginx || echo /usr/sbin/nginx)

scripts/build release vornik-fetch bench_md5 >/dev/null
FETCH=$PWD/build/release/vornik-fetch

work=$(mktemp -d /tmp/vornik-bench-XXXXXX)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
fast_port=$(free_port)
slow_port=$(free_port)
mkdir -p "$work/www" "$work/logs" "$work/tmp" "$work/out"
head -c $((SIZE_MIB * 1024 * 1024)) /dev/urandom > "$work/www/file.bin"
# nginx started by root serves as an unprivileged user, who must reach the file.
chmod a+rx "$work" "$work/www"
chmod a+r "$work/www/file.bin"
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp;
  proxy_temp_path $work/tmp;
  fastcgi_temp_path $work/tmp;
  uwsgi_temp_path $work/tmp;
  scgi_temp_path $work/tmp;
  server { listen 127.0.0.1:$fast_port; root $work/www; }
  server { listen 127.0.0.1:$slow_port; root $work/www; limit_rate 8m; sendfile_max_chunk 256k; }
}
CONF
"$NGINX" -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -sf -o /dev/null -r 0-0 "http://127.0.0.1:$fast_port/file.bin" && break
  sleep 0.1
done

# The engine's pool size rule: max(4, processors x 8 / 5).
workers=$(python3 -c 'import os; print(max(4, os.cpu_count()*8//5))')

# run_one TOOL URL -> prints "seconds peak_kib cpu_seconds"
run_one() {
  local tool=$1 url=$2 out="$work/out/file.bin"
  rm -f "$out" "$out.xml" "$out.db" "$out.aria2"
  local timing="$work/time.txt"
  case $tool in
    engine) /usr/bin/time -f "%e %M %U %S" -o "$timing" "$FETCH" --threads "$workers" "$url" "$out" >"$work/fetch.txt" \
              || { cat "$work/fetch.txt" "$timing" >&2; exit 1; } ;;
    aria2c) /usr/bin/time -f "%e %M %U %S" -o "$timing" aria2c -q -x "$workers" -s "$workers" -k 1M \
              --allow-overwrite=true --file-allocation=none -d "$work/out" -o file.bin "$url" ;;
    curl) /usr/bin/time -f "%e %M %U %S" -o "$timing" curl -sf -o "$out" "$url" ;;
  esac
  cmp -s "$out" "$work/www/file.bin" || { echo "bench: $tool produced a wrong file" >&2; exit 1; }
  # The engine's own figure leaves out the digest vornik-fetch prints after the download.
  local seconds
  seconds=$(awk '{ print $1 }' "$timing")
  [ "$tool" = engine ] && seconds=$(awk '/^seconds / { print $2 }' "$work/fetch.txt")
  awk -v s="$seconds" '{ printf "%s %s %.2f\n", s, $2, $3 + $4 }' "$timing"
}

declare -A median best
summary() {  # name then seconds... -> sets median/best MiB/s
  local name=$1
  shift
  read -r med bst < <(printf '%s\n' "$@" | python3 -c "
import sys, statistics
size = $SIZE_MIB
rates = [size / float(x) for x in sys.stdin.read().split()]
print('%.1f %.1f' % (statistics.median(rates), max(rates)))")
  median[$name]=$med
  best[$name]=$bst
}

engine_peak=0
engine_cpu=""
for kind in slow fast; do
  port=$slow_port
  [ "$kind" = fast ] && port=$fast_port
  url="http://127.0.0.1:$port/file.bin"
  for tool in engine aria2c curl; do
    times=()
    for _ in $(seq "$RUNS"); do
      read -r seconds peak cpu < <(run_one "$tool" "$url")
      times+=("$seconds")
      if [ "$tool" = engine ]; then
        [ "$peak" -gt "$engine_peak" ] && engine_peak=$peak
        engine_cpu+="$cpu "
      fi
    done
    summary "$kind-$tool" "${times[@]}"
  done
done

echo
echo "file ${SIZE_MIB} MiB, ${RUNS} runs each, engine and aria2c with $workers connections"
printf '%-22s %12s %12s\n' "download" "median MiB/s" "best MiB/s"
for kind in slow fast; do
  for tool in engine aria2c curl; do
    label="$tool ($([ $kind = slow ] && echo 8 MiB/s per request || echo unthrottled))"
    printf '%-36s %8s %12s\n' "$label" "${median[$kind-$tool]}" "${best[$kind-$tool]}"
  done
done
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
echo
echo "throttled:   engine / aria2c = $(ratio "${median[slow-engine]}" "${median[slow-aria2c]}")   (goal >= 1.1)"
echo "unthrottled: engine / aria2c = $(ratio "${median[fast-engine]}" "${median[fast-aria2c]}")   (goal >= 1.5)"
echo "unthrottled: engine / curl   = $(ratio "${median[fast-engine]}" "${median[fast-curl]}")   (goal >= 0.9)"
echo "engine peak resident memory: $((engine_peak / 1024)) MiB   (goal < 64 MiB)"
echo "engine CPU seconds per run (download and the MD5 vornik-fetch prints): $engine_cpu"
echo
build/release/bench/bench_md5 "$work/www/file.bin" | tail -3
