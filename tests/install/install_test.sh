#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the desktop integration: every file
# where the menu and the icon theme look for it, the entry and the metadata accepted by their
# validators, and the installed program staying up on the offscreen platform until it is
# terminated (a missing library or plugin ends it at once).
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
build_dir=${1:?usage: install_test.sh BUILD_DIR}
app_id=org.example.tessarine
stage=$(mktemp -d)
pid=""
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  rm -rf "$stage"
}
trap cleanup EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

if ! DESTDIR="$stage" cmake --install "$build_dir" --prefix /usr >"$stage.log" 2>&1; then
  cat "$stage.log" >&2; rm -f "$stage.log"
  echo "FAIL: cmake --install" >&2; exit 1
fi
rm -f "$stage.log"
root="$stage/usr"

expected=(
  bin/tessarine
  share/applications/$app_id.desktop
  share/metainfo/$app_id.metainfo.xml
  share/icons/hicolor/scalable/apps/tessarine.svg
  share/icons/hicolor/16x16/apps/tessarine.png
  share/icons/hicolor/32x32/apps/tessarine.png
  share/icons/hicolor/48x48/apps/tessarine.png
  share/icons/hicolor/128x128/apps/tessarine.png
  share/icons/hicolor/256x256/apps/tessarine.png
)
for f in "${expected[@]}"; do
  [[ -s "$root/$f" ]] || fail "missing $f"
done
[[ -x "$root/bin/tessarine" ]] || fail "bin/tessarine is not executable"

# Each PNG has the pixel size of the folder it sits in.
for size in 16 32 48 128 256; do
  png="$root/share/icons/hicolor/${size}x${size}/apps/tessarine.png"
  [[ -f "$png" ]] || continue
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [[ "$width x $height" == "$size x $size" ]] || fail "${size}x${size} icon is $width x $height"
done

# The entry names the installed icon and program.
desktop="$root/share/applications/$app_id.desktop"
if [[ -f "$desktop" ]]; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
  grep -qx 'Icon=tessarine' "$desktop" || fail "entry does not name the tessarine icon"
  grep -qx 'Exec=tessarine' "$desktop" || fail "entry does not start tessarine"
fi
metainfo="$root/share/metainfo/$app_id.metainfo.xml"
if [[ -f "$metainfo" ]]; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
  # The tree as a whole: the metadata's launchable entry exists and goes with it.
  appstreamcli validate-tree --no-net "$stage" || fail "appstreamcli rejects the installed tree"
fi

# The installed program (not the build's) must come up and stay up until terminated.
if [[ -x "$root/bin/tessarine" ]]; then
  QT_QPA_PLATFORM=offscreen "$root/bin/tessarine" >"$stage/run.log" 2>&1 &
  pid=$!
  sleep 2
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null
  else
    wait "$pid"
    fail "installed tessarine ended by itself with status $?: $(head -c 2000 "$stage/run.log")"
  fi
  pid=""
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "desktop integration: all checks passed"
