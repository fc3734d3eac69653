# SPDX-License-Identifier: MIT
# Sourced by benchmark scripts. bench_tree PATH-OR-EMPTY prints the folder to measure:
# the given path, or the generated 1M-entry tree, written once by $BUILD_DIR/bench/mktree
# (a stamp beside it says that a complete tree of that size is there).
BENCH_TREE=/var/tmp/tallyfern-bench-tree
BENCH_TREE_FILES=1000000

bench_tree() {
  if [ -n "${1:-}" ]; then
    printf '%s\n' "$1"
    return
  fi
  local stamp="$BENCH_TREE.stamp"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "files=$BENCH_TREE_FILES" ]; then
    echo "generating $BENCH_TREE (once)..." >&2
    rm -rf "$BENCH_TREE" "$stamp"
    "$BUILD_DIR/bench/mktree" "$BENCH_TREE" "$BENCH_TREE_FILES" >&2
    echo "files=$BENCH_TREE_FILES" > "$stamp"
  fi
  printf '%s\n' "$BENCH_TREE"
}
