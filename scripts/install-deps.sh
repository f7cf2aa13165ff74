#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Tonbrix
# needs. Quiet and quick when everything is present already; refreshes the
# package lists only when something has to be installed.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  # windows and audio output
  qt6-base-dev qt6-multimedia-dev qt6-svg-dev
  # decoding, filtering, encoding
  libavformat-dev libavcodec-dev libavfilter-dev libswresample-dev libavutil-dev
  libopencore-amrnb-dev
  # the splash picture
  libjpeg62-turbo-dev
  # tests and benchmarks: frameworks, a display for screenshots, and the ffmpeg
  # tools that make fixtures and comparisons (Tonbrix itself never calls them)
  libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth ffmpeg
  # the engine benchmark: timings side by side, peak memory
  hyperfine time
  # the fuzz targets: clang with libFuzzer and the sanitizer runtimes, and
  # llvm-symbolizer for readable crash stacks
  clang libclang-rt-14-dev llvm
  # the journey through the real window under Xvfb: a window manager, mouse
  # and keys, and screenshots
  xdotool openbox wmctrl imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
