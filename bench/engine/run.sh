#!/usr/bin/env bash
# Times evc.exe against the ffmpeg tool doing the same conversions with the
# same libraries, on a generated 5-minute 192 kbit/s stereo MP3, and compares
# peak memory; then the three jobs with goals as interleaved pairs, the
# start-up of both programs, and what a source of zeros costs. Run by hand
# after building evc.exe:
#   bench/engine/run.sh [BUILD_FOLDER]     (default: build)
#   ONLY_PAIRS=1 PAIRS=9 bench/engine/run.sh build   (pairs, start-up, zeros only)
#   ONLY_FINISHING=1 bench/engine/run.sh build        (fades and -loudnorm only)
# Results go to $WORK (default /tmp/evc-bench): one markdown table per case.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
# Made absolute: the script works in $WORK.
build="$(cd "${1:-$root/build}" && pwd)"
evc="$build/evc.exe"
work="${WORK:-/tmp/evc-bench}"
runs="${RUNS:-5}"
mkdir -p "$work"
cd "$work"
[ -x "$evc" ] || { echo "no $evc: build the target evc first" >&2; exit 1; }

# Music-like source: pink noise under a chord, both moving, 5 minutes.
if [ ! -f src.mp3 ]; then
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "anoisesrc=d=300:c=pink:a=0.25:r=44100" \
    -f lavfi -i "aevalsrc=0.2*sin(2*PI*220*t)*sin(2*PI*0.5*t)+0.15*sin(2*PI*330*t)|0.2*sin(2*PI*277*t)+0.15*sin(2*PI*440*t)*sin(2*PI*0.3*t):s=44100:d=300" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0+c2" \
    -ab 192k src.mp3
fi

# Finishing the kept part: the 30-second segment from 3:00 as it is, with
# -loudnorm, and with fades and -loudnorm (the part is read twice then), beside
# the tool decoding the same stretch (the seek's 0.2 s lead-in included) and
# nothing else: the extra cost of -loudnorm is to stay within one such decode.
# The same for the whole song. ONLY_FINISHING=1 runs this case alone.
finishing() {
  local seg="-y -i src.mp3 -acodec mp3 -vn -ab 128 -vol 100 -ac 2 -ar 44100"
  hyperfine -N --warmup 1 --runs $((runs * 2)) --export-markdown finishing-segment.md \
    -n "evc.exe segment" "$evc $seg -ss 00:03:00 -t 30 fin-plain.mp3" \
    -n "evc.exe segment -loudnorm -14" "$evc $seg -ss 00:03:00 -t 30 -loudnorm -14 fin-loud.mp3" \
    -n "evc.exe segment fades + -loudnorm" \
    "$evc $seg -ss 00:03:00 -t 30 -fadein 2 -fadeout 3 -loudnorm -14 fin-both.mp3" \
    -n "ffmpeg decode of the segment" \
    "ffmpeg -nostdin -loglevel error -ss 00:02:59.8 -i src.mp3 -t 30.2 -f null -"
  hyperfine -N --warmup 1 --runs "$runs" --export-markdown finishing-whole.md \
    -n "evc.exe whole song" "$evc $seg fin-whole.mp3" \
    -n "evc.exe whole song -loudnorm -14" "$evc $seg -loudnorm -14 fin-whole-loud.mp3" \
    -n "ffmpeg decode of the song" "ffmpeg -nostdin -loglevel error -i src.mp3 -f null -"
  echo "peak kB whole song: evc $(peak "$evc" $seg fin-whole.mp3) evc -loudnorm $(peak "$evc" $seg -loudnorm -14 fin-whole-loud.mp3)" > finishing-memory.txt
  cat finishing-segment.md finishing-whole.md finishing-memory.txt
}

# The audio shape of the command line Tonbrix builds, with -vol 100 so that
# both tools do the same work (ffmpeg has no -vol limiter).
declare -A codec=([mp3]=mp3 [aac]=aac [ac3]=ac3 [m4a]=aac [ogg]=vorbis [wav]=pcm_s16le)
declare -A tool=([mp3]=libmp3lame [aac]=aac [ac3]=ac3 [m4a]=aac [ogg]=libvorbis [wav]=pcm_s16le)

peak() {  # peak resident memory in kB of one run
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

if [ -n "${ONLY_FINISHING:-}" ]; then finishing; exit 0; fi

summary="$work/summary.txt"
: > "$summary"
if [ -z "${ONLY_PAIRS:-}" ]; then
for ext in mp3 aac ac3 m4a ogg wav; do
  hyperfine -N --warmup 1 --runs "$runs" --export-markdown "whole-$ext.md" \
    -n "evc.exe $ext" "$evc -y -i src.mp3 -acodec ${codec[$ext]} -vn -ab 128 -vol 100 -ac 2 -ar 44100 out-evc.$ext" \
    -n "ffmpeg $ext" "ffmpeg -nostdin -loglevel error -y -i src.mp3 -acodec ${tool[$ext]} -vn -ab 128k -ac 2 -ar 44100 out-ff.$ext"
  echo "peak kB $ext: evc $(peak "$evc" -y -i src.mp3 -acodec "${codec[$ext]}" -vn -ab 128 -vol 100 -ac 2 -ar 44100 "out-evc.$ext") ffmpeg $(peak ffmpeg -nostdin -loglevel error -y -i src.mp3 -acodec "${tool[$ext]}" -vn -ab 128k -ac 2 -ar 44100 "out-ff.$ext")" >> "$summary"
done

# AMR: the tool decodes and resamples to 8 kHz mono, then evc.exe's encoder
# (opencore-amrnb) encodes that; against evc.exe doing all of it.
ffmpeg -nostdin -loglevel error -y -i src.mp3 -ac 1 -ar 8000 -acodec pcm_s16le narrow.wav
hyperfine -N --warmup 1 --runs "$runs" --export-markdown whole-amr.md \
  -n "evc.exe amr" "$evc -y -i src.mp3 -acodec amr_nb -s 176x144 -b 128 -ab 16 -vol 100 -ac 1 -ar 8000 out-evc.amr" \
  -n "ffmpeg to 8 kHz mono" "ffmpeg -nostdin -loglevel error -y -i src.mp3 -ac 1 -ar 8000 -acodec pcm_s16le narrow-ff.wav" \
  -n "evc.exe encoder alone" "$evc -y -i narrow.wav -acodec amr_nb -ab 16 out-enc.amr"
echo "peak kB amr: evc $(peak "$evc" -y -i src.mp3 -acodec amr_nb -ab 16 -vol 100 -ac 1 -ar 8000 out-evc.amr) ffmpeg-resample $(peak ffmpeg -nostdin -loglevel error -y -i src.mp3 -ac 1 -ar 8000 -acodec pcm_s16le narrow-ff.wav)" >> "$summary"

# A 30-second segment from 00:03:00: the legacy order (-ss after -i) and the
# tool's input-seeking form.
hyperfine -N --warmup 1 --runs $((runs * 2)) --export-markdown segment.md \
  -n "evc.exe segment" "$evc -y -i src.mp3 -acodec mp3 -vn -ab 128 -vol 100 -ac 2 -ar 44100 -ss 00:03:00 -t 30 seg-evc.mp3" \
  -n "ffmpeg -ss after -i" "ffmpeg -nostdin -loglevel error -y -i src.mp3 -acodec libmp3lame -vn -ab 128k -ac 2 -ar 44100 -ss 00:03:00 -t 30 seg-ff-out.mp3" \
  -n "ffmpeg -ss before -i" "ffmpeg -nostdin -loglevel error -y -ss 00:03:00 -i src.mp3 -acodec libmp3lame -vn -ab 128k -ac 2 -ar 44100 -t 30 seg-ff-in.mp3"
echo "peak kB segment: evc $(peak "$evc" -y -i src.mp3 -acodec mp3 -ab 128 -ss 00:03:00 -t 30 seg-evc.mp3) ffmpeg $(peak ffmpeg -nostdin -loglevel error -y -ss 00:03:00 -i src.mp3 -acodec libmp3lame -ab 128k -t 30 seg-ff-in.mp3)" >> "$summary"
fi

# ---- the engine against the tool, pair by pair -----------------------------
# Each pair runs evc.exe and the tool back to back (which goes first
# alternates), so that both meet the same load on a shared machine; the
# figures are medians over PAIRS pairs (default 7) of wall time, user CPU and
# peak resident memory, read with GNU time. EVC_SINGLE_THREAD=1 in the
# environment of this script times the engine on one thread instead.
pairs="${PAIRS:-7}"
measure() {  # prints "wall user peak_kB" of one run; fails when the run failed
  local status=0
  /usr/bin/time -f "%e %U %M" -o "$work/time.out" "$@" >/dev/null 2>&1 || status=$?
  tail -1 "$work/time.out"
  return $status
}
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
pairs_table="$work/pairs.md"
{
  echo "| job | evc.exe wall | ffmpeg wall | wall ratio | evc.exe user | ffmpeg user | evc.exe peak kB | ffmpeg peak kB |"
  echo "|---|---|---|---|---|---|---|---|"
} > "$pairs_table"
pair_job() {  # name, evc arguments, tool arguments (each one string, split on blanks)
  local name="$1" evc_args="$2" tool_args="$3" i
  : > "$work/evc.runs"; : > "$work/tool.runs"
  # A pair in which either run failed (another test on the machine may end
  # every evc.exe it sees) is run again.
  local e t
  for ((i = 0; i < pairs; i++)); do
    if ((i % 2 == 0)); then
      e=$(measure "$evc" $evc_args) && t=$(measure ffmpeg -nostdin -loglevel error -y $tool_args) ||
        { echo "pair $i of '$name' failed, again" >&2; i=$((i - 1)); continue; }
    else
      t=$(measure ffmpeg -nostdin -loglevel error -y $tool_args) && e=$(measure "$evc" $evc_args) ||
        { echo "pair $i of '$name' failed, again" >&2; i=$((i - 1)); continue; }
    fi
    echo "$e" >> "$work/evc.runs"
    echo "$t" >> "$work/tool.runs"
  done
  local ew tw eu tu em tm
  ew=$(cut -d' ' -f1 "$work/evc.runs" | median); tw=$(cut -d' ' -f1 "$work/tool.runs" | median)
  eu=$(cut -d' ' -f2 "$work/evc.runs" | median); tu=$(cut -d' ' -f2 "$work/tool.runs" | median)
  em=$(cut -d' ' -f3 "$work/evc.runs" | median); tm=$(cut -d' ' -f3 "$work/tool.runs" | median)
  echo "| $name | $ew s | $tw s | $(awk -v a="$ew" -v b="$tw" 'BEGIN {printf "%.2f", a / b}') | $eu s | $tu s | $em | $tm |" >> "$pairs_table"
}
line="-vn -ab 128 -vol 100 -ac 2 -ar 44100"
tool_line="-vn -ab 128k -ac 2 -ar 44100"
pair_job "whole song to MP3" "-y -i src.mp3 -acodec mp3 $line pair-evc.mp3" \
  "-i src.mp3 -acodec libmp3lame $tool_line pair-ff.mp3"
pair_job "whole song to M4A" "-y -i src.mp3 -acodec aac $line pair-evc.m4a" \
  "-i src.mp3 -acodec aac $tool_line pair-ff.m4a"
pair_job "30 s from 3:00 to MP3 (tool: -ss after -i)" \
  "-y -i src.mp3 -acodec mp3 $line -ss 00:03:00 -t 30 pair-seg-evc.mp3" \
  "-i src.mp3 -acodec libmp3lame $tool_line -ss 00:03:00 -t 30 pair-seg-ff.mp3"

# Start-up: no conversion, only the usage text (both exit with an error then).
hyperfine -N -i --warmup 3 --runs 100 --export-markdown startup.md \
  -n "evc.exe (usage text)" "$evc" -n "ffmpeg (usage text)" "ffmpeg -hide_banner"

# Sources that are no audio at all: how long and how much memory the engine
# spends before it gives its reason (a sparse 1 GB file of zeros, /dev/zero).
[ -f zeros-1g.mp3 ] || truncate -s 1G zeros-1g.mp3
ln -sf /dev/zero dev-zero.mp3
{
  echo "| source | wall s | user s | peak kB |"
  echo "|---|---|---|---|"
  for bad in zeros-1g.mp3 dev-zero.mp3; do
    echo "| $bad | $(measure "$evc" -y -i "$bad" bad-out.mp3 | sed 's/ / | /g') |" || true
  done
} > hostile.md

if [ -z "${ONLY_PAIRS:-}" ]; then cat "$work"/whole-*.md "$work"/segment.md "$summary"; fi
cat "$pairs_table" startup.md hostile.md
finishing
