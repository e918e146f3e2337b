#!/bin/sh
# A whole album from the command line: made, filled, described, published to a local FTP server and
# checked, with nothing but vistrel-cli (and Python's pyftpdlib as the server).
#
#   docs/cli-walkthrough.sh [VISTREL-CLI [PICTURE...]]
#
# VISTREL-CLI defaults to the debug build's program; the pictures default to two of the test pictures.
# Everything happens in a scratch folder that is removed at the end.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$here/build/asan/app/vistrel-cli}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] || set -- "$here/tests/data/import/landscape.jpg" "$here/tests/data/image_processing/im.jpg"
python=/usr/bin/python3
[ -x "$python" ] || python=python3

work=$(mktemp -d)
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A program folder of its own, with the styles and scripts that come with the program.
program=$work/program
mkdir -p "$program" "$work/ftp"
cp -r "$(dirname "$cli")/styles" "$(dirname "$cli")/scripts" "$program/"
v() { printf "+ vistrel-cli %s\n" "$*" >&2; "$cli" --program-folder "$program" "$@"; }

echo "== an album, filled and described"
album=$(v new-album "Sommer am See" --info "Juli 2024" --text 'Drei Tage\nam Wasser' | cut -f2)
v import "$album" "$@"
v picture-info "$album" 0 --title "Der Steg" --text 'Morgens\num sechs'
v rotate "$album" 1 right
v album-preview "$album" 0
v publish-mark "$album" on
v pictures "$album"

echo "== the site"
v settings set edSiteTitle "Unsere Fotos"
v styles
v style "$(v styles | head -n 1 | cut -c3-)"

echo "== a local FTP server"
# The tests' pyftpdlib server: user "alice", password "secret", the port it got on its first line.
mkfifo "$work/port"
"$python" "$here/tests/ftp_integration/ftp_server.py" "$work/ftp" >"$work/port" &
server_pid=$!
read -r port <"$work/port"

echo "== publishing"
v settings set edFTPServer 127.0.0.1
v settings set edFTPPort "$port"
v settings set edFTPUser alice
v settings set edFTPDirectory web
# With the server check each folder is listed after its upload and what is missing is sent again.
v settings set cbCheckServer True
printf 'secret\n' | v settings set-password
v settings
v publish

echo "== checked"
v albums --json
v pictures "$album" --json
# A second run compares with the transfer list: nothing is left to send.
second=$(v publish)
echo "$second"
if echo "$second" | grep -q "^Übertrage "; then
    echo "the second run sent files again" >&2
    exit 1
fi
test -f "$work/ftp/web/index.html"
echo "walkthrough done: the site is on the server"
