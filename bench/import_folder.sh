#!/usr/bin/env bash
# Imports a folder of 20 camera-sized pictures (4000x3000, 12 megapixels) with vistrel-cli and with
# the peers, and prints pictures per second. Every tool makes what the import makes: a 500x375 picture
# at quality 75 and a 120x90 thumbnail. Needs a Release build of vistrel-cli (BUILD, default
# build/imp-rel) and the peers from `tools/install-deps --with-bench`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/imp-rel}
count=${COUNT:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/program/galleries/Album" "$work/program/styles/Klassisch" "$work/convert" "$work/vips"

# One picture written by ImageMagick, each copy shifted in hue so no tool can profit from a cache.
/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$work/camera.jpg"
for i in $(seq -w 1 "$count"); do
    /usr/bin/convert "$work/camera.jpg" -modulate 100,100,$((100 + 10#$i)) -quality 90 "$work/in/IMG_00$i.jpg"
done

seconds() {
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1
    end=$(date +%s%N)
    awk -v n="$((end - start))" 'BEGIN { printf "%.3f", n / 1e9 }'
}

ours() { "$build/app/vistrel-cli" --program-folder "$work/program" import Album "$work"/in/*.jpg; }
peer_convert() {
    for f in "$work"/in/*.jpg; do
        /usr/bin/convert "$f" -filter Lanczos -resize 500x375 -quality 75 -write "$work/convert/$(basename "$f")" \
            -resize 120x90 -quality 75 "$work/convert/t_$(basename "$f")"
    done
}
peer_vips() {
    vipsthumbnail "$work"/in/*.jpg -s 500x375 -o "$work/vips/%s.jpg[Q=75]"
    vipsthumbnail "$work"/in/*.jpg -s 120x90 -o "$work/vips/t_%s.jpg[Q=75]"
}

ours_s=$(seconds ours)
convert_s=$(seconds peer_convert)
vips_s=$(seconds peer_vips)
stored=$(ls "$work/program/galleries/Album/images" | wc -l)
[ "$stored" -eq "$count" ] || { echo "vistrel-cli stored $stored of $count pictures" >&2; exit 1; }

awk -v n="$count" -v o="$ours_s" -v c="$convert_s" -v v="$vips_s" 'BEGIN {
    printf "%-32s %7.2f s %7.2f pictures/s\n", "vistrel-cli import", o, n / o
    printf "%-32s %7.2f s %7.2f pictures/s\n", "convert Lanczos (one per file)", c, n / c
    printf "%-32s %7.2f s %7.2f pictures/s\n", "vipsthumbnail (shrink on load)", v, n / v
    printf "speed relative to convert: %.2f   to vipsthumbnail: %.2f\n", c / o, v / o }'
