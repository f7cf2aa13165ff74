#!/usr/bin/env bash
# Builds Tonbrix and runs every test: first the whole suite, then the tests
# labelled "sanitize" once more in a second build made with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
(cd build && ctest --output-on-failure -j2 --timeout 600)

cmake -S . -B build-sanitize -G Ninja -DTONBRIX_SANITIZE=ON -DTONBRIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize
(cd build-sanitize && ctest --output-on-failure -j2 --timeout 900 -L sanitize --no-tests=ignore)
