#!/usr/bin/env bash
# Builds the engine's libFuzzer target with clang and runs it on one core.
#   scripts/fuzz.sh [SECONDS]   (default 60)
# Seeds: the test pictures, and the big corpus beside the repository when it is there.
# Inputs that reach new code are kept in build-fuzz/corpus; crashes land in
# build-fuzz/findings/ (keep each as a regression file under tests/data/fuzz/).
set -euo pipefail
seconds=${1:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
build_dir="$top/build-fuzz"
seeds=${TESSARINE_CORPUS_DIR:-$top/../shared/corpus/dev}
# libFuzzer comes with clang's runtime libraries; CI does not need them, so setup.sh leaves
# them out.
for p in clang libclang-rt-14-dev; do
  if [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true) != "install ok installed" ]]; then
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y \
      --no-install-recommends clang libclang-rt-14-dev
    break
  fi
done
CC=clang CXX=clang++ cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSARINE_FUZZ=ON -DTESSARINE_WITH_QT=OFF -DTESSARINE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target engine_fuzzer -j1
mkdir -p "$build_dir/corpus" "$build_dir/findings"
cd "$build_dir"  # libFuzzer writes fuzz-0.log here
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
seed_dirs=()
for d in "$top/tests/data/jpeg" "$seeds/small" "$seeds/large" "$top/tests/data/fuzz"; do
  [[ -d "$d" ]] && seed_dirs+=("$d")
done
exec "$build_dir/fuzz/engine_fuzzer" "$build_dir/corpus" "${seed_dirs[@]}" \
  -max_total_time="$seconds" -jobs=1 -workers=1 -rss_limit_mb=2048 -timeout=10 \
  -max_len=262144 -artifact_prefix="$build_dir/findings/" -print_final_stats=1
