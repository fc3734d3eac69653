#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `tallyfern --scan` against `du -sx` and `gdu` on the same tree, warm cache.
# Usage: scripts/bench scan [PATH]   (default: the generated 1M-entry tree, made once)
# Targets on a 2-core machine: ratio_vs_du <= 0.55, bytes_per_entry <= 80.
# RUNS (default 7) sets the number of timed runs of each program; medians are printed.
set -euo pipefail
BUILD_DIR="${BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
APP="$BUILD_DIR/tallyfern"
RUNS="${RUNS:-7}"
source "$(dirname "${BASH_SOURCE[0]}")/lib/tree.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lib/timing.sh"
target=$(bench_tree "${1:-}")
[ -d "$target" ] || { echo "scan: $target is not a folder" >&2; exit 2; }
command -v gdu >/dev/null || { echo "scan: gdu is missing (Debian package gdu)" >&2; exit 2; }

median_seconds() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { printf "%.3f", a[int((NR + 1) / 2)] / 1e6 }'; }

# Warm the cache (and the dentry and inode caches) with every program once.
line=$("$APP" --scan "$target")
du -sx "$target" >/dev/null 2>&1 || true
gdu -n -x -p "$target" >/dev/null 2>&1 || true
files=$(sed -n 's/^files=\([0-9]*\) .*/\1/p' <<<"$line")

# Rounds of one run each, so that the three see the same load from anything else
# running on the machine.
app_t=() du_t=() gdu_t=()
for ((i = 0; i < RUNS; i++)); do
  app_t+=("$(run_us "$APP" --scan "$target")")
  du_t+=("$(run_us du -sx "$target")")
  gdu_t+=("$(run_us gdu -n -x -p "$target")")
done
app=$(median_seconds "${app_t[@]}")
du_s=$(median_seconds "${du_t[@]}")
gdu_s=$(median_seconds "${gdu_t[@]}")
# The same ratios taken round by round, which load from elsewhere disturbs less.
round_ratio() { local -n num=$1 den=$2; local k; for ((k = 0; k < RUNS; k++)); do echo "${num[k]} ${den[k]}"; done |
  awk '{ print $1 / $2 }' | sort -g | awk '{ a[NR] = $1 } END { printf "%.2f", a[int((NR + 1) / 2)] }'; }
du_round=$(round_ratio app_t du_t)
gdu_round=$(round_ratio app_t gdu_t)

rss=$(peak_kb "$APP" --scan "$target")
empty=$(mktemp -d)
base=$(peak_kb "$APP" --scan "$empty")
rmdir "$empty"

echo "tree: $target"
echo "tallyfern --scan: $line"
echo "median of $RUNS runs: tallyfern ${app}s  du -sx ${du_s}s  gdu -n -x -p ${gdu_s}s"
echo "median of the per-round ratios: vs du $du_round, vs gdu $gdu_round"
awk -v a="$app" -v d="$du_s" -v g="$gdu_s" -v r="$rss" -v b="$base" -v f="$files" 'BEGIN {
  if (f < 1) f = 1
  printf "peak RSS of tallyfern --scan: %.1f MiB (an empty folder: %.1f MiB), per non-folder entry %.1f bytes (%.1f without the empty-folder baseline)\n",
         r / 1024, b / 1024, r * 1024 / f, (r - b) * 1024 / f
  printf "scan: ratio_vs_du=%.2f ratio_vs_gdu=%.2f bytes_per_entry=%.1f\n", a / d, a / g, r * 1024 / f
}'
