#!/usr/bin/env bash
# Installs what is missing and builds Tonbrix into build/ (a runnable program
# folder). Arguments name the targets to build (default: everything, the tests
# and benchmarks too); BUILD_CONFIGURE_ARGS go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# shellcheck disable=SC2086
cmake -S . -B build -G Ninja ${BUILD_CONFIGURE_ARGS:-} >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build --target "$@"
else
  cmake --build build
fi
