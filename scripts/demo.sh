#!/usr/bin/env bash
# Starts the viewer watching Bellquor.xls beside it.
set -euo pipefail
bin=${1:?usage: demo.sh BIN_DIR}
exec "$bin/Orvandel"
