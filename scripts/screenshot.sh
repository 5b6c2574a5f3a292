#!/usr/bin/env bash
# Renders the main window offscreen into docs/main-window.png (or the file given).
# Usage: scripts/screenshot.sh [out.png]   (builds into build/ unless BUILD_DIR is set)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=$(cd "$top" && realpath -m "${BUILD_DIR:-build}")
out=${1:-$top/docs/main-window.png}
[[ -f "$build_dir/build.ninja" ]] || cmake -S "$top" -B "$build_dir" -G Ninja
cmake --build "$build_dir" --target tessarine-screenshot
mkdir -p "$(dirname "$out")"
# A demo home whose desktop holds a few of the test pictures.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
demo=$tmp/alice
mkdir -p "$demo/Desktop/2024 夏天" "$demo/Desktop/扫描件" "$demo/Pictures" "$demo/.config"
echo 'XDG_DESKTOP_DIR="$HOME/Desktop"' > "$demo/.config/user-dirs.dirs"
for f in exif-Landscape_3.jpg jd-tower.jpg ljt-testorig.jpg jd-jpg-progressive.jpg; do
  cp "$top/tests/data/jpeg/$f" "$demo/Desktop/"
done
(cd "$demo" && HOME="$demo" XDG_CONFIG_HOME="$demo/.config" QT_QPA_PLATFORM=offscreen \
  "$build_dir/app/tessarine-screenshot" "$out")
echo "wrote $out"
