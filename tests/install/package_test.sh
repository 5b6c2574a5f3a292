#!/usr/bin/env bash
# Makes the Debian package into a temporary folder and checks that apt would pull in what the
# program needs on a fresh machine (Qt 6 widgets, libjpeg62-turbo, the CJK font) and that it
# carries the program, the menu entry, the icon and the metadata under /usr.
# Usage: package_test.sh BUILD_DIR [CPACK]
set -uo pipefail
build_dir=${1:?usage: package_test.sh BUILD_DIR [CPACK]}
cpack=${2:-cpack}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack" >&2
  exit 1
fi
debs=("$out"/tessarine_*.deb)
[[ -f "${debs[0]}" ]] || { echo "FAIL: no tessarine_*.deb made" >&2; exit 1; }
deb=${debs[0]}

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libjpeg62-turbo fonts-noto-cjk; do
  [[ ",$depends," =~ [,\ ]$package[\ ,\(] ]] || fail "Depends lacks $package"
done

contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
for f in ./usr/bin/tessarine \
         ./usr/share/applications/org.example.tessarine.desktop \
         ./usr/share/metainfo/org.example.tessarine.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/tessarine.svg \
         ./usr/share/icons/hicolor/48x48/apps/tessarine.png \
         ./usr/share/icons/hicolor/256x256/apps/tessarine.png; do
  grep -qx -- "$f" <<<"$contents" || fail "package lacks $f"
done

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "Debian package: all checks passed"
