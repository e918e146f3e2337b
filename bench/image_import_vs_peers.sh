#!/usr/bin/env bash
# One 12-megapixel JPEG (4000x3000) imported by the whole `vistrel-cli import` process into a fresh
# album (500x375 at quality 75 and its 120x90 thumbnail), side by side with djpeg decoding the same
# file to /dev/null (the floor: the reduction is defined on the full picture, so a full decode is the
# least any import can do) and vipsthumbnail (which shrinks while decoding). Interleaved rounds,
# medians of wall and CPU time, ratios. BASE=path/to/other/vistrel-cli adds an older build for a
# before/after comparison. Then the step benchmarks of bench_image_import, with the horizontal pass's
# throughput against the processor's peak.
# Needs a Release build with -DVISTREL_BENCH=ON (BUILD, default build/release) and the peers from
# `tools/install-deps --with-bench`.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
rounds=${ROUNDS:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program/galleries/Album" "$work/program/styles/Klassisch" "$work/base/galleries/Album" \
    "$work/base/styles/Klassisch"

# One camera-sized picture for everybody, written by ImageMagick at quality 90.
camera=${CAMERA:-$work/camera.jpg}
[ -f "$camera" ] || /usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$camera"

fresh="rm -rf $work/program/galleries/Album/images $work/program/galleries/Album/thumbs \
$work/base/galleries/Album/images $work/base/galleries/Album/thumbs $work/vips.jpg"
tools=(-- "vistrel-cli import" "$build/app/vistrel-cli --program-folder $work/program import Album $camera")
if [ -n "${BASE:-}" ]; then
    tools+=(-- "vistrel-cli import (BASE)" "$BASE --program-folder $work/base import Album $camera")
fi
tools+=(-- "djpeg to /dev/null" "djpeg -outfile /dev/null $camera")
tools+=(-- "vipsthumbnail 500x375" "vipsthumbnail $camera -s 500x375 -o $work/vips.jpg[Q=75]")
python3 bench/peer_timing.py "$rounds" "$fresh" "${tools[@]}"

echo
VISTREL_BENCH_JPEG="$camera" "$build/bench/bench_image_import" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true 2>/dev/null | grep -E "median|Instruction|Peak|^BM" || true
