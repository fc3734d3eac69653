# SPDX-License-Identifier: MIT
# Sourced by benchmark scripts: timing and memory of single program runs.

now_ns() { date +%s%N; }

# Microseconds of one run of the command (its output and failure ignored).
run_us() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || true
  end=$(now_ns)
  echo $(( (end - start) / 1000 ))
}

# Peak resident memory of one run of the command, in KiB.
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'; }
