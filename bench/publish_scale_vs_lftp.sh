#!/usr/bin/env bash
# Usage: bench/publish_scale_vs_lftp.sh   [ROUNDS=3 FILES=6000 BUILD=build/release BENCH_BIN=... RESUME_ONLY=1]
#
# FILES pictures of 20-40 KB in 3 albums (images/ and thumbs/ halves), published over loopback to
# the tests' pyftpdlib server by the publish job (bench_publish_scale: one session, then with the
# extra sessions) and by `lftp mirror -R` (one transfer, then four), each on an emptied server
# folder, in interleaved rounds; prints medians and ratios, the job's seconds per thousand files
# (flat means constant cost per file), and a resume: a run stopped after half the files (a cancel,
# then a kill -9) and the run after it, which must send at most the rest plus the batch in flight.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
rounds=${ROUNDS:-3}
files=${FILES:-6000}
half=$((files / 2))

# BENCH_BIN: a bench_publish_scale built elsewhere (then nothing is built here).
bench=${BENCH_BIN:-}
if [ -z "$bench" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_BENCH=ON -DVISTREL_GUI=OFF >/dev/null
    cmake --build "$build" --target bench_publish_scale -j2 >/dev/null
    bench=$(find "$PWD/$build" -name bench_publish_scale -type f | head -1)
fi

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

site=$work/site
mkdir -p "$site" "$work/server"
/usr/bin/python3 - "$site" "$files" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
random.seed(7)
for i in range(count):
    album = "Album%d" % (i % 3)
    kind = "images" if (i // 3) % 2 == 0 else "thumbs"
    folder = os.path.join(root, album, kind)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "p%05d.jpg" % i), "wb") as f:
        f.write(os.urandom(random.randint(20000, 40000)))
PY

/usr/bin/python3 tests/ftp_integration/ftp_server.py "$work/server" >"$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
fresh() { rm -rf "$work/server/web" "$work/transfer.lst" "$work/transfer.lst.journal"; mkdir -p "$work/server/web"; }
ours() { "$bench" "$site" 127.0.0.1 "$port" web "$work/transfer.lst" "$@"; }
lftp_mirror() {
    lftp -u alice,secret -p "$port" -e "set ftp:passive-mode on; mirror -R --parallel=$1 $site web; quit" 127.0.0.1 >/dev/null
}
timed() { local t0; t0=$(now); "$@" >"$work/last.out"; echo "$(now) - $t0" | bc; }

declare -A times
[ -n "${RESUME_ONLY:-}" ] && rounds=0
for round in $(seq "$rounds"); do
    for tool in ours1 lftp1 ours4 lftp4; do
        fresh
        case $tool in
        ours1) t=$(timed ours) ;;
        ours4) t=$(timed ours --sessions) ;;
        lftp1) t=$(timed lftp_mirror 1) ;;
        lftp4) t=$(timed lftp_mirror 4) ;;
        esac
        [ "$tool" = ours1 ] && cp "$work/last.out" "$work/rates.$round"
        times[$tool]+="$t "
        echo "round $round $tool $t s" >&2
    done
done
if [ "$rounds" -gt 0 ]; then
for tool in ours1 lftp1 ours4 lftp4; do
    printf '%s median %.2f s\n' "$tool" "$(echo "${times[$tool]}" | tr ' ' '\n' | grep . | median)"
done
o1=$(echo "${times[ours1]}" | tr ' ' '\n' | grep . | median)
l1=$(echo "${times[lftp1]}" | tr ' ' '\n' | grep . | median)
o4=$(echo "${times[ours4]}" | tr ' ' '\n' | grep . | median)
l4=$(echo "${times[lftp4]}" | tr ' ' '\n' | grep . | median)
printf 'ratio one session/lftp --parallel=1: %.2f\n' "$(echo "$o1 / $l1" | bc -l)"
printf 'ratio sessions/lftp --parallel=4: %.2f\n' "$(echo "$o4 / $l4" | bc -l)"
echo "seconds per thousand files (one session, round 1):"
grep '^thousand' "$work/rates.1" || true
fi

echo "resume after a cancel at $half files:"
fresh
ours --stop-after "$half" | tail -1
ours | tail -1
echo "resume after kill -9 at about $half files:"
fresh
# The program itself, not a subshell: kill -9 must hit the process that publishes.
"$bench" "$site" 127.0.0.1 "$port" web "$work/transfer.lst" >"$work/kill.out" &
pid=$!
until grep -q "^thousand $((half / 1000)) " "$work/kill.out" 2>/dev/null; do sleep 0.05; done
kill -9 "$pid"
wait "$pid" 2>/dev/null || true
ls "$work"/transfer.lst* >&2
stored=$(find "$work/server/web" -type f | wc -l)
echo "on the server at the kill: $stored"
ours | tail -1
