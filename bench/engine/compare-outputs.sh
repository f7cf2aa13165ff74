#!/usr/bin/env bash
# Compares two builds of evc.exe on the same command lines (no finishing
# options): the output files must be the same to the byte (Ogg files apart
# from their random serial numbers and the page checksums over them) and the
# console text the same apart from the progress lines. For checking that a
# change to the engine leaves every existing command line as it was:
#   bench/engine/compare-outputs.sh OLD/evc.exe NEW/evc.exe [WORK]
set -euo pipefail
old="$(realpath "$1")"
new="$(realpath "$2")"
work="${3:-/tmp/evc-compare}"
mkdir -p "$work/old" "$work/new"
cd "$work"
if [ ! -f music.mp3 ]; then
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "anoisesrc=d=20:c=pink:a=0.2:r=44100:seed=5" \
    -f lavfi -i "aevalsrc=0.2*sin(2*PI*220*t)|0.15*sin(2*PI*330*t):s=44100:d=20" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0+c2" -ab 192k music.mp3
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "sine=f=1000:r=44100:d=20" -ac 2 tone.wav
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "sine=f=440:r=48000:d=8" -ac 6 six.wav
fi
# The bytes of an Ogg file with each page's serial number and checksum zeroed.
ogg_bytes() {
  python3 -c '
import sys
b = bytearray(open(sys.argv[1], "rb").read()); at = 0
while at + 27 <= len(b) and b[at:at + 4] == b"OggS":
    b[at + 14:at + 18] = bytes(4); b[at + 22:at + 26] = bytes(4)
    n = b[at + 26]; at += 27 + n + sum(b[at + 27:at + 27 + n])
sys.stdout.buffer.write(bytes(b))' "$1"
}
count=0
differ=0
for src in music.mp3 tone.wav six.wav; do
  for ext in mp3 amr aac ac3 m4a ogg wav; do
    for opts in "" "-ss 2 -t 5" "-vol 200 -ss 00:00:03 -t 7.5" "-vol 50 -ab 64 -ac 1 -ar 22050"; do
      a=$(cd old && "$old" -y -i "../$src" $opts "out.$ext" 2>&1 | grep -v '^size' || true)
      b=$(cd new && "$new" -y -i "../$src" $opts "out.$ext" 2>&1 | grep -v '^size' || true)
      if [ "$ext" = ogg ] && [ -f old/out.ogg ] && [ -f new/out.ogg ]; then
        same=$(cmp -s <(ogg_bytes old/out.ogg) <(ogg_bytes new/out.ogg) && echo yes || echo no)
      else
        same=$(cmp -s "old/out.$ext" "new/out.$ext" && echo yes || echo no)
      fi
      count=$((count + 1))
      if [ "$same" != yes ] || [ "$a" != "$b" ]; then
        differ=$((differ + 1))
        echo "differs: $src -> $ext $opts"
      fi
      rm -f "old/out.$ext" "new/out.$ext"
    done
  done
done
echo "$count command lines compared, $differ differ"
[ "$differ" -eq 0 ]
