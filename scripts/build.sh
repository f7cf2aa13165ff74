#!/usr/bin/env bash
# Installs what is missing and builds Tonbrix into build/ (a runnable program
# folder). Extra arguments go to CMake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja "$@" >/dev/null
cmake --build build
