#!/usr/bin/env bash
# Installs the Debian packages Tessarine needs (only those missing; `apt-get update`
# at most once), then configures and builds into a build folder.
# Usage: scripts/setup.sh [--sanitize | --tsan | --no-fast] [--app]
#   (called by run.sh, test.sh, package.sh)
#   --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   --tsan      ThreadSanitizer build of the engine and its tests in build-tsan/
#   --no-fast   the engine without its fast road (plain road only) in build-no-fast/
#   --app       builds only the program (tessarine and what it links), not the tests
set -euo pipefail
variant=""
targets=()
for arg in "$@"; do
  case "$arg" in
    --sanitize|--tsan|--no-fast) variant=$arg ;;
    --app) targets=(--target tessarine) ;;
    *) echo "scripts/setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs netpbm
  qt6-base-dev fonts-noto-cjk fonts-dejavu-core
  desktop-file-utils appstream file dpkg-dev lintian man-db
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "Please run as root or install sudo." >&2; exit 1; }
    sudo="sudo"
  fi
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$top/build"
cmake_args=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "$variant" in
  --sanitize) build_dir="$top/build-sanitize"; cmake_args+=(-DTESSARINE_SANITIZE=address) ;;
  --tsan) build_dir="$top/build-tsan"; cmake_args+=(-DTESSARINE_SANITIZE=thread) ;;
  --no-fast) build_dir="$top/build-no-fast"; cmake_args+=(-DTESSARINE_FAST=OFF) ;;
esac
cmake -S "$top" -B "$build_dir" "${cmake_args[@]}"
cmake --build "$build_dir" "${targets[@]}"

