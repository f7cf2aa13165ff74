#!/usr/bin/env bash
# Builds what the program needs (the program, its engine, the two companion
# libraries and the help page; not the tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tonbrix evc tonbrix_res tonbrix_form tonbrix_help
exec build/tonbrix "$@"
