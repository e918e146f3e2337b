#!/usr/bin/env bash
# Usage (as root): bench/sftp_vs_peers.sh   [ROUNDS=3 SMALL=1000 LARGE_MB=200 DELAY_MS=25 MTU=1500
#                                            BUILD=build/release SETS="small large" PROTOCOLS=DIR]
#
# Uploads the same files over SFTP to the same OpenSSH server (its own sshd, an ed25519 key,
# internal-sftp) with `vistrel-cli publish --transfer-all` (one session, then with
# cbParallelUploads), OpenSSH's `sftp -b` (put -r), `lftp mirror -R` over sftp:// and
# `rsync -a -e ssh`. Two sets: SMALL files of 20 KB (one album whose images/ holds them, beside
# its few pages), and one file of LARGE_MB MB. Each command runs over a link with DELAY_MS each
# way (bench/delay_link.sh) and over loopback. Every round runs each command once, in a fixed
# order, on an emptied server folder; prints the median of each and the best peer's median over
# it (above 1: vistrel faster).
set -euo pipefail
cd "$(dirname "$0")/.."
here=$PWD
build=${BUILD:-build/release}
rounds=${ROUNDS:-3}
small=${SMALL:-1000}
large=${LARGE_MB:-200}
delay=${DELAY_MS:-25}
mtu=${MTU:-1500}
sets=${SETS:-small large}
python=/usr/bin/python3
[ "$(id -u)" -eq 0 ] || { echo "needs root (sshd, network namespaces, TUN devices)" >&2; exit 1; }

cli=$here/$build/app/vistrel-cli
[ -x "$cli" ] || { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVISTREL_GUI=OFF >/dev/null &&
    cmake --build "$build" --target vistrel-cli >/dev/null; }

work=$(mktemp -d)
source bench/delay_link.sh
sshd_pid=
cleanup() {
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null || true
    remove_namespaces
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

make_namespaces
start_link "$delay"
rtt=$(in_client ping -c 10 -i 0.2 -q "$server_ip" | awk -F/ '/^rtt/ { print $5 }')
echo "ping through the relay with ${delay} ms each way: average round trip ${rtt} ms"

# The server: sshd in the server namespace, on the address both namespaces reach.
mkdir -p "$work/root" "$work/keys" /run/sshd
ssh-keygen -q -t ed25519 -N "" -f "$work/keys/host"
ssh-keygen -q -t ed25519 -N "" -f "$work/keys/id"
cp "$work/keys/id.pub" "$work/keys/authorized_keys"
port=2222
cat >"$work/sshd_config" <<CONF
Port $port
ListenAddress $server_ip
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
ip netns exec "$server_ns" /usr/sbin/sshd -D -f "$work/sshd_config" -E "$work/sshd.log" &
sshd_pid=$!
for _ in $(seq 200); do
    in_server "$python" -c "import socket; socket.create_connection(('$server_ip', $port), 0.1)" 2>/dev/null && break
done
ssh_opts=(-i "$work/keys/id" -o "UserKnownHostsFile=$work/known_hosts" -o StrictHostKeyChecking=yes -o BatchMode=yes)
in_server ssh-keyscan -p "$port" "$server_ip" 2>/dev/null >"$work/known_hosts"
fingerprint=$(ssh-keygen -l -E sha256 -f "$work/keys/host.pub" | awk '{ print $2 }')

# The program folder: one album. A style without picture sizes keeps the site to the pages and
# the files under test (no renditions).
program=$work/program
mkdir -p "$program/styles/Schlicht"
cp -r "$(dirname "$cli")/scripts" "$program/"
for page in index thumbs images; do
    printf '<!DOCTYPE html>\n<html lang="de"><head><title>Bench</title></head><body></body></html>\n' \
        >"$program/styles/Schlicht/$page.html"
done
v() { "$cli" --program-folder "$program" "$@"; }
v albums >/dev/null
v edit-album 0 --title Bench >/dev/null
v publish-mark 0 on
v style Schlicht >/dev/null
v settings set rgProtocol 1 >/dev/null
v settings set edFTPServer "$server_ip" >/dev/null
v settings set edFTPPort "$port" >/dev/null
v settings set edFTPUser root >/dev/null
v settings set edSSHKeyFile "$work/keys/id" >/dev/null
v settings set edFTPDirectory "$work/root/site" >/dev/null
v settings set cbCheckServer False >/dev/null
v settings set cbParallelUploads False >/dev/null
site=$program/galleries
album=$(ls -d "$site"/*/ | head -n 1)
# The album shows one picture; images/ holds the files under test besides it.
convert -size 500x375 plasma:fractal -quality 70 "$work/picture.jpg"
convert "$work/picture.jpg" -resize 120x120 "$work/thumb.jpg"
mkdir -p "$album/images" "$album/thumbs"
cp "$work/picture.jpg" "$album/images/Bild.jpg"
cp "$work/thumb.jpg" "$album/thumbs/Bild.jpg"
printf 'Bild.jpg\r\n' >"$album/info.txt"
v build-site >/dev/null
program4=$work/program4

# Each replaces the shell it runs in: call it in the background (see run_set).
vistrel() { # namespace program
    exec ip netns exec "$1" "$cli" --program-folder "$2" publish --transfer-all --trust-host-key "$fingerprint"
}
peer_sftp() { # namespace
    printf 'put -r %s %s\n' "$site" "$work/root/site" >"$work/batch"
    exec ip netns exec "$1" sftp "${ssh_opts[@]}" -P "$port" -b "$work/batch" "root@$server_ip"
}
peer_lftp() { # namespace
    exec ip netns exec "$1" lftp -e "set sftp:connect-program 'ssh -a -x ${ssh_opts[*]}'; \
mirror -R --no-perms $site $work/root/site; quit" "sftp://root:x@$server_ip:$port"
}
peer_rsync() { # namespace
    exec ip netns exec "$1" rsync -a -e "ssh ${ssh_opts[*]} -p $port" "$site/" "root@$server_ip:$work/root/site/"
}
# The program's own lists (info.txt) stay at home; the peers send them too.
count_files() { find "$1" -type f ! -name '.*' ! -name info.txt | wc -l; }

names=("vistrel-cli publish" "vistrel-cli publish, parallel" "sftp -b put -r" "lftp mirror -R sftp://"
    "rsync -a -e ssh")
run_set() { # title
    echo "== $1"
    rm -rf "$program4"
    cp -a "$program" "$program4"
    "$cli" --program-folder "$program4" settings set cbParallelUploads True >/dev/null
    local want
    want=$(count_files "$site")
    declare -A times=()
    for round in $(seq "$rounds"); do
        for link in delayed loopback; do
            ns=$([ $link = delayed ] && echo "$client_ns" || echo "$server_ns")
            commands=("vistrel $ns $program" "vistrel $ns $program4" "peer_sftp $ns" "peer_lftp $ns" "peer_rsync $ns")
            for i in "${!commands[@]}"; do
                rm -rf "$work/root/site"
                [ "$i" -ge 2 ] && mkdir -p "$work/root/site"
                start=$(now)
                ${commands[$i]} >"$work/out" 2>&1 &
                if ! wait $!; then
                    echo "${names[$i]} ($link) failed:" >&2
                    tail -n 20 "$work/out" >&2
                    exit 1
                fi
                end=$(now)
                [ -z "${PROTOCOLS:-}" ] || cp "$work/out" "$PROTOCOLS/$link.$i"
                got=$(count_files "$work/root/site")
                [ "$got" -ge "$want" ] || echo "${names[$i]} ($link): the server has $got of $want files" >&2
                times[$link.$i]+="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }') "
            done
        done
        echo "round $round done"
    done
    printf '%-32s %-9s %10s %12s\n' "" link "median s" "best peer/it"
    for link in delayed loopback; do
        best=
        for i in 2 3 4; do
            m=$(echo "${times[$link.$i]}" | tr ' ' '\n' | grep . | median)
            if [ -z "$best" ] || awk -v a="$m" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$m; fi
        done
        for i in "${!names[@]}"; do
            m=$(echo "${times[$link.$i]}" | tr ' ' '\n' | grep . | median)
            label=$([ $link = delayed ] && echo "${delay} ms" || echo loopback)
            printf '%-32s %-9s %10.3f %12.2f\n' "${names[$i]}" "$label" "$m" \
                "$(awk -v a="$best" -v b="$m" 'BEGIN { print a / b }')"
        done
    done
}

for set in $sets; do
    case $set in
    small)
        for i in $(seq -w 1 "$small"); do head -c 20480 /dev/urandom >"$album/images/IMG_$i.jpg"; done
        run_set "$small files of 20 KB ($(count_files "$site") files in the site)"
        rm -f "$album"/images/IMG_*.jpg
        ;;
    large)
        head -c $((large * 1048576)) /dev/urandom >"$album/images/large.bin"
        run_set "one file of $large MB ($(count_files "$site") files in the site)"
        rm -f "$album/images/large.bin"
        ;;
    esac
done
