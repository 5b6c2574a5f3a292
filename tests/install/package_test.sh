#!/usr/bin/env bash
# Makes the Debian package into a temporary folder and checks that apt would pull in what the
# program needs on a fresh machine (Qt 6 widgets, libjpeg62-turbo, the CJK font) and recommend
# what the desktop features use, that it carries the program, the menu entry, the icon, the
# metadata, the copyright file, the changelog and the manual page under /usr, that `man` finds
# the page where the package puts it, and that lintian finds no error and no warning in it
# (a warning we accept goes into cmake/debian/lintian-overrides with its reason).
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

recommends=$(dpkg-deb --field "$deb" Recommends)
for package in xdg-utils qt6-wayland qt6-translations-l10n; do
  [[ ",$recommends," =~ [,\ ]$package[\ ,\(] ]] || fail "Recommends lacks $package"
done

contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
for f in ./usr/bin/tessarine \
         ./usr/share/applications/org.example.tessarine.desktop \
         ./usr/share/metainfo/org.example.tessarine.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/tessarine.svg \
         ./usr/share/icons/hicolor/48x48/apps/tessarine.png \
         ./usr/share/icons/hicolor/256x256/apps/tessarine.png \
         ./usr/share/doc/tessarine/copyright \
         ./usr/share/doc/tessarine/changelog.gz \
         ./usr/share/man/man1/tessarine.1.gz; do
  grep -qx -- "$f" <<<"$contents" || fail "package lacks $f"
done

dpkg-deb --extract "$deb" "$out/root"
grep -qsx 'License: MIT' "$out/root/usr/share/doc/tessarine/copyright" ||
  fail "copyright file names no MIT licence"
page=$(man --manpath="$out/root/usr/share/man" --where tessarine 2>&1)
[[ "$page" == "$out/root/usr/share/man/man1/tessarine.1.gz" ]] || fail "man tessarine: $page"

# lintian prints one line a finding: "E: tessarine: tag ..." (error), "W: ..." (warning), and
# only those two levels are shown unless asked.
lintian "$deb" >"$out/lintian.log" 2>&1
findings=$(grep -E '^[EW]: ' "$out/lintian.log")
[[ -z "$findings" ]] || fail "lintian:"$'\n'"$findings"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "Debian package: all checks passed"
