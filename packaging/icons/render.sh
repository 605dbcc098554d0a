#!/usr/bin/env bash
# Renders the PNG sizes of the icon from its drawings. Run after changing a
# drawing and commit the PNGs: building Quarnel does not need an SVG renderer.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for id in org.quarnel.Quarnel org.quarnel.Station; do
  for size in 16 24 32 48 64 128 256; do
    # A drawing of the smallest size, laid on the pixel grid, where there is one.
    source=$id.svg
    [ "$size" -eq 16 ] && [ -f "$id-16.svg" ] && source=$id-16.svg
    mkdir -p "hicolor/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" "$source" -o "hicolor/${size}x${size}/$id.png"
  done
done
