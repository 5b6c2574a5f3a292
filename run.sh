#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tessarine.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh"
exec "$top/build/app/tessarine" "$@"
