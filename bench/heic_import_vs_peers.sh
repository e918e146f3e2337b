#!/usr/bin/env bash
# Pictures as phones make them, through the whole `vistrel-cli import` process into a fresh album.
# 1. One 12-megapixel HEIC (4032x3024, as an iPhone saves it, written by heif-enc) imported (500x375
#    at quality 75 and its thumbnail), side by side with heif-convert decoding it and writing it
#    again as a full-size JPEG, and vipsthumbnail shrinking it to 500x375.
# 2. The same 12-megapixel JPEG imported without and with an embedded Adobe RGB profile (ghostscript's
#    a98.icc, put in by exiftool, so the pixels are the same): what the colour conversion costs.
# 3. The start of the process alone: `vistrel-cli --help` against heif-convert's.
# Interleaved rounds, medians of wall and CPU time, ratios of the first command to the others.
# Needs a Release build (BUILD, default build/release) with vistrel-cli, and libheif-examples,
# libvips-tools, exiftool, imagemagick and libgs-common.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
rounds=${ROUNDS:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/program/galleries/Album" "$work/program/styles/Klassisch"
cli="$build/app/vistrel-cli --program-folder $work/program import Album"

/usr/bin/convert -size 4032x3024 plasma:fractal -blur 0x2 -quality 92 "$work/plain.jpg"
heif-enc -q 80 "$work/plain.jpg" -o "$work/phone.heic" >/dev/null
exiftool -q -q "-icc_profile<=/usr/share/color/icc/ghostscript/a98.icc" -o "$work/adobe.jpg" "$work/plain.jpg"

fresh="rm -rf $work/program/galleries/Album/images $work/program/galleries/Album/thumbs $work/out*.jpg"
echo "== 12 MP HEIC =="
python3 bench/peer_timing.py "$rounds" "$fresh" \
    -- "vistrel-cli import" "$cli $work/phone.heic" \
    -- "heif-convert to JPEG" "heif-convert -q 75 $work/phone.heic $work/out.jpg" \
    -- "vipsthumbnail 500x375" "vipsthumbnail $work/phone.heic -s 500x375 -o $work/out_vips.jpg[Q=75]"
echo
echo "== 12 MP JPEG: with an Adobe RGB profile against without =="
python3 bench/peer_timing.py "$rounds" "$fresh" \
    -- "import with profile" "$cli $work/adobe.jpg" \
    -- "import without profile" "$cli $work/plain.jpg"
echo
echo "== Start of the process =="
python3 bench/peer_timing.py "$rounds" "true" \
    -- "vistrel-cli --help" "$build/app/vistrel-cli --help" \
    -- "heif-convert --help" "heif-convert --help"
