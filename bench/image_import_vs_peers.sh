#!/usr/bin/env bash
# Compares the import of one 12-megapixel JPEG with the peers: djpeg's full decode (the floor),
# ImageMagick's convert with a Lanczos resize, and vipsthumbnail. Needs a Release build with
# -DVISTREL_BENCH=ON in build/img-bench and the peers from `tools/install-deps --with-bench`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/img-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One camera-sized picture for everybody, written by ImageMagick at quality 90.
/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$work/camera.jpg"

# Best of five wall-clock runs in milliseconds.
best_ms() {
    local best=999999
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        "$@" > /dev/null 2>&1
        end=$(date +%s%N)
        best=$(( (end - start) / 1000000 < best ? (end - start) / 1000000 : best ))
    done
    echo "$best"
}

djpeg_ms=$(best_ms djpeg -outfile /dev/null "$work/camera.jpg")
convert_ms=$(best_ms /usr/bin/convert "$work/camera.jpg" -filter Lanczos -resize 500x375 -quality 75 "$work/im.jpg")
vips_ms=$(best_ms vipsthumbnail "$work/camera.jpg" -s 500x375 -o "$work/vips.jpg[Q=75]")
ours_ms=$(VISTREL_BENCH_JPEG="$work/camera.jpg" "$build/bench/bench_image_import" --benchmark_filter=BM_WholeImport --benchmark_format=csv 2>/dev/null |
    awk -F, '/BM_WholeImport/ {printf "%d", $3}')

echo "djpeg decode only:        ${djpeg_ms} ms"
echo "convert Lanczos resize:   ${convert_ms} ms"
echo "vipsthumbnail:            ${vips_ms} ms"
echo "vistrel whole import:     ${ours_ms} ms (decode, resize, encode, thumbnail)"
awk -v o="$ours_ms" -v d="$djpeg_ms" -v c="$convert_ms" -v v="$vips_ms" 'BEGIN {
    printf "ratio to djpeg: %.2f   to convert: %.2f   to vipsthumbnail: %.2f\n", o / d, o / c, o / v }'
