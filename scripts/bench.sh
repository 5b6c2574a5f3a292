#!/usr/bin/env bash
# Times thumbnails of the large dev photos three ways, in turns, file by file:
#   streamed   tessarine-bench (the engine as the tool runs it)
#   reference  tessarine-bench --reference (full decode into a raster, then the stretch)
#   pipeline   djpeg -dct float | pamscale -nomix | cjpeg -dct float -quality 90 -baseline
# for 1/2, 1/10 and a 160 x 120 box, and prints the medians and the ratios against the
# pipeline (geometric mean over the files). Every time is one whole process run (or the
# whole pipeline) measured from outside, the median of --rounds runs: wall time, and CPU
# time (user + system of all processes), which load from other work disturbs far less; the
# pipeline's three processes may run side by side, so its wall time can be below its CPU.
# Then djpeg's decode alone (full size, and scaled 1/8) on the same scale, the peak memory
# of one reduction of each photo, and with --batch N a run of N thumbnails whose peak memory
# is set beside that of one round. Last, the preview of each photo (tessarine-bench --preview)
# in boxes of 179 x 236 and 322 x 336, by default and by --reference, in turns, one process
# each a round: the median over the rounds of the times the benchmark measures inside its
# process, their ratio (geometric mean), whether both showed the same pixels, and the peak
# memory of one preview beside the file and the shown raster. --previews-only skips the
# thumbnail tables.
#
# Usage: scripts/bench.sh [--rounds N] [--batch N] [--build DIR] [--previews-only] [FOLDER]
#   FOLDER defaults to ../shared/corpus/dev/large beside the repository; DIR to build/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=5
batch=0
previews_only=0
build="$top/build"
folder="$top/../shared/corpus/dev/large"
while (($#)); do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --batch) batch=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --previews-only) previews_only=1; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) folder=$1; shift ;;
  esac
done
bench="$build/bench/tessarine-bench"
[[ -x "$bench" ]] || { echo "No $bench: build first (scripts/setup.sh)." >&2; exit 1; }
for tool in djpeg pamscale cjpeg; do
  command -v $tool >/dev/null || { echo "No $tool: run scripts/setup.sh." >&2; exit 1; }
done

shopt -s nullglob nocaseglob
files=("$folder"/*.jpg "$folder"/*.jpeg)
shopt -u nocaseglob
((${#files[@]})) || { echo "No JPEG files in $folder" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "wall cpu" milliseconds of one run of "$@" (output thrown away).
ms() {
  local TIMEFORMAT='%R %U %S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true
  awk '{printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000}' <<<"$t"
}
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
median_real() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
pipeline() {  # file, pamscale size arguments...
  local file=$1; shift
  djpeg -dct float "$file" | pamscale -nomix "$@" | cjpeg -dct float -quality 90 -baseline \
    >"$work/pipe.jpg"
}

echo "Photos: ${#files[@]} in $folder; $rounds rounds, medians; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"

thumbnails() {
rules=("1/2" "1/10" "box 160x120")
bench_args=("--percent 50" "--percent 10" "--box 160x120")
pam_args=("0.5" "0.1" "-xyfit 160 120")

printf '%-12s %-32s %17s %17s %17s %11s %11s\n' rule file "streamed ms" "reference ms" \
  "pipeline ms" "str/pipe" "ref/pipe"
printf '%-12s %-32s %17s %17s %17s %11s %11s\n' "" "" "wall   cpu" "wall   cpu" "wall   cpu" \
  "wall  cpu" "wall  cpu"
summary=()
declare -A pipe_ms  # "rule-index file" -> pipeline "wall cpu" medians
for i in "${!rules[@]}"; do
  logs=(0 0 0 0)  # sums of log ratios: streamed wall, streamed cpu, reference wall, reference cpu
  for file in "${files[@]}"; do
    sw=() sc=() rw=() rc=() pw=() pc=()
    for ((k = 0; k < rounds; k++)); do  # in turns, so that load from elsewhere hits all three
      read -r w c < <(ms "$bench" ${bench_args[$i]} --out "$work/s" "$file"); sw+=("$w"); sc+=("$c")
      read -r w c < <(ms "$bench" ${bench_args[$i]} --reference --out "$work/r" "$file"); rw+=("$w"); rc+=("$c")
      read -r w c < <(ms pipeline "$file" ${pam_args[$i]}); pw+=("$w"); pc+=("$c")
    done
    m=("$(median "${sw[@]}")" "$(median "${sc[@]}")" "$(median "${rw[@]}")" "$(median "${rc[@]}")"
       "$(median "${pw[@]}")" "$(median "${pc[@]}")")
    pipe_ms["$i $file"]="${m[4]} ${m[5]}"
    cmp -s "$work/s/$(basename "$file")" "$work/r/$(basename "$file")" ||
      echo "  !! streamed and reference thumbnails differ for $file"
    read -r q1 q2 q3 q4 l1 l2 l3 l4 < <(awk -v sw="${m[0]}" -v sc="${m[1]}" -v rw="${m[2]}" \
      -v rc="${m[3]}" -v pw="${m[4]}" -v pc="${m[5]}" -v l="${logs[*]}" 'BEGIN {
        split(l, s, " "); pw = pw < 1 ? 1 : pw; pc = pc < 1 ? 1 : pc
        printf "%.2f %.2f %.2f %.2f %.6f %.6f %.6f %.6f\n", sw/pw, sc/pc, rw/pw, rc/pc,
          s[1] + log(sw/pw), s[2] + log(sc/pc), s[3] + log(rw/pw), s[4] + log(rc/pc)}')
    logs=("$l1" "$l2" "$l3" "$l4")
    printf '%-12s %-32s %7s %7s   %7s %7s   %7s %7s   %5s %5s   %5s %5s\n' "${rules[$i]}" \
      "$(basename "$file" | cut -c1-32)" "${m[@]}" "$q1" "$q2" "$q3" "$q4"
  done
  summary+=("$(awk -v l="${logs[*]}" -v n="${#files[@]}" -v rule="${rules[$i]}" 'BEGIN {
    split(l, s, " ")
    printf "%-12s %8.2fx %8.2fx %11.2fx %8.2fx", rule, exp(s[1]/n), exp(s[2]/n), exp(s[3]/n), exp(s[4]/n)}')")
done
echo
echo "Geometric mean of the ratios against the pipeline (lower is faster):"
printf '%-12s %9s %9s %12s %9s\n' rule "str wall" "str cpu" "ref wall" "ref cpu"
printf '%s\n' "${summary[@]}"

# Decoding alone, as a yardstick on the same scale: the full-size decode every road but the
# streamed one pays, and the 1/8-scaled decode, about the entropy decoding alone.
echo
echo "Decoding alone (djpeg -dct float, output thrown away) against the same pipeline runs:"
printf '%-12s %-24s %9s %9s\n' rule decode wall cpu
declare -A decode_ms
for file in "${files[@]}"; do
  for scale in 1 8; do
    dw=() dc=()
    for ((k = 0; k < rounds; k++)); do
      read -r w c < <(ms djpeg -dct float -scale "1/$scale" "$file"); dw+=("$w"); dc+=("$c")
    done
    decode_ms["$scale $file"]="$(median "${dw[@]}") $(median "${dc[@]}")"
  done
done
for i in "${!rules[@]}"; do
  for scale in 1 8; do
    l=""
    for file in "${files[@]}"; do l+="${decode_ms["$scale $file"]} ${pipe_ms["$i $file"]} "; done
    awk -v l="$l" -v rule="${rules[$i]}" -v what="$([[ $scale == 1 ]] && echo "full size" ||
      echo "scaled 1/8")" 'BEGIN {
      n = split(l, v, " "); sw = 0; sc = 0
      for (k = 1; k <= n; k += 4) {
        pw = v[k + 2] < 1 ? 1 : v[k + 2]; pc = v[k + 3] < 1 ? 1 : v[k + 3]
        sw += log((v[k] < 1 ? 1 : v[k]) / pw); sc += log((v[k + 1] < 1 ? 1 : v[k + 1]) / pc)
      }
      printf "%-12s %-24s %8.2fx %8.2fx\n", rule, what, exp(sw / (n / 4)), exp(sc / (n / 4))}'
  done
done

echo
echo "Peak memory of one 1/2 reduction (MB; file and thumbnail raster for comparison):"
printf '%-40s %8s %8s %8s %10s\n' file file thumb streamed reference
for file in "${files[@]}"; do
  line=$("$bench" --percent 50 "$file" | tail -1)
  line_r=$("$bench" --percent 50 --reference "$file" | tail -1)
  size=$(stat -c %s "$file")
  read -r w h < <(rdjpgcom -verbose "$file" |
    sed -n 's/.*JPEG image is \([0-9]*\)w \* \([0-9]*\)h.*/\1 \2/p')
  awk -v f="$(basename "$file")" -v size="$size" -v w="${w:-0}" -v h="${h:-0}" \
    -v s="${line##*peak_rss_mb=}" -v r="${line_r##*peak_rss_mb=}" \
    'BEGIN {tw = int((w + 1) / 2); th = int((h + 1) / 2); stride = int((tw * 24 + 31) / 32) * 4;
            printf "%-40s %8.1f %8.1f %8s %10s\n", f, size / 1048576, stride * th / 1048576, s, r}'
done

if ((batch > 0)); then
  n=${#files[@]}
  repeat=$(( (batch + n - 1) / n ))
  echo
  echo "Batch of $((repeat * n)) thumbnails (box 160x120, ${repeat} rounds over the folder):"
  echo "  one round:  $("$bench" --box 160x120 "$folder" | tail -1)"
  echo "  all rounds: $("$bench" --box 160x120 --repeat "$repeat" "$folder" | tail -1)"
fi
}

# The preview of each photo by the default road and by --reference for one box: each round
# runs one process of each in turns (seven previews each, the bench's own median read off
# its "preview:" line), and the table gives the median over the rounds. Load comes and
# goes, so timing both roads in turns over many processes is what makes their ratio hold
# still. Seven, because the first two previews of a process are slower (memory the C
# library has not handed out before costs page faults): the median of seven is the steady
# pace, as in the window, which previews photo after photo in one process.
previews() {
  echo
  echo "Previews (tessarine-bench --preview --repeat 7, ms inside the process; median of $rounds processes each, in turns):"
  printf '%-9s %-32s %11s %8s %9s %7s %6s %27s\n' box file size default reference ratio same \
    "peak MB (file+shown+16)"
  for box in 179x236 322x336; do
    local logs=0 n=0
    for file in "${files[@]}"; do
      local line ref times=() times_ref=() k
      for ((k = 0; k < rounds; k++)); do
        line=$("$bench" --preview "$box" --repeat 7 "$file")
        ref=$("$bench" --preview "$box" --repeat 7 --reference "$file")
        times+=("${line%%$'\n'*}") times_ref+=("${ref%%$'\n'*}")
        times[k]=${times[k]##*ms=} times_ref[k]=${times_ref[k]##*ms=}
      done
      local first=${line%%$'\n'*} first_ref=${ref%%$'\n'*}
      if [[ $first != preview:* ]]; then
        printf '%-9s %-32s %s\n' "$box" "$(basename "$file" | cut -c1-32)" "$first"
        continue
      fi
      local size=${first#* * } shown=${first#*shown=}
      size=${size%% *} shown=${shown%% *}
      local ms ms_ref
      ms=$(median_real "${times[@]}") ms_ref=$(median_real "${times_ref[@]}")
      local same=yes
      [[ ${first% ms=*} == "${first_ref% ms=*}" ]] || same=NO
      local peak=${line##*peak_rss_mb=}
      read -r ratio logs < <(awk -v a="$ms" -v b="$ms_ref" -v l="$logs" 'BEGIN {
        b = b < 0.1 ? 0.1 : b; a = a < 0.1 ? 0.1 : a; printf "%.2f %.6f\n", a / b, l + log(a / b)}')
      n=$((n + 1))
      awk -v box="$box" -v f="$(basename "$file" | cut -c1-32)" -v size="$size" -v ms="$ms" \
        -v ref="$ms_ref" -v ratio="$ratio" -v same="$same" -v peak="$peak" \
        -v bytes="$(stat -c %s "$file")" -v shown="$shown" 'BEGIN {
        split(shown, s, "x"); raster = int((s[1] * 24 + 31) / 32) * 4 * s[2]
        limit = (bytes + raster) / 1048576 + 16
        printf "%-9s %-32s %11s %8.1f %9.1f %6.2fx %6s %8.1f <= %6.1f %s\n", box, f, size, ms,
          ref, ratio, same, peak, limit, peak <= limit ? "" : "over"}'
    done
    ((n)) && awk -v l="$logs" -v n="$n" -v box="$box" \
      'BEGIN {printf "%-9s geometric mean of default/reference: %.2fx\n", box, exp(l / n)}'
  done
}

((previews_only)) || thumbnails
previews
