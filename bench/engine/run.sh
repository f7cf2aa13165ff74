#!/usr/bin/env bash
# Times evc.exe against the ffmpeg tool doing the same conversions with the
# same libraries, on a generated 5-minute 192 kbit/s stereo MP3, and compares
# peak memory. Run by hand after building evc.exe:
#   bench/engine/run.sh [BUILD_FOLDER]     (default: build)
# Results go to $WORK (default /tmp/evc-bench): one markdown table per case.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
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

# The audio shape of the command line Tonbrix builds, with -vol 100 so that
# both tools do the same work (ffmpeg has no -vol limiter).
declare -A codec=([mp3]=mp3 [aac]=aac [ac3]=ac3 [m4a]=aac [ogg]=vorbis [wav]=pcm_s16le)
declare -A tool=([mp3]=libmp3lame [aac]=aac [ac3]=ac3 [m4a]=aac [ogg]=libvorbis [wav]=pcm_s16le)

peak() {  # peak resident memory in kB of one run
  /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1
}

summary="$work/summary.txt"
: > "$summary"
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

cat "$work"/whole-*.md "$work"/segment.md "$summary"
