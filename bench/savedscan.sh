#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Saved scans on the generated 1M-entry tree, in one run: `tallyfern --export` against
# `--scan` (the export's overhead), `tallyfern --load` against `ncdu -f FILE -o /dev/null`
# on the same file, the file's size plain/gzip/zstd, peak memory per entry of --load;
# then a synthetic saved scan of 10,000,000 entries (no files on disk): its load time and
# memory per entry, and the same file opened in a document window (offscreen): time to the
# first treemap and peak memory per entry, beside the window's figure for a synthetic
# scan of 1,000,000 entries (per entry at 10M must be no higher than at 1M).
# Usage: scripts/bench savedscan [PATH]
# Targets: export_ratio <= 1.15, load_ratio_vs_ncdu <= 0.5, load_bytes_per_entry <= the
# scan's own. RUNS (default 5) timed runs of each; medians of per-round ratios.
set -euo pipefail
BUILD_DIR="${BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}"
APP="$BUILD_DIR/tallyfern"
GEN="$BUILD_DIR/bench/savedscan"
RUNS="${RUNS:-5}"
BIG="${BIG:-10000000}"
source "$(dirname "${BASH_SOURCE[0]}")/lib/tree.sh"
source "$(dirname "${BASH_SOURCE[0]}")/lib/timing.sh"
target=$(bench_tree "${1:-}")
command -v ncdu >/dev/null || { echo "savedscan: ncdu is missing (Debian package ncdu)" >&2; exit 2; }
work=$(mktemp -d /var/tmp/tallyfern-savedscan.XXXXXX)
trap 'rm -rf "$work"' EXIT
file="$work/scan.json"

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ratios() { local -n num=$1 den=$2; local k; for ((k = 0; k < RUNS; k++)); do echo "${num[k]} ${den[k]}"; done |
  awk '{ print $1 / $2 }'; }

# Warm the caches; the export also makes the file the loads read.
scan_line=$("$APP" --scan "$target")
"$APP" --export "$file" "$target" >/dev/null
scan_t=() export_t=() load_t=() ncdu_t=()
for ((i = 0; i < RUNS; i++)); do
  scan_t+=("$(run_us "$APP" --scan "$target")")
  export_t+=("$(run_us_ok "$APP" --export "$file" "$target")")
  load_t+=("$(run_us_ok "$APP" --load "$file")")
  ncdu_t+=("$(run_us_ok ncdu -f "$file" -o /dev/null)")
done
require_all_ok savedscan "${export_t[@]}" "${load_t[@]}" "${ncdu_t[@]}"
load_line=$("$APP" --load "$file")
"$APP" --export "$file.gz" "$target" >/dev/null
"$APP" --export "$file.zst" "$target" >/dev/null
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
files=$(sed -n 's/^files=\([0-9]*\) .*/\1/p' <<<"$load_line")
load_rss=$(peak_kb "$APP" --load "$file")
scan_rss=$(peak_kb "$APP" --scan "$target")
gz_load=$(run_us "$APP" --load "$file.gz")
zst_load=$(run_us "$APP" --load "$file.zst")

echo "tree: $target"
echo "--scan: $scan_line"
echo "--load: $load_line"
echo "median of $RUNS runs: --scan $(median "${scan_t[@]}")us  --export $(median "${export_t[@]}")us  --load $(median "${load_t[@]}")us  ncdu -f -o /dev/null $(median "${ncdu_t[@]}")us"
echo "--load of the gzip file ${gz_load}us, of the zstd file ${zst_load}us"
PLAIN=$(mb "$file") GZ=$(mb "$file.gz") ZST=$(mb "$file.zst")
echo "sizes: plain $PLAIN MB  gzip $GZ MB  zstd $ZST MB"
export_ratio=$(median $(ratios export_t scan_t))
load_ratio=$(median $(ratios load_t ncdu_t))

rm -f "$file" "$file.gz" "$file.zst"
big="$work/big.json"
entries=$("$GEN" "$big" "$BIG")
big_t=()
for ((i = 0; i < 3; i++)); do big_t+=("$(run_us_ok "$APP" --load "$big")"); done
require_all_ok savedscan "${big_t[@]}"
big_rss=$(peak_kb "$APP" --load "$big")
echo "synthetic: $entries entries, $(mb "$big") MB; --load: $("$APP" --load "$big")"

# The window: a real document window on Qt's offscreen platform unless a display is set.
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
field() { sed -n "s/.*\b$1=\([0-9.]*\).*/\1/p" <<<"$2"; }
window_big=$("$GEN" --window "$big")
rm -f "$big"
mid="$work/mid.json"
mid_entries=$("$GEN" "$mid" 1000000)
window_mid=$("$GEN" --window "$mid")
rm -f "$mid"
echo "window, $entries entries: $window_big"
echo "window, $mid_entries entries: $window_mid"

awk -v er="$export_ratio" -v lr="$load_ratio" -v lk="$load_rss" -v sk="$scan_rss" -v f="$files" \
    -v bt="$(median "${big_t[@]}")" -v bk="$big_rss" -v be="$entries" \
    -v pm="$PLAIN" -v gm="$GZ" -v zm="$ZST" -v ws="$(field window_s "$window_big")" \
    -v wt="$(field first_treemap_s "$window_big")" -v wk="$(field peak_kib "$window_big")" \
    -v mk="$(field peak_kib "$window_mid")" -v me="$mid_entries" 'BEGIN {
  if (f < 1) f = 1
  printf "peak RSS per non-folder entry: --load %.1f bytes, --scan %.1f bytes\n", lk * 1024 / f, sk * 1024 / f
  printf "savedscan: export_ratio=%.2f load_ratio_vs_ncdu=%.2f load_bytes_per_entry=%.1f scan_bytes_per_entry=%.1f plain_mb=%s gzip_mb=%s zstd_mb=%s load10m_s=%.2f load10m_bytes_per_entry=%.1f window10m_s=%.2f window10m_first_treemap_s=%.2f window10m_bytes_per_entry=%.1f window1m_bytes_per_entry=%.1f\n",
    er, lr, lk * 1024 / f, sk * 1024 / f, pm, gm, zm, bt / 1e6, bk * 1024 / be, ws, wt, wk * 1024 / be, mk * 1024 / me
}'
