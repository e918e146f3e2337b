#!/usr/bin/env bash
# The unchanged rebuild of a large album's site: COUNT (default 1000) pictures imported once and
# built once with the style STYLE (default Atelier), then `vistrel-cli build-site` timed again over
# its own output for ROUNDS rounds (medians through bench/peer_timing.py), once with nothing changed
# and once with one picture's large version touched (its renditions are checked by content and
# stand). The pictures are copies of one 1200 x 900 plasma picture under different names: the
# rebuild reads no pixels, so their size only costs the first build's time.
# Needs a Release build of vistrel-cli (BUILD, default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
count=${COUNT:-1000}
rounds=${ROUNDS:-5}
style=${STYLE:-Atelier}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/program"
cp -r data/styles data/scripts "$work/program/"
/usr/bin/convert -size 1200x900 plasma:fractal -quality 90 "$work/camera.jpg"
for i in $(seq -w 1 "$count"); do cp "$work/camera.jpg" "$work/in/IMG_$i.jpg"; done

cli="$build/app/vistrel-cli --program-folder $work/program"
$cli new-album Gross > /dev/null
$cli style "$style" > /dev/null
$cli publish-mark Gross on > /dev/null
album="$work/program/galleries/Gross"
start=$(date +%s%N)
$cli import Gross "$work"/in/*.jpg > /dev/null
$cli build-site > /dev/null
echo "first import and build of $count pictures: $((($(date +%s%N) - start) / 1000000)) ms (once)"

# The first large version by a glob: `ls | head -1` could end on SIGPIPE, which pipefail makes fatal.
larges=("$album"/large/*.jpg)
touch_one="touch ${larges[0]}"
echo "== rebuild of $count pictures, style $style =="
python3 bench/peer_timing.py "$rounds" "" -- "vistrel-cli build-site, unchanged" "$cli build-site"
python3 bench/peer_timing.py "$rounds" "$touch_one" -- "vistrel-cli build-site, one picture touched" "$cli build-site"
echo "pages: $(ls "$album"/*.html | wc -l), renditions: $(ls "$album/renditions" | wc -l)"
