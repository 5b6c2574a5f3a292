#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, then lists the test cases
# that were skipped and why (for example the big corpus, when it is not beside the repository).
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   ./test.sh --tsan      ThreadSanitizer build of the engine and its tests in build-tsan/, with
#                         every picture the fast road can cut drawn by two threads
#   ./test.sh --no-fast   the engine without its fast road, in build-no-fast/
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$@"
case "${1:-}" in
  --sanitize) build_dir="$top/build-sanitize" ;;
  --tsan) build_dir="$top/build-tsan"; export TESSARINE_TEST_SPLIT=always ;;
  --no-fast) build_dir="$top/build-no-fast" ;;
  *) build_dir="$top/build" ;;
esac
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
cd "$build_dir"
status=0
ctest --output-on-failure -j2 --timeout 600 || status=$?

# GoogleTest prints "<file>:<line>: Skipped" and then the reason; ctest keeps every test's
# output in its log.
log=Testing/Temporary/LastTest.log
if [[ -f "$log" ]]; then
  awk '/: Skipped$/ { getline reason; if (reason == "") reason = "(no reason given)";
                      count[reason]++; total++ }
       END { printf "Skipped test cases: %d\n", total;
             for (r in count) printf "  %3d  %s\n", count[r], r }' "$log"
fi
exit "$status"
