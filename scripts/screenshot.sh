#!/usr/bin/env bash
# Renders the main window offscreen into docs/main-window.png (or the file given).
# Usage: scripts/screenshot.sh [out.png]   (builds into build/ unless BUILD_DIR is set)
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$top/build}
out=${1:-$top/docs/main-window.png}
[[ -f "$build_dir/build.ninja" ]] || cmake -S "$top" -B "$build_dir" -G Ninja
cmake --build "$build_dir" --target tessarine-screenshot
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$build_dir/app/tessarine-screenshot" "$out"
echo "wrote $out"
