#!/usr/bin/env bash
# Lighthouse 12.2.3 (npm, run in PEERS, default /tmp/site_bench/lh, where
# `npm i -E lighthouse@12.2.3` was run) with Debian's chromium on the start, overview and picture
# page of each shipped style, mobile and desktop, served by a small HTTP server on 127.0.0.1.
# COUNT (default 30) photographs of 12 megapixels are imported once; each style builds its site
# over them. Prints one table row per page and form factor: performance, accessibility, best
# practices, SEO (0..100) and the cumulative layout shift. Needs a Release build (BUILD). STYLES and
# FORMS (mobile desktop) narrow the table.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build/release}
count=${COUNT:-30}
peers=${PEERS:-/tmp/site_bench/lh}
work=$(mktemp -d)
server=
cleanup() { [ -n "$server" ] && kill "$server" 2> /dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/in" "$work/program"
cp -r data/styles data/scripts "$work/program/"
/usr/bin/convert -size 4000x3000 plasma:fractal -quality 90 "$work/camera.jpg"
for i in $(seq -w 1 "$count"); do cp "$work/camera.jpg" "$work/in/IMG_$i.jpg"; done
cli="$build/app/vistrel-cli --program-folder $work/program"
$cli new-album Sommer --info "Zwei Wochen am Meer" > /dev/null
$cli publish-mark Sommer on > /dev/null
$cli import Sommer "$work"/in/*.jpg > /dev/null
$cli settings set edSiteTitle "Anna Berger Fotografie" > /dev/null

python3 -m http.server --bind 127.0.0.1 0 --directory "$work/program/galleries" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 50); do grep -q "port" "$work/server.log" 2> /dev/null && break; sleep 0.1; done
port=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$work/server.log" | head -1)

printf '%-14s %-22s %-8s %5s %5s %5s %5s %7s\n' style page form perf a11y bp seo CLS
for style in ${STYLES:-Atelier Dunkelkammer Raster}; do
    $cli style "$style" > /dev/null
    $cli build-site > /dev/null
    for page in index.html Sommer/index.html Sommer/imagepage3.html; do
        for form in ${FORMS:-mobile desktop}; do
            preset=()
            [ "$form" = desktop ] && preset=(--preset=desktop)
            "$peers/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/$page" "${preset[@]}" --quiet \
                --chrome-flags="--headless=new --no-sandbox" --output=json --output-path="$work/report.json" \
                --only-categories=performance,accessibility,best-practices,seo > /dev/null 2>&1 || true
            python3 - "$work/report.json" "$style" "$page" "$form" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
c = report['categories']
score = lambda k: round((c[k]['score'] or 0) * 100)
cls = report['audits']['cumulative-layout-shift']['numericValue']
print('%-14s %-22s %-8s %5d %5d %5d %5d %7.3f' % (sys.argv[2], sys.argv[3], sys.argv[4], score('performance'),
      score('accessibility'), score('best-practices'), score('seo'), cls))
PY
        done
    done
done
