#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite, then lists the test cases
# that were skipped and why (for example the big corpus, when it is not beside the repository).
#   ./test.sh             plain build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$@"
build_dir="$top/build"
[[ "${1:-}" == "--sanitize" ]] && build_dir="$top/build-sanitize"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
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
