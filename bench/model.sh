#!/usr/bin/env bash
# Kind classification and kind totals over the generated 1M-file tree, in memory.
# Arguments go to the program: [FILES] [RUNS].
set -euo pipefail
exec "$BUILD_DIR/bench/model" "$@"
