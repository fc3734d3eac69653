#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Name search over the generated 1M-entry tree (or PATH), in memory, beside `find -iname`
# on disk and a single-threaded walk. Usage: scripts/bench find [PATH] [RUNS]
# Target: find_ms and rare_ms <= 50 on the 1M tree.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/tree.sh"
target=$(bench_tree "${1:-}")
exec "$BUILD_DIR/bench/find" "$target" "${2:-7}"
