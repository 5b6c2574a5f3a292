#!/usr/bin/env bash
# tessarine-bench --preview: its lines as other tools read them, the pixels of a picture that
# fits against djpeg's decode of it, and the default road against --reference.
# Usage: preview_bench_test.sh BENCH DATA_DIR
set -euo pipefail
bench=$1 data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

fits=$data/ljt-testorig.jpg  # 227 x 149: fits a 322 x 336 box
png=$data/made-png-named.jpg
"$bench" --preview 322x336 "$fits" "$png" >"$work/out"
cat "$work/out"
hex='[0-9a-f]{64}'
grep -Eqx "preview: $fits 227x149 e=1 shown=227x149 pixels=$hex ms=[0-9]+\.[0-9]" "$work/out" ||
  fail "no preview line for $fits"
grep -qx "error: $png: JPEG error #53" "$work/out" || fail "no error line for $png"
grep -Eqx "files=2 made=1 refused=0 errors=1 src_mpix=0\.034 wall_ms=[0-9.]+ mpix_per_s=[0-9.]+ peak_rss_mb=[0-9.]+" \
  "$work/out" || fail "no summary line"

# The picture that fits is the decoded picture itself: djpeg's pixels, blue green red.
djpeg -dct float -ppm "$fits" | tail -c $((227 * 149 * 3)) |
  perl -0777 -pe 's/(.)(.)(.)/$3$2$1/gs' | sha256sum | cut -d' ' -f1 >"$work/djpeg"
grep -q "pixels=$(cat "$work/djpeg") " "$work/out" || fail "pixels differ from djpeg's"

# Reduced pictures: the same lines by both roads, but for the time.
for box in 179x236 40x30; do
  "$bench" --preview $box "$data" | sed 's/ ms=.*//; s/ wall_ms=.*//' >"$work/default"
  "$bench" --preview $box --reference "$data" | sed 's/ ms=.*//; s/ wall_ms=.*//' >"$work/reference"
  diff "$work/default" "$work/reference" || fail "--reference differs at $box"
  grep -Eq "^preview: .* e=([2-9]|[1-9][0-9]+) " "$work/default" || fail "nothing reduced at $box"
done
"$bench" --preview 8x8 --out "$work" "$fits" 2>/dev/null && fail "--out taken with --preview"
echo "ok"
