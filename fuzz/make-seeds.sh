#!/usr/bin/env bash
# Makes the starting corpus of every fuzz target under OUTDIR/<target>/: a few
# well-formed inputs of each kind, so that fuzzing starts from real settings
# files, real engine lines, real progress chunks and real (tiny) audio files.
# Audio comes from the ffmpeg tool; nothing here is checked in as a blob.
set -euo pipefail
out="$1"
rm -rf "$out"
mkdir -p "$out"/{ini,options,progress,decode,playback}

# Settings files as the program writes and reads them.
printf '\r\n[Normal Quality]\r\nNormal Quality=0,2,4,1,3,0,0,0\r\n' >"$out/ini/profile"
printf '[UserSettings]\nOutputFolder=/home/me/Tonbrix/\nOpenFolder=/home/me/\nCount=$1F\n' >"$out/ini/settings"
printf '[A]\nx=1\n[A]\nx=0x7fffffff\n=empty\n[]\n;comment\n[B\nkey = value with = sign\n' >"$out/ini/odd"
: >"$out/ini/empty"

# Engine lines, NUL between the arguments.
args_to() { local file="$1"; shift; printf '%s\0' "$@" | head -c -1 >"$file"; }
args_to "$out/options/mp3" -y -i "/music/a song.mp3" -acodec mp3 -vn -ab 128 -vol 200 -ac 2 -ar 44100 -ss 00:00:30 -t 30 "/out/a song.mp3"
args_to "$out/options/amr" -y -i /m/x.wav -acodec amr_nb -ab 12.2k -ac 1 -ar 8000 -f amr /o/x.amr
args_to "$out/options/video" -y -i /m/v.avi -vcodec mpeg4 -s 176x144 -b 128 -r 15 -aspect 4:3 -acodec aac /o/v.3gp
args_to "$out/options/target" -i in.mpg -target ntsc-dvd -ss 1:02.5 -t 0.5 out.m4a

# Progress: shape byte, the segment length, then the engine's chunks.
printf '\x04''30\0size=     234kB time=14.91 bitrate= 128.5kbits/s\0size=     434kB time=29.90 bitrate= 128.5kbits/s\r' >"$out/progress/audio"
printf '\x01''5\0frame=  12 fps=0 q=0.0 size=      1kB time=1.20 bitrate=   1.0kbits/s\0size=       0kB time=10000000000.00 bitrate=N/A' >"$out/progress/video"
printf '\x2a''-1\0a=b=c=d\0====\0time=99999999999999999999.5' >"$out/progress/odd"

# Tiny audio sources; the first byte picks the extension the engine sees
# (the order of fuzz::kSourceExtensions in FuzzSupport.h).
tmp="$out/.work"
mkdir -p "$tmp"
make_audio() {
  local index="$1" ext="$2"
  shift 2
  ffmpeg -nostdin -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.3" \
    -ac 1 "$@" "$tmp/seed.$ext"
  { printf "\\x$(printf %02x "$index")"; cat "$tmp/seed.$ext"; } >"$out/decode/$ext"
}
make_audio 0 mp3 -c:a libmp3lame -b:a 16k
make_audio 1 ogg -c:a libvorbis
make_audio 2 m4a -c:a aac -b:a 16k
make_audio 3 wav -c:a pcm_s16le
make_audio 5 aac -c:a aac -b:a 16k
make_audio 6 ac3 -c:a ac3 -ar 32000
make_audio 7 flac -c:a flac
# Headers that lie: an ID3 tag claiming 100 MB in front of the MP3, and a WAV
# header of 255 channels at 1 Hz over a few zero bytes.
{ printf '\x00ID3\x03\x00\x00\x2f\x68\x59\x00'; tail -c +2 "$out/decode/mp3"; } >"$out/decode/id3-too-long"
{ printf '\x03RIFF\x44\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\xff\x00\x01\x00\x00\x00\xfe\x01\x00\x00\xfe\x01\x10\x00data\x20\x00\x00\x00'
  head -c 32 /dev/zero; } >"$out/decode/wav-255-channels"

# The preview's decoder takes the same files behind a second byte: the seek
# in tenths of a second (top bit: float output). Each plays from the start;
# the MP3 and the WAV seek into their middle, the Ogg past its end.
for file in "$out"/decode/*; do
  name="$(basename "$file")"
  case "$name" in
    mp3 | wav) seek='\x02' ;;
    ogg) seek='\x85' ;;
    *) seek='\x00' ;;
  esac
  { head -c 1 "$file"; printf "$seek"; tail -c +2 "$file"; } >"$out/playback/$name"
done
# A WAV header of 0 Hz: nothing may divide by its rate.
{ printf '\x03\x02RIFF\x44\x00\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x10\x00data\x20\x00\x00\x00'
  head -c 32 /dev/zero; } >"$out/playback/wav-0-hz"
rm -rf "$tmp"
