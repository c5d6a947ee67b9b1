#!/usr/bin/env bash
# Installs what is missing, builds, and starts the viewer on the demo workbook beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
"$root/scripts/setup.sh" "$root/build"
exec "$root/scripts/demo.sh" "$root/build/bin"
