#!/usr/bin/env bash
# Builds Tonbrix and runs every test: first the whole suite, then the tests
# labelled "sanitize" once more in a second build made with AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target for a bounded time
# (FUZZ_SECONDS each, default 25; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
# Warnings fail this build: the project's own code compiles without any.
# (Headers of Qt, FFmpeg and GoogleTest are system headers and stay quiet.)
BUILD_CONFIGURE_ARGS="${BUILD_CONFIGURE_ARGS:-} -DTONBRIX_WERROR=ON" scripts/build.sh
(cd build && ctest --output-on-failure -j2 --timeout 600)

cmake -S . -B build-sanitize -G Ninja -DTONBRIX_SANITIZE=ON -DTONBRIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-sanitize
(cd build-sanitize && ctest --output-on-failure -j2 --timeout 900 -L sanitize --no-tests=ignore)

fuzz_seconds="${FUZZ_SECONDS:-25}"
if [ "$fuzz_seconds" -gt 0 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTONBRIX_FUZZ=ON -DTONBRIX_BUILD_BENCH=OFF \
    -DTONBRIX_FUZZ_SECONDS="$fuzz_seconds" >/dev/null
  cmake --build build-fuzz --target fuzzers
  (cd build-fuzz && ctest --output-on-failure -j2 -L "fuzz")
fi
