#!/usr/bin/env bash
# Builds the Debian package: installs what is missing and builds build/ (scripts/setup.sh),
# then runs CPack there. The .deb lands in build/ and its name is printed last.
# Install it with: sudo apt install ./build/tessarine_*.deb
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
cd "$top/build"
rm -f tessarine_*.deb
cpack -G DEB
deb=$(ls tessarine_*.deb)
dpkg-deb --field "$deb" Package Version Depends
echo "$top/build/$deb"
