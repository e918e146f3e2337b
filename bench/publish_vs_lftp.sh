#!/usr/bin/env bash
# Usage (as root): bench/publish_vs_lftp.sh   [ROUNDS=5 COUNT=200 DELAY_MS=25 MTU=1500 BUILD=build/bench]
#
# Publishes an album of COUNT pictures with `vistrel-cli publish --transfer-all` (plain FTP, passive)
# (one session, then up to four side by side) and uploads the same site folder with `lftp mirror -R`
# (one transfer at a time, then four), over a
# link with DELAY_MS each way and over loopback. The link: two network namespaces joined by two TUN
# devices and bench/delay_relay.py, which holds every packet for DELAY_MS; the server is the tests'
# pyftpdlib server in the one namespace, the clients run in the other. Every round runs each command
# once in a fixed order on an emptied server folder; prints medians, ratios and round trips per file.
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD
build=${BUILD:-build/bench}
rounds=${ROUNDS:-5}
count=${COUNT:-200}
delay=${DELAY_MS:-25}
mtu=${MTU:-1500}
python=/usr/bin/python3
[ "$(id -u)" -eq 0 ] || { echo "needs root for network namespaces and TUN devices" >&2; exit 1; }

tools/install-deps --with-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_BENCH=ON -DVISTREL_GUI=OFF >/dev/null
cmake --build "$build" --target vistrel-cli >/dev/null
cli=$here/$build/app/vistrel-cli

work=$(mktemp -d)
source bench/delay_link.sh
server_pid=
running_pid=

cleanup() {
    [ -n "$running_pid" ] && kill "$running_pid" 2>/dev/null || true
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    remove_namespaces
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

make_namespaces

# Bulk TCP throughput in MB/s: 200 MB from the client namespace to HOST in the server namespace,
# with the client in namespace NS.
throughput() { # ns host
    local sink send
    sink='import socket, sys
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1); s.bind((sys.argv[1], 5001)); s.listen(); c, _ = s.accept()
while c.recv(1 << 20): pass
c.close()'
    send='import socket, sys, time
s = socket.create_connection((sys.argv[1], 5001)); block = bytes(1 << 20); t = time.perf_counter()
for _ in range(200): s.sendall(block)
s.shutdown(socket.SHUT_WR); s.recv(1)
print(f"{200 / (time.perf_counter() - t):.0f}")'
    in_server "$python" -c "$sink" "$2" &
    local sink_pid=$!
    sleep 0.3
    ip netns exec "$1" "$python" -c "$send" "$2"
    wait "$sink_pid"
}

echo "== the link"
start_link 0
relay_rate=$(throughput "$client_ns" "$server_ip")
loop_rate=$(throughput "$server_ns" "$server_ip")
stop_link
echo "bulk TCP, 200 MB: through the relay without delay ${relay_rate} MB/s, loopback ${loop_rate} MB/s (MTU $mtu)"
start_link "$delay"
rtt=$(in_client ping -c 10 -i 0.2 -q "$server_ip" | awk -F/ '/^rtt/ { print $5 }')
echo "ping through the relay with ${delay} ms each way: average round trip ${rtt} ms"

echo "== $count pictures"
mkdir -p "$work/in" "$work/root" "$work/program"
# One 1600x1200 picture with a photo's fine grain, each copy shifted in hue.
/usr/bin/convert -size 1600x1200 plasma:fractal -attenuate 0.4 +noise Gaussian -quality 90 "$work/camera.jpg"
# (A bare `wait` would wait for the relay too.)
converting=()
for i in $(seq -w 1 "$count"); do
    /usr/bin/convert "$work/camera.jpg" -modulate 100,100,$((100 + 10#$i % 100)) -quality 90 "$work/in/IMG_$i.jpg" &
    converting+=($!)
    if [ ${#converting[@]} -ge "$(nproc)" ]; then wait "${converting[@]}"; converting=(); fi
done
[ ${#converting[@]} -eq 0 ] || wait "${converting[@]}"
program=$work/program
cp -r "$(dirname "$cli")/styles" "$(dirname "$cli")/scripts" "$program/"
v() { "$cli" --program-folder "$program" "$@"; }
# A fresh program folder has one empty album; it becomes the one published.
v albums >/dev/null
v edit-album 0 --title Urlaub >/dev/null
v import 0 "$work"/in/*.jpg >/dev/null
v publish-mark 0 on
site=$program/galleries

mkfifo "$work/port"
ip netns exec "$server_ns" env VISTREL_FTP_HOST="$server_ip" "$python" tests/ftp_integration/ftp_server.py \
    "$work/root" >"$work/port" &
server_pid=$!
read -r port <"$work/port"
v settings set edFTPServer "$server_ip"
v settings set edFTPPort "$port"
v settings set edFTPUser alice
v settings set edFTPDirectory web
v settings set cbUsePassiveMode True
printf 'secret\n' | v settings set-password
# The same program folder once more, with up to four sessions side by side.
program4=$work/program4
cp -a "$program" "$program4"
"$cli" --program-folder "$program4" settings set cbParallelUploads True >/dev/null

# Run in the client namespace, the commands cross the delayed link; run in the server namespace,
# they reach the same server over that namespace's loopback device. Each one replaces the shell it
# runs in, so only call them in the background or in a pipeline: the process id is then the
# client's own, which an interrupted run can end.
vistrel_publish() { # namespace [program folder]
    exec ip netns exec "$1" "$cli" --program-folder "${2:-$program}" publish --transfer-all
}
lftp_mirror() { # namespace transfers
    exec ip netns exec "$1" lftp -u alice,secret -p "$port" -e "debug -o $work/lftp.log -t 5; \
set ftp:passive-mode on; set cmd:parallel 1; set mirror:parallel-transfer-count $2; \
mirror -R --no-perms $site /web; quit" "$server_ip"
}
build_site() { exec "$cli" --program-folder "$program" build-site; }

# Files and bytes: what the server holds, and what the site folder has for it (hidden files stay).
count_files() { find "$1" -type f ! -name '.*' -printf '%s\n' | awk '{ n++; b += $1 } END { print n + 0, b + 0 }'; }

names=("vistrel-cli publish" "vistrel-cli publish, 4 sessions" "lftp mirror -R, 1 transfer"
    "lftp mirror -R, 4 transfers"
    "vistrel-cli publish" "vistrel-cli publish, 4 sessions" "lftp mirror -R, 1 transfer"
    "lftp mirror -R, 4 transfers" "vistrel-cli build-site alone")
links=("$delay ms" "$delay ms" "$delay ms" "$delay ms" loopback loopback loopback loopback "-")
commands=("vistrel_publish $client_ns" "vistrel_publish $client_ns $program4" "lftp_mirror $client_ns 1"
    "lftp_mirror $client_ns 4" "vistrel_publish $server_ns" "vistrel_publish $server_ns $program4"
    "lftp_mirror $server_ns 1" "lftp_mirror $server_ns 4" "build_site")
declare -a times served
relay_ticks() { awk '{ print $14 + $15 }' "/proc/$relay_pid/stat"; }
ticks_before=$(relay_ticks)
rounds_start=$(now)

echo "== $rounds rounds"
for round in $(seq "$rounds"); do
    for i in "${!commands[@]}"; do
        rm -rf "$work/root/web" "$work/lftp.log"
        start=$(now)
        # In the background, so that a signal reaches the traps at once rather than after the run.
        ${commands[$i]} >"$work/out.$i" 2>&1 &
        running_pid=$!
        if ! wait "$running_pid"; then
            echo "${names[$i]} (${links[$i]}) failed:" >&2
            tail -n 20 "$work/out.$i" >&2
            exit 1
        fi
        end=$(now)
        running_pid=
        if [ -f "$work/lftp.log" ]; then mv "$work/lftp.log" "$work/protocol.$i"; fi
        if [ "${commands[$i]%% *}" = vistrel_publish ]; then cp "$work/out.$i" "$work/protocol.$i"; fi
        times[$i]+="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }') "
        if [ "${links[$i]}" != "-" ]; then
            got=$(count_files "$work/root")
            want=$(count_files "$site")
            [ "$got" = "$want" ] || echo "round $round, ${names[$i]} (${links[$i]}): server has $got, site has $want (files bytes)" >&2
            served[$i]=$got
        fi
    done
    echo "round $round done"
done
relay_cpu=$(awk -v t="$(($(relay_ticks) - ticks_before))" -v hz="$(getconf CLK_TCK)" 'BEGIN { print t / hz }')
rounds_wall=$(awk -v a="$rounds_start" -v b="$(now)" 'BEGIN { print b - a }')

# Medians; for each link the ratio of every row to vistrel's, and round trips per file on the delay.
medians=()
for i in "${!commands[@]}"; do medians[$i]=$(echo "${times[$i]}" | tr ' ' '\n' | grep . | median); done
echo
printf "%-33s %-9s %9s %15s %10s %9s\n" "" link "median s" "files, MB sent" "time ratio" "RTT/file"
for i in "${!commands[@]}"; do
    base=$(( i < 4 ? 0 : 4 ))
    read -r files bytes <<<"${served[$i]:-0 0}"
    awk -v n="${names[$i]}" -v l="${links[$i]}" -v m="${medians[$i]}" -v f="$files" -v b="$bytes" \
        -v vm="${medians[$base]}" -v rtt="$rtt" -v delayed=$(( i < 4 )) -v site=$(( i < 8 )) 'BEGIN {
        sent = site ? sprintf("%d, %.1f", f, b / 1e6) : "-"
        ratio = site ? sprintf("%.2f", m / vm) : "-"
        trips = delayed ? sprintf("%.2f", m / f / (rtt / 1000)) : "-"
        printf "%-33s %-9s %9.2f %15s %10s %9s\n", n, l, m, sent, ratio, trips }'
done
echo "time ratio: the row's median over vistrel-cli publish's on the same link (above 1: vistrel faster)"
echo "RTT/file: median seconds per file sent, in round trips of ${rtt} ms"
echo "relay: ${relay_cpu} s CPU in ${rounds_wall} s of rounds"

# The commands of the last delayed run of each, counted from their protocols.
echo
echo "commands on the delayed link (last round):"
grep -E '^(Übertrage |[A-Z]{3,4}( |$))' "$work/protocol.0" | sed 's/^Übertrage .*/STOR/' | awk '{ print $1 }' |
    sort | uniq -c | sort -rn | awk '{ printf "%s %s  ", $1, $2 } END { print "  (vistrel-cli)" }'
grep -- '---> ' "$work/protocol.2" | awk '{ print $4 }' |
    sort | uniq -c | sort -rn | awk '{ printf "%s %s  ", $1, $2 } END { print "  (lftp, 1 transfer)" }'

# One more, untimed publish over the delay with every protocol line stamped as it arrives: where
# the time of a file goes, in round trips. "PASV" is logged as it is sent, "Übertrage" as STOR is
# sent (at once after the PASV reply, while the data connection is being made), "Ok" with the server's final reply.
rm -rf "$work/root/web"
vistrel_publish "$client_ns" 2>/dev/null | "$python" -c 'import sys, time
t0 = time.monotonic()
for line in iter(sys.stdin.buffer.readline, b""):
    text = line.decode("utf-8", "replace")
    sys.stdout.write(f"{(time.monotonic() - t0) * 1000:.1f} {text}")' >"$work/stamped"
awk -v rtt="$rtt" '
    $2 == "PASV" { pasv = $1; if (ok) { gap += $1 - ok; gaps++ }; ok = 0; next }
    $2 == "Übertrage" && pasv { stor = $1; next }
    $2 == "Ok" && stor { n++; a += stor - pasv; b += $1 - stor; ok = $1; pasv = stor = 0; next }
    $2 == "!" { next }
    { ok = 0 }
    END {
        printf "vistrel-cli per file, in round trips (%d files): PASV to STOR %.2f, STOR to final reply %.2f, on to next PASV %.2f\n",
            n, a / n / rtt, b / n / rtt, gaps ? gap / gaps / rtt : 0 }' "$work/stamped"
stop_link
cat "$work/relay.err"
