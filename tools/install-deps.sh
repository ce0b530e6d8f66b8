#!/usr/bin/env bash
# tools/install-deps.sh: installs every Debian package Quillbeck builds, tests, fuzzes and
# benchmarks with. Skips packages already installed; quiet unless something goes wrong.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  libjpeg-dev libpng-dev libtiff-dev zlib1g-dev
  libboost-filesystem-dev libboost-thread-dev libboost-system-dev libboost-chrono-dev
  libtbb-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-objdetect-dev
  libdlib-dev libdlib19.1 libblas-dev liblapack-dev
  opencv-data libdlib-data
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo for: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
export DEBIAN_FRONTEND=noninteractive
if ! { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps: apt-get failed for: ${missing[*]}" >&2
  exit 1
fi
