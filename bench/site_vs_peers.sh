#!/usr/bin/env bash
# A folder of COUNT (default 200) photographs of 12 megapixels to a finished site, side by side:
#   vistrel-cli  import into a fresh album, then build-site with the style Atelier (renditions made);
#   thumbsup     2.18 from npm (needs graphicsmagick and exiftool), run in PEERS (default
#                /tmp/site_bench/peers, where `npm i -E thumbsup@2.18.0` was run);
#   fgallery     Debian's, with -j equal to the number of cores and no album download (-d).
# First build: every round starts from nothing. Unchanged rebuild: the same command again over its
# own output (for vistrel-cli the site build alone, since the pictures are already in the album).
# Interleaved rounds, medians and ratios through bench/peer_timing.py. The pictures are copies of
# one ImageMagick plasma picture under different names: no tool caches by content, and making 200
# distinct 12-megapixel files would take longer than the benchmark.
# Needs a Release build of vistrel-cli (BUILD, default build/release).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
count=${COUNT:-200}
rounds=${ROUNDS:-3}
peers=${PEERS:-/tmp/site_bench/peers}
cores=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/program"
cp -r data/styles data/scripts "$work/program/"

/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$work/camera.jpg"
for i in $(seq -w 1 "$count"); do cp "$work/camera.jpg" "$work/in/IMG_$i.jpg"; done

cli="$build/app/vistrel-cli --program-folder $work/program"
$cli new-album Bench > /dev/null
$cli style Atelier > /dev/null
$cli publish-mark Bench on > /dev/null
album="$work/program/galleries/Bench"

fresh_vistrel="rm -rf $album/images $album/thumbs $album/large $album/renditions; : > $album/info.txt"
fresh_peers="rm -rf $work/thumbsup $work/fgallery"
first=(-- "vistrel-cli import + build-site" "$cli import Bench $work/in/*.jpg && $cli build-site")
first+=(-- "thumbsup 2.18" "$peers/node_modules/.bin/thumbsup --input $work/in --output $work/thumbsup")
first+=(-- "fgallery -d -j$cores" "fgallery -d -j$cores $work/in $work/fgallery")
echo "== first build, $count pictures of 12 MP =="
python3 bench/peer_timing.py "$rounds" "$fresh_vistrel; $fresh_peers" "${first[@]}"

# Every tool's output is in place from the last round; build once more so each starts warm.
eval "$fresh_vistrel; $fresh_peers"
for ((k = 1; k < ${#first[@]}; k += 3)); do eval "${first[k + 1]}" > /dev/null 2>&1; done
rebuild=(-- "vistrel-cli build-site" "$cli build-site")
rebuild+=(-- "thumbsup 2.18" "${first[5]}")
rebuild+=(-- "fgallery -d -j$cores" "rm -rf $work/fgallery && ${first[8]}")
echo "== unchanged rebuild =="
python3 bench/peer_timing.py "$rounds" "" "${rebuild[@]}"

made=$(ls "$album/renditions" | wc -l)
echo "vistrel renditions: $made files for $count pictures"
