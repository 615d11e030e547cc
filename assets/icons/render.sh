#!/bin/bash
# Renders the PNG icon sizes from the scalable icon. Run by hand when the icon
# changes (needs rsvg-convert, Debian package librsvg2-bin); the results are
# kept in the repository so that a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/hicolor"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" scalable/apps/veskor.svg -o "${size}x${size}/apps/veskor.png"
done
