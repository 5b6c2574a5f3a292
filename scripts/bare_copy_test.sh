#!/usr/bin/env bash
# Builds and tests the committed tree alone, as a fresh clone has it: `git archive HEAD` into
# a temporary folder with nothing beside it (no big corpus), then ./test.sh there, which must
# pass and lists the test cases it skipped. Run by .ci/run (not by ./test.sh: it runs that).
#   scripts/bare_copy_test.sh [--keep]   --keep leaves the copy for a look afterwards
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
if [[ "${1:-}" == "--keep" ]]; then
  echo "The copy stays in $work"
else
  trap 'rm -rf "$work"' EXIT
fi
git -C "$top" archive --prefix=tessarine/ HEAD | tar -x -C "$work"
echo "Testing a bare copy of $(git -C "$top" rev-parse --short HEAD) in $work/tessarine"
env -u TESSARINE_CORPUS_DIR "$work/tessarine/test.sh"
