#!/usr/bin/env bash
# Draws the desktop icons of the installed program from the program's own 32 x 32 icon
# (resources/tarnwick.xpm): a scalable SVG with one square per pixel, and PNGs of 16 to 256 pixels
# for the hicolor theme. Run it again after changing the XPM and commit what it writes.
set -euo pipefail
cd "$(dirname "$0")"
xpm=../resources/tarnwick.xpm
out=icons
mkdir -p "$out"

python3 - "$xpm" "$out/tarnwick.svg" <<'PY'
import re, sys
rows = re.findall(r'"([^"]*)"', open(sys.argv[1]).read())
w, h, ncolors, cpp = map(int, rows[0].split())
colors = {}
for line in rows[1:1 + ncolors]:
    key, _, value = line[:cpp], line[cpp:].split()[0], line[cpp:].split()[1]
    colors[key] = None if value.lower() == 'none' else value
pixels = rows[1 + ncolors:1 + ncolors + h]
out = ['<?xml version="1.0" encoding="UTF-8"?>',
       f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="0 0 {w} {h}" shape-rendering="crispEdges">',
       '<title>Tarnwick</title>']
for y, row in enumerate(pixels):
    x = 0
    while x < w:
        key = row[x * cpp:(x + 1) * cpp]
        run = 1
        while x + run < w and row[(x + run) * cpp:(x + run + 1) * cpp] == key:
            run += 1
        if colors[key]:
            out.append(f'<rect x="{x}" y="{y}" width="{run}" height="1" fill="{colors[key]}"/>')
        x += run
out.append('</svg>')
open(sys.argv[2], 'w').write('\n'.join(out) + '\n')
PY

for size in 16 24 32 48 64 128 256; do
  if [ $((size % 32)) -eq 0 ]; then filter=point; else filter=box; fi
  convert "$xpm" -filter "$filter" -resize "${size}x${size}" -strip "PNG32:$out/tarnwick-$size.png"
done
