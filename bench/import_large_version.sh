#!/usr/bin/env bash
# What the large version costs at import: one 12-megapixel JPEG (4000x3000) imported by a whole
# process (bench_import_one: the settings of a program folder and the import job of
# `vistrel-cli import`, without the album list) into a fresh album with the large version on (edLargeSize 2048: the
# 500x375 picture, its thumbnail and a 2048x1536 large version at quality 85) and off
# (edLargeSize 0: what an import cost before), side by side with djpeg decoding the same file to
# /dev/null. The goal: with the large version on, at most 1.5 times djpeg's decode. Interleaved
# rounds, medians of wall and CPU time, ratios (peer_timing.py). Then the same import repeated
# inside one process against an in-process decode: the cost a window pays per picture.
# Needs a Release build with -DVISTREL_BENCH=ON (BUILD, default build/release; only the target
# bench_import_one) and djpeg (libjpeg-turbo-progs).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
rounds=${ROUNDS:-15}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

camera=${CAMERA:-$work/camera.jpg}
[ -f "$camera" ] || /usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$camera"

for variant in on off; do
    mkdir -p "$work/$variant/galleries/Album" "$work/$variant/styles/Klassisch"
done
# The settings file of each program folder; only the large version's side differs.
printf '[TSettingsForm]\r\nedLargeSize_Text=2048\r\n' >"$work/on/vistrel.ini"
printf '[TSettingsForm]\r\nedLargeSize_Text=0\r\n' >"$work/off/vistrel.ini"

fresh=""
for variant in on off; do
    for sub in images thumbs large; do
        fresh+="rm -rf $work/$variant/galleries/Album/$sub; "
    done
done
python3 bench/peer_timing.py "$rounds" "$fresh" \
    -- "import, large version 2048" "$build/bench/bench_import_one $work/on $work/on/galleries/Album $camera" \
    -- "import, no large version" "$build/bench/bench_import_one $work/off $work/off/galleries/Album $camera" \
    -- "djpeg to /dev/null" "djpeg -outfile /dev/null $camera"

# The same inside one process, as a window imports: every round an import with the large version
# on beside a plain libjpeg decode of the file as djpeg makes it; medians and their ratio.
echo
echo "== In one process (no process start), $rounds rounds =="
"$build/bench/bench_import_one" --rounds "$rounds" "$work/on" "$work/on/galleries/Album" "$camera" |
    python3 -c '
import statistics, sys
rows = [line.split() for line in sys.stdin]
imports = [float(r[1]) for r in rows[1:]]
decodes = [float(r[3]) for r in rows[1:]]
i, d = statistics.median(imports), statistics.median(decodes)
print(f"import, large version 2048  median {i:6.1f} ms (first round {float(rows[0][1]):.1f} ms)")
print(f"libjpeg decode as djpeg      median {d:6.1f} ms")
print(f"ratio import / decode        {i / d:.2f}")'

# The large version really was made, at its size.
"$build/bench/bench_import_one" "$work/on" "$work/on/galleries/Album" "$camera"
identify -format "large version: %wx%h, quality %Q\n" "$work/on/galleries/Album/large/camera.jpg"
