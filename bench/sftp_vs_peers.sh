#!/usr/bin/env bash
# Usage (as root): bench/sftp_vs_peers.sh   [ROUNDS=5 SMALL=1000 LARGE_MB=200 DELAY_MS=0 BUILD=build/release]
#
# Uploads the same files over SFTP to the same OpenSSH server (its own sshd on 127.0.0.1, an
# ed25519 key, internal-sftp) with `vistrel-cli publish --transfer-all` (one session, then with
# cbParallelUploads), OpenSSH's `sftp -b` (put -r), `lftp mirror -R` over sftp:// and
# `rsync -a -e ssh`: SMALL files of 20 KB in one album, then one file of LARGE_MB MB. Every round
# runs each command once, in a fixed order, on an emptied server folder; prints the median of each
# and its ratio to the best peer. With DELAY_MS > 0 the commands reach the server through
# `tc netem` on loopback where the kernel has it (see bench/publish_vs_lftp.sh for a link built
# without netem).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD
build=${BUILD:-build/release}
rounds=${ROUNDS:-5}
small=${SMALL:-1000}
large=${LARGE_MB:-200}
delay=${DELAY_MS:-0}
[ "$(id -u)" -eq 0 ] || { echo "needs root (sshd with its own configuration)" >&2; exit 1; }

cli=$here/$build/app/vistrel-cli
[ -x "$cli" ] || { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_GUI=OFF >/dev/null &&
    cmake --build "$build" --target vistrel-cli >/dev/null; }

work=$(mktemp -d)
sshd_pid=
cleanup() {
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null || true
    [ "$delay" -gt 0 ] && tc qdisc del dev lo root 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mkdir -p "$work/root" "$work/keys" /run/sshd
ssh-keygen -q -t ed25519 -N "" -f "$work/keys/host"
ssh-keygen -q -t ed25519 -N "" -f "$work/keys/id"
cp "$work/keys/id.pub" "$work/keys/authorized_keys"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/sshd_config" <<CONF
Port $port
ListenAddress 127.0.0.1
HostKey $work/keys/host
PidFile none
UsePAM no
StrictModes no
PermitRootLogin yes
PasswordAuthentication no
AuthorizedKeysFile $work/keys/authorized_keys
MaxStartups 100
Subsystem sftp internal-sftp
CONF
/usr/sbin/sshd -D -f "$work/sshd_config" -E "$work/sshd.log" &
sshd_pid=$!
for _ in $(seq 100); do
    grep -q "Server listening" "$work/sshd.log" 2>/dev/null && break
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.1)" 2>/dev/null && break || true
done
ssh_opts=(-i "$work/keys/id" -o "UserKnownHostsFile=$work/known_hosts" -o StrictHostKeyChecking=accept-new -o BatchMode=yes)
ssh-keyscan -p "$port" 127.0.0.1 2>/dev/null >"$work/known_hosts"
fingerprint=$(ssh-keygen -l -E sha256 -f "$work/keys/host.pub" | awk '{ print $2 }')
if [ "$delay" -gt 0 ]; then tc qdisc add dev lo root netem delay "${delay}ms"; fi

# The program folder: one album whose pictures are the small files.
program=$work/program
mkdir -p "$program"
cp -r "$(dirname "$cli")/styles" "$(dirname "$cli")/scripts" "$program/"
v() { "$cli" --program-folder "$program" "$@"; }
v albums >/dev/null
v edit-album 0 --title Bench >/dev/null
v publish-mark 0 on
v settings set rgProtocol 1 >/dev/null
v settings set edFTPServer 127.0.0.1 >/dev/null
v settings set edFTPPort "$port" >/dev/null
v settings set edFTPUser root >/dev/null
v settings set edSSHKeyFile "$work/keys/id" >/dev/null
v settings set edFTPDirectory "$work/root/site" >/dev/null
v settings set cbCheckServer False >/dev/null
site=$program/galleries
album=$(ls -d "$site"/*/ | head -n 1)

declare -a names commands
names=("vistrel-cli publish" "vistrel-cli publish, parallel" "sftp -b put -r" "lftp mirror -R sftp://"
    "rsync -a -e ssh")
vistrel() { "$cli" --program-folder "$1" publish --transfer-all --trust-host-key "$fingerprint" >"$work/out" 2>&1 || { cat "$work/out" >&2; return 1; }; }
peer_sftp() { printf 'put -r %s %s\n' "$site" "$work/root/site" | sftp "${ssh_opts[@]}" -P "$port" -b - root@127.0.0.1 >/dev/null; }
peer_lftp() { lftp -e "set sftp:connect-program 'ssh -a -x ${ssh_opts[*]}'; mirror -R --no-perms $site $work/root/site; quit" \
    "sftp://root:x@127.0.0.1:$port" >/dev/null; }
peer_rsync() { rsync -a -e "ssh ${ssh_opts[*]} -p $port" "$site/" "root@127.0.0.1:$work/root/site/"; }

run_set() { # title
    echo "== $1"
    program4=$work/program4
    rm -rf "$program4"
    cp -a "$program" "$program4"
    "$cli" --program-folder "$program4" settings set cbParallelUploads True >/dev/null
    commands=("vistrel $program" "vistrel $program4" peer_sftp peer_lftp peer_rsync)
    declare -A times=()
    for round in $(seq "$rounds"); do
        for i in "${!commands[@]}"; do
            rm -rf "$work/root/site"
            [ "$i" -ge 2 ] && mkdir -p "$work/root/site"
            start=$(now)
            ${commands[$i]}
            end=$(now)
            times[$i]+="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }') "
        done
    done
    best=
    for i in 2 3 4; do
        m=$(echo "${times[$i]}" | tr ' ' '\n' | grep . | median)
        if [ -z "$best" ] || awk -v a="$m" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$m; fi
    done
    for i in "${!commands[@]}"; do
        m=$(echo "${times[$i]}" | tr ' ' '\n' | grep . | median)
        printf '%-32s median %8.3f s   best peer / this %5.2f\n' "${names[$i]}" "$m" "$(awk -v a="$best" -v b="$m" 'BEGIN { print a / b }')"
    done
}

# Many small files: SMALL pictures of about 20 KB in the album (one real 500x375 JPEG under SMALL
# names, with its thumbnail), listed in the album's picture list as an import would list them.
convert -size 500x375 plasma:fractal -quality 70 "$work/picture.jpg"
convert "$work/picture.jpg" -resize 120x120 "$work/thumb.jpg"
mkdir -p "$album/images" "$album/thumbs"
: >"$album/info.txt"
for i in $(seq -w 1 "$small"); do
    cp "$work/picture.jpg" "$album/images/IMG_$i.jpg"
    cp "$work/thumb.jpg" "$album/thumbs/IMG_$i.jpg"
    printf 'IMG_%s.jpg\r\n' "$i" >>"$album/info.txt"
done
v build-site >/dev/null
run_set "$small files of about 20 KB (delay ${delay} ms each way)"

# One large file beside a single picture.
first=$(printf 'IMG_%s.jpg' "$(seq -w 1 "$small" | head -n 1)")
find "$album/images" "$album/thumbs" -name 'IMG_*.jpg' ! -name "$first" -delete
rm -rf "$album/renditions" "$album/large"
printf '%s\r\n' "$first" >"$album/info.txt"
head -c $((large * 1048576)) /dev/urandom >"$album/images/large.bin"
v build-site >/dev/null
run_set "one file of $large MB (delay ${delay} ms each way)"
