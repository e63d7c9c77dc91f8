#!/usr/bin/env bash
# Installs everything a fresh Debian 12 machine needs to build, test, benchmark and fuzz
# Tarnwick: the toolchain, Qt 6 for the editor, GoogleTest, Google Benchmark, clang with
# libFuzzer and the sanitizer runtimes, Xvfb, xdotool, ImageMagick and fonts for the window tests,
# poppler-utils (pdftotext, pdfinfo) to read printed PDF files back, ccache.
# Safe to run any number of times: when every package is present it does nothing.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build ccache pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang clang-format libclang-rt-14-dev llvm
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth xdotool imagemagick fonts-dejavu-core fonts-liberation
  time file desktop-file-utils appstream
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
