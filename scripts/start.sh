#!/usr/bin/env bash
# Builds Tonbrix and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec build/tonbrix
