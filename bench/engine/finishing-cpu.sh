#!/bin/bash
# CPU time (user + sys, GNU time) of the finishing cases: on this shared
# machine wall time swings with the other jobs, CPU time much less.
#   bench/engine/finishing-cpu.sh [BUILD_DIR ...]
# Prints, for each build, the median of RUNS (default 7) runs of the
# 30-second segment from 3:00 and the whole song, plain and with
# -loudnorm -14, and of the tool decoding the same audio. Works on
# $WORK/src.mp3 (default /tmp/evc-bench), which run.sh makes.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="${WORK:-/tmp/evc-bench}"
runs="${RUNS:-7}"
[ -f "$work/src.mp3" ] || { echo "no $work/src.mp3: run ONLY_FINISHING=1 bench/engine/run.sh first" >&2; exit 1; }
[ $# -gt 0 ] || set -- "$root/build"
builds=()  # made absolute: the script works in $work
for build in "$@"; do builds+=("$(cd "$build" && pwd)"); done
cd "$work"

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
cpu() {
  local name=$1
  shift
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%U %S" -o cpu-time.txt "$@" >/dev/null 2>&1
    awk '{print $1 + $2}' cpu-time.txt
  done | median | xargs printf "%-46s %s s\n" "$name"
}

seg="-y -i src.mp3 -acodec mp3 -vn -ab 128 -vol 100 -ac 2 -ar 44100"
cpu "ffmpeg decode of the segment" ffmpeg -nostdin -loglevel error -ss 00:02:59.8 -i src.mp3 -t 30.2 -f null -
cpu "ffmpeg decode of the song" ffmpeg -nostdin -loglevel error -i src.mp3 -f null -
for build in "${builds[@]}"; do
  evc="$build/evc.exe"
  echo "$evc"
  # shellcheck disable=SC2086
  {
    cpu "  segment" "$evc" $seg -ss 00:03:00 -t 30 fin-plain.mp3
    cpu "  segment -loudnorm -14" "$evc" $seg -ss 00:03:00 -t 30 -loudnorm -14 fin-loud.mp3
    cpu "  segment -fadein 2 -fadeout 3 -loudnorm -14" "$evc" $seg -ss 00:03:00 -t 30 -fadein 2 -fadeout 3 -loudnorm -14 fin-both.mp3
    cpu "  whole song" "$evc" $seg fin-whole.mp3
    cpu "  whole song -loudnorm -14" "$evc" $seg -loudnorm -14 fin-whole-loud.mp3
  }
done
