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

# As run_us, but prints "failed" when the command fails, so that a figure is never made
# of runs that did not do the work (check with require_all_ok).
run_us_ok() {
  local start end
  start=$(now_ns)
  "$@" >/dev/null 2>&1 || { echo failed; return; }
  end=$(now_ns)
  echo $(( (end - start) / 1000 ))
}

# require_all_ok LABEL TIMES...: stops the benchmark when any run failed.
require_all_ok() {
  local label=$1; shift
  if printf '%s\n' "$@" | grep -q failed; then
    echo "$label: a run failed; no figures" >&2
    exit 1
  fi
}

# Peak resident memory of one run of the command, in KiB.
peak_kb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'; }
