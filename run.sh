#!/usr/bin/env bash
# Installs what is missing, builds the viewer alone (not the tests and benchmarks), and starts it
# on the demo workbook beside it.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
ORVANDEL_TARGETS=Orvandel "$root/scripts/setup.sh" "$root/build"
exec "$root/scripts/demo.sh" "$root/build/bin"
