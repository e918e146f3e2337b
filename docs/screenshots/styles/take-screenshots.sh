#!/usr/bin/env bash
# Screenshots of each shipped style's start page, overview page and picture page at 390 and 1280
# pixels wide, generated with the default (empty) settings from three albums of drawn landscapes.
#   docs/screenshots/styles/take-screenshots.sh VISTREL_CLI [OUTPUT_FOLDER]
# Needs python3, ImageMagick and chromium (tools/install-deps --with-bench); runs as root.
set -euo pipefail
cli=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../../.." && pwd)
out=$(realpath "${2:-$here}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0

# Sky gradient, a sun and three ridges of mountains; every fourth picture is upright.
python3 - "$work/pictures" <<'PY'
import os, random, subprocess, sys
palettes = [
    ("#e8e2f2", "#b9aed6", ["#9a8cc0", "#6c5f96", "#2e2646"], "#fbf4dc"),
    ("#dfe9e1", "#b4cdb9", ["#5e8c6a", "#2f5a3b", "#173222"], "#f6f3e6"),
    ("#fbe3c8", "#f0b98a", ["#c98e5b", "#8a5a35", "#3d2816"], "#fff1d6"),
    ("#d6e6f2", "#9fc0dc", ["#6f8fae", "#45627e", "#1f3040"], "#fbf7e8"),
]
def ridge(w, h, y, rough, rnd):
    points = [(0, h)]
    for x in range(0, w + 40, 40):
        y = max(h * 0.25, min(h * 0.95, y + rnd.uniform(-rough, rough)))
        points.append((x, int(y)))
    points.append((w, h))
    return " ".join(f"{x},{y}" for x, y in points)
folder = sys.argv[1]
os.makedirs(folder)
for i in range(14):
    rnd = random.Random(i * 7 + 3)
    w, h = (800, 533) if i % 4 != 3 else (533, 800)
    top, bottom, hills, sun = palettes[i % len(palettes)]
    sx, sy, r = rnd.randint(w // 5, 4 * w // 5), rnd.randint(h // 8, h // 3), h // 12
    args = ["convert", "-size", f"{w}x{h}", f"gradient:{top}-{bottom}", "-fill", sun,
            "-draw", f"circle {sx},{sy} {sx + r},{sy}"]
    for k, colour in enumerate(hills):
        args += ["-fill", colour, "-draw", f"polygon {ridge(w, h, h * (0.5 + 0.15 * k), h * 0.06, rnd)}"]
    subprocess.run(args + ["-quality", "85", f"{folder}/Bild_{i + 1:02d}.jpg"], check=True)
PY

shot() { # URL FILE WIDTH HEIGHT
    local profile
    profile=$(mktemp -d "$work/profile.XXXXXX")
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
        --user-data-dir="$profile" --screenshot="$2" --window-size="$3,$4" "$1" >/dev/null 2>&1
}

p=$work/pictures
for style in Atelier Dunkelkammer Raster; do
    program=$work/$style
    mkdir -p "$program/galleries/"{ligurien,herbst,stadt}
    cp -r "$source_dir/data/styles" "$source_dir/data/scripts" "$program/"
    printf '[TSettingsForm]\r\nActStyle=%s\r\n' "$style" > "$program/vistrel.ini"
    printf 'ligurien\tZwei Wochen an der Riviera\t\t\tSommer in Ligurien\ttrue\r\n'`
          `'herbst\tSpazierg\xe4nge im Oktober\t\t\tHerbstwald\ttrue\r\n'`
          `'stadt\tM\xfcnchen, Wien, Prag\t\t\tStadtansichten\ttrue\r\n' > "$program/galleries/info.txt"
    "$cli" --program-folder "$program" import ligurien "$p"/Bild_{01..14}.jpg >/dev/null
    "$cli" --program-folder "$program" import herbst "$p"/Bild_{05..08}.jpg >/dev/null
    "$cli" --program-folder "$program" import stadt "$p"/Bild_{03,04,09}.jpg >/dev/null
    "$cli" --program-folder "$program" build-site >/dev/null 2>&1
    site=file://$program/galleries
    name=$(echo "$style" | tr 'A-Z' 'a-z')
    for size in 390x844 1280x800; do
        width=${size%x*} height=${size#*x}
        shot "$site/index.html" "$out/$name-$width-start.png" "$width" "$height"
        shot "$site/ligurien/index.html" "$out/$name-$width-overview.png" "$width" "$height"
        shot "$site/ligurien/imagepage0.html" "$out/$name-$width-picture.png" "$width" "$height"
    done
done
