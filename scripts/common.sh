#!/usr/bin/env bash
# Shared by scripts/run, scripts/test and scripts/bench: install what is missing, build.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-2}"

PACKAGES=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-qpa-plugins fonts-dejavu-core
          shared-mime-info libmount-dev pkg-config libgtest-dev libgmock-dev libbenchmark-dev xvfb imagemagick xdotool
          ccache time gdu ncdu dbus hicolor-icon-theme python3 zlib1g-dev libzstd-dev dpkg-dev clang-format)

# Installs the Debian packages that are missing; costs one dpkg query when none is.
ensure_packages() {
  local missing=()
  local p
  for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

# build DIR [cmake args...]: configure once, then build everything, or only the
# targets listed in BUILD_TARGETS.
build() {
  local dir="$1"; shift
  if [ ! -f "$ROOT/$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/$dir" "$@" >&2
  fi
  local targets=()
  local t
  for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
  cmake --build "$ROOT/$dir" -j"$JOBS" "${targets[@]}" >&2
}
