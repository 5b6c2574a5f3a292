#!/usr/bin/env bash
# Renders the main window offscreen into docs/main-window.png (or the file given), at the
# application's default font, palette and scale unless told otherwise.
# Usage: scripts/screenshot.sh [--font "Family Size"] [--palette light|dark] [--scale F] [out.png]
#   e.g. scripts/screenshot.sh --font "Cantarell 11" docs/main-window-cantarell.png
# (builds into build/ unless BUILD_DIR is set; the font must be installed, e.g. fonts-cantarell)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$top" && realpath -m "${BUILD_DIR:-build}")
options=()
out=$top/docs/main-window.png
while (($#)); do
  case $1 in
    --font|--palette|--scale) options+=("$1" "${2:?$1 needs a value}"); shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) out=$(realpath -m "$1"); shift ;;
  esac
done
[[ -f "$build_dir/build.ninja" ]] || cmake -S "$top" -B "$build_dir" -G Ninja
cmake --build "$build_dir" --target tessarine-screenshot
mkdir -p "$(dirname "$out")"
# A demo home whose desktop holds a few of the test pictures.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
demo=$tmp/home/alice
mkdir -p "$demo/Desktop/2024 夏天" "$demo/Desktop/扫描件" "$demo/Pictures" "$demo/.config"
echo 'XDG_DESKTOP_DIR="$HOME/Desktop"' > "$demo/.config/user-dirs.dirs"
for f in exif-Landscape_3.jpg jd-tower.jpg ljt-testorig.jpg jd-jpg-progressive.jpg; do
  cp "$top/tests/data/jpeg/$f" "$demo/Desktop/"
done
(cd "$demo" && HOME="$demo" XDG_CONFIG_HOME="$demo/.config" \
  "$build_dir/app/tessarine-screenshot" "${options[@]}" "$out")
echo "wrote $out"
