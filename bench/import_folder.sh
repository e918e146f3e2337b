#!/usr/bin/env bash
# Imports COUNT (default 10) camera-sized pictures (4000x3000, 12 megapixels) with one vistrel-cli
# call into a fresh album, side by side with djpeg decoding the same files and with one
# vipsthumbnail call over them (which shrinks while decoding and so decodes less than the full
# pictures). Interleaved rounds, medians, ratios, pictures per second. BASE=path/to/other/vistrel-cli
# adds an older build for a before/after comparison. ImageMagick's convert, 2.5 times slower than
# vistrel, is left out to keep the rounds short.
# Needs a Release build of vistrel-cli (BUILD, default build/release) and the peers from
# `tools/install-deps --with-bench`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
count=${COUNT:-10}
rounds=${ROUNDS:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/vips" "$work/program/galleries/Album" "$work/program/styles/Klassisch" \
    "$work/base/galleries/Album" "$work/base/styles/Klassisch"

# One picture written by ImageMagick, each copy shifted in hue so no tool can profit from a cache.
/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$work/camera.jpg"
for i in $(seq -w 1 "$count"); do
    /usr/bin/convert "$work/camera.jpg" -modulate 100,100,$((100 + 10#$i)) -quality 90 "$work/in/IMG_00$i.jpg"
done

fresh="rm -rf $work/program/galleries/Album/images $work/program/galleries/Album/thumbs \
$work/base/galleries/Album/images $work/base/galleries/Album/thumbs $work/vips/*"
tools=(-- "vistrel-cli import ($count pictures)" "$build/app/vistrel-cli --program-folder $work/program import Album $work/in/*.jpg")
if [ -n "${BASE:-}" ]; then
    tools+=(-- "vistrel-cli import (BASE)" "$BASE --program-folder $work/base import Album $work/in/*.jpg")
fi
tools+=(-- "djpeg each to /dev/null" "for f in $work/in/*.jpg; do djpeg -outfile /dev/null \$f; done")
tools+=(-- "vipsthumbnail 500x375 (one call)" "vipsthumbnail $work/in/*.jpg -s 500x375 -o $work/vips/%s.jpg[Q=75]")
python3 bench/peer_timing.py "$rounds" "$fresh" "${tools[@]}"

# Every round began with an empty album; one more import checks that all pictures arrive.
eval "$fresh"
"$build/app/vistrel-cli" --program-folder "$work/program" import Album "$work"/in/*.jpg > /dev/null 2>&1
stored=$(ls "$work/program/galleries/Album/images" | wc -l)
[ "$stored" -eq "$count" ] || { echo "vistrel-cli stored $stored of $count pictures" >&2; exit 1; }
