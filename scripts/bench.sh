#!/usr/bin/env bash
# Times thumbnails of the large dev photos three ways, in turns, file by file:
#   streamed   tessarine-bench (the engine as the tool runs it)
#   reference  tessarine-bench --reference (full decode into a raster, then the stretch)
#   pipeline   djpeg -dct float | pamscale -nomix | cjpeg -dct float -quality 90 -baseline
# for 1/2, 1/10 and a 160 x 120 box, and prints the medians and the ratios against the
# pipeline (geometric mean over the files). Every time is one whole process run (or the
# whole pipeline) measured from outside, the median of --rounds runs.
# Then the peak memory of one reduction of each photo, and with --batch N a run of N
# thumbnails whose peak memory is set beside that of one round.
#
# Usage: scripts/bench.sh [--rounds N] [--batch N] [--build DIR] [FOLDER]
#   FOLDER defaults to ../shared/corpus/dev/large beside the repository; DIR to build/.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rounds=5
batch=0
build="$top/build"
folder="$top/../shared/corpus/dev/large"
while (($#)); do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --batch) batch=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
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

# Milliseconds of one run of "$@" (output thrown away).
ms() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  local end=$EPOCHREALTIME
  echo "$(( (${end/./} - ${start/./}) / 1000 ))"
}
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
pipeline() {  # file, pamscale size arguments...
  local file=$1; shift
  djpeg -dct float "$file" | pamscale -nomix "$@" | cjpeg -dct float -quality 90 -baseline \
    >"$work/pipe.jpg"
}

rules=("1/2" "1/10" "box 160x120")
bench_args=("--percent 50" "--percent 10" "--box 160x120")
pam_args=("0.5" "0.1" "-xyfit 160 120")

echo "Photos: ${#files[@]} in $folder; $rounds rounds, medians; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-12s %-40s %10s %10s %10s %9s %9s\n' rule file "streamed" "reference" "pipeline" "str/pipe" "ref/pipe"
summary=()
for i in "${!rules[@]}"; do
  log_s=0 log_r=0
  for file in "${files[@]}"; do
    s=() r=() p=()
    for ((k = 0; k < rounds; k++)); do  # in turns, so that load from elsewhere hits all three
      s+=("$(ms "$bench" ${bench_args[$i]} --out "$work/s" "$file")")
      r+=("$(ms "$bench" ${bench_args[$i]} --reference --out "$work/r" "$file")")
      p+=("$(ms pipeline "$file" ${pam_args[$i]})")
    done
    ms_s=$(median "${s[@]}") ms_r=$(median "${r[@]}") ms_p=$(median "${p[@]}")
    cmp -s "$work/s/$(basename "$file")" "$work/r/$(basename "$file")" ||
      echo "  !! streamed and reference thumbnails differ for $file"
    read -r q_s q_r l_s l_r < <(awk -v s="$ms_s" -v r="$ms_r" -v p="$ms_p" -v ls="$log_s" -v lr="$log_r" \
      'BEGIN {p = p < 1 ? 1 : p; printf "%.2f %.2f %.6f %.6f\n", s/p, r/p, ls + log(s/p), lr + log(r/p)}')
    log_s=$l_s log_r=$l_r
    printf '%-12s %-40s %8sms %8sms %8sms %9s %9s\n' "${rules[$i]}" "$(basename "$file")" \
      "$ms_s" "$ms_r" "$ms_p" "$q_s" "$q_r"
  done
  summary+=("$(awk -v ls="$log_s" -v lr="$log_r" -v n="${#files[@]}" -v rule="${rules[$i]}" \
    'BEGIN {printf "%-12s %9.2fx %9.2fx", rule, exp(ls/n), exp(lr/n)}')")
done
echo
echo "Geometric mean of the ratios against the pipeline (lower is faster):"
printf '%-12s %10s %10s\n' rule streamed reference
printf '%s\n' "${summary[@]}"

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
