#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs them.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS per target (default 600); TARGET among ini, options, progress,
# decode (default: all). The corpus grows in build-fuzz/fuzz-corpus/<target>/;
# a crash is saved in build-fuzz/fuzz-artifacts/<target>/: copy it to
# fuzz/regressions/<target>/ so that every build replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ini options progress decode)

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTONBRIX_FUZZ=ON -DTONBRIX_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzzers -j2
status=0
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/fuzz-corpus/$t" "build-fuzz/fuzz-artifacts/$t"
  echo "== fuzz_$t for ${seconds}s"
  build-fuzz/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build-fuzz/fuzz-artifacts/$t/" \
    "build-fuzz/fuzz-corpus/$t" "build-fuzz/fuzz/seeds/$t" || status=1
done
exit $status
