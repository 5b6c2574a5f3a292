#!/usr/bin/env bash
# Renders the application icon tessarine.svg into the PNG sizes kept beside it
# (icons/tessarine-N.png). Run after changing the SVG and commit the PNGs; the build only
# uses the committed files. Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
mkdir -p "$here/icons"
for size in 16 32 48 128 256; do
  rsvg-convert --width "$size" --height "$size" "$here/tessarine.svg" -o "$here/icons/tessarine-$size.png"
done
