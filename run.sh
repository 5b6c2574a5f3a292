#!/usr/bin/env bash
# Installs what is missing, builds the program (not the tests), and starts Tessarine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" --app
exec "$top/build/app/tessarine" "$@"
