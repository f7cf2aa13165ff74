#!/usr/bin/env bash
# The program's own costs, measured on the built program under Xvfb:
#   (a) start-up: process start to the splash on screen, and to the main
#       window on screen after the splash (the splash stays up two seconds
#       by design, so that share is reported apart from the rest);
#   (b) memory of the idle program (VmRSS, VmHWM) after ~5 s with the main
#       window up, then again ~5 s after one 3-minute song has been added
#       through the open dialog (Ctrl+O, path typed, Enter);
#   (d) CPU time of the idle program with that song in the list;
#   (c) peak resident memory of evc.exe converting a 5-minute MP3 to MP3 with
#       the command line of Tonbrix's default settings.
# Usage:
#   bench/app/run.sh [BUILD_FOLDER]          (default: build)
#   RUNS=5 WORK=/tmp/tonbrix-app-bench SHOT=docs/main-window.png bench/app/run.sh build
# SHOT, when set, saves a picture of the main window with the song loaded.
# Needs: Xvfb, xdotool, ffmpeg, GNU time; ImageMagick's import for SHOT.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
work="${WORK:-/tmp/tonbrix-app-bench}"
runs="${RUNS:-5}"
idle="${IDLE_SECONDS:-5}"
shot="${SHOT:-}"
[ -z "$shot" ] || shot="$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"

for f in tonbrix evc.exe Res.dll Form.dll; do
  [ -e "$build/$f" ] || { echo "no $build/$f: build tonbrix, evc, tonbrix_res, tonbrix_form first" >&2; exit 1; }
done
for tool in Xvfb xdotool ffmpeg /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

mkdir -p "$work"
cd "$work"

# A program folder of its own, so that the runs neither read nor write the
# build folder's Config/ and log.txt.
app="$work/app"
rm -rf "$app"
mkdir -p "$app/Config"
cp "$build/tonbrix" "$build/evc.exe" "$build/Res.dll" "$build/Form.dll" "$app/"
[ ! -e "$build/Help.html" ] || cp "$build/Help.html" "$app/"

# Sources: a 3-minute song-like mix for the window, a 5-minute one for the
# engine (the same recipe as bench/engine: pink noise under moving chords).
make_song() {  # seconds file
  [ -f "$2" ] && return
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "anoisesrc=d=$1:c=pink:a=0.25:r=44100" \
    -f lavfi -i "aevalsrc=0.2*sin(2*PI*220*t)*sin(2*PI*0.5*t)+0.15*sin(2*PI*330*t)|0.2*sin(2*PI*277*t)+0.15*sin(2*PI*440*t)*sin(2*PI*0.3*t):s=44100:d=$1" \
    -filter_complex "[0][1]amerge=inputs=2,pan=stereo|c0=c0+c1|c1=c0+c2" \
    -ab 192k "$2"
}
make_song 180 "$work/Summer Song.mp3"
make_song 300 "$work/src5min.mp3"

# One X server for every run; no window manager, so "visible" means mapped.
Xvfb -displayfd 4 -screen 0 1280x800x24 -nolisten tcp 4>"$work/display" 2>/dev/null &
xvfb=$!
tonbrix=""
cleanup() {
  [ -z "$tonbrix" ] || kill "$tonbrix" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/display")"
export QT_QPA_PLATFORM=xcb
# No key repeat: a slow moment must not turn one key press into many.
! command -v xset >/dev/null || xset r off

now() { date +%s.%N; }
# Polls the command every 5 ms until it succeeds, for at most SECONDS;
# prints the time it first did.
wait_for() {  # SECONDS command...
  local end=$(( $(date +%s) + $1 )); shift
  while [ "$(date +%s)" -lt "$end" ]; do
    if "$@" >/dev/null 2>&1; then now; return 0; fi
    sleep 0.005
  done
  return 1
}
visible_named() { xdotool search --onlyvisible --name "$1"; }
# The splash is the program's first window: any visible window of the process.
visible_of_process() { xdotool search --onlyvisible --pid "$1"; }
gone() { ! visible_named "$1"; }
wait_window() {  # pattern
  wait_for 20 visible_named "$1" || { echo "window '$1' did not appear" >&2; return 1; }
}
wait_gone() {  # pattern
  wait_for 30 gone "$1" >/dev/null || { echo "window '$1' stayed" >&2; return 1; }
}
wait_first_window() {  # pid
  wait_for 20 visible_of_process "$1"
}
memory() {  # pid -> "VmRSS VmHWM" in kB
  awk '/^VmRSS:/ {r=$2} /^VmHWM:/ {h=$2} END {print r, h}' "/proc/$1/status"
}
stop_tonbrix() {
  [ -n "$tonbrix" ] || return 0
  kill "$tonbrix" 2>/dev/null || true
  wait "$tonbrix" 2>/dev/null || true
  tonbrix=""
}

# The main window's title is the product name and its version ("Tonbrix 1.0");
# the splash has no such name.
main_title='^Tonbrix [0-9]'
results="$work/startup.txt"
: > "$results"
for run in $(seq "$runs"); do
  rm -f "$app/log.txt" "$app/Config/"*.ini
  t0=$(now)
  "$app/tonbrix" >/dev/null 2>&1 &
  tonbrix=$!
  t_splash=$(wait_first_window "$tonbrix")
  t_main=$(wait_window "$main_title")
  echo "$t0 $t_splash $t_main" | awk '{printf "%.3f %.3f %.3f\n", $2-$1, $3-$1, $3-$2}' >> "$results"
  if [ "$run" -lt "$runs" ]; then stop_tonbrix; fi
done

median() {  # column of $results
  awk -v c="$1" '{print $c}' "$results" | sort -n | awk '{v[NR]=$1} END {m=(NR%2)?v[(NR+1)/2]:(v[NR/2]+v[NR/2+1])/2; printf "%.3f", m}'
}
to_splash=$(median 1)
to_main=$(median 2)
splash_up=$(median 3)

# (b) the last run's program, idle with the main window, then with a song.
sleep "$idle"
read -r idle_rss idle_hwm < <(memory "$tonbrix")

window=$(xdotool search --onlyvisible --name "$main_title" | head -1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
xdotool key --window "$window" ctrl+o
# The open dialog is a second visible window of the process; its file name
# box has the focus.
dialog=""
for _ in $(seq 200); do
  dialog=$(xdotool search --onlyvisible --pid "$tonbrix" 2>/dev/null | grep -vx "$window" | head -1 || true)
  [ -n "$dialog" ] && break
  sleep 0.05
done
[ -n "$dialog" ] || { echo "the open dialog did not appear" >&2; exit 1; }
sleep 1
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
# The box is emptied first: on a loaded machine the X server's key repeat can
# turn the O of Ctrl+O into a row of letters there.
# The keys of Ctrl+O can still count as held when the dialog takes the focus:
# then the first "o" typed is lost.
xdotool keyup ctrl o
xdotool key ctrl+a BackSpace
xdotool type --delay 20 "$work/Summer Song.mp3"
xdotool key Return
t_add=$(now)
sleep 0.5
wait_gone 'Installing File'
sleep "$idle"
read -r song_rss song_hwm < <(memory "$tonbrix")
# (d) CPU of the idle program with the song in the list: user + system time
# over CPU_SECONDS, as a share of one core.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
cpu_seconds="${CPU_SECONDS:-20}"
ticks_before=$(cpu_ticks "$tonbrix")
sleep "$cpu_seconds"
ticks_after=$(cpu_ticks "$tonbrix")
idle_cpu=$(awk -v t=$((ticks_after - ticks_before)) -v hz="$(getconf CLK_TCK)" -v s="$cpu_seconds" \
  'BEGIN {printf "%.2f", 100 * t / hz / s}')
# Adding through the open dialog remembers the song's folder.
grep -q "^InitDir=$work/" "$app/Config/UserSettings.ini" 2>/dev/null ||
  { import -window root "$work/failed.png" 2>/dev/null || true
    echo "the song was not added (no InitDir in Config/UserSettings.ini; screen in $work/failed.png)" >&2
    exit 1; }

if [ -n "$shot" ]; then
  geometry=$(xdotool getwindowgeometry --shell "$window")
  eval "$geometry"
  # Mark a part the way a person does: the start handle dragged right, the
  # end handle dragged left (the marker bar's handles sit at y 232..250 of
  # the window, the start handle from x 59, the end handle from x 298).
  drag() {  # from_x to_x (window coordinates, on the handles' row)
    xdotool mousemove --window "$window" "$1" 241 mousedown 1
    for step in 1 2 3 4 5 6 7 8 9 10; do
      xdotool mousemove --window "$window" $(( $1 + ($2 - $1) * step / 10 )) 241
      sleep 0.03
    done
    xdotool mouseup 1
    sleep 0.3
  }
  drag 68 118
  drag 307 262
  xdotool mousemove --window "$window" 680 510
  sleep 0.5
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/shot-full.png"
  # A palette picture keeps the file small; the window's flat colours survive.
  convert "$work/shot-full.png" -colors 256 -strip "PNG8:$shot"
  echo "screenshot: $shot ($(stat -c %s "$shot") bytes)"
fi
stop_tonbrix

# (c) the engine with the command line of Tonbrix's defaults (MP3, Normal
# Quality: 128 kbit/s, stereo, 44100 Hz, volume 200 %).
engine_peak=$(/usr/bin/time -f %M "$app/evc.exe" -y -i "$work/src5min.mp3" -acodec mp3 -vn \
  -ab 128 -vol 200 -ac 2 -ar 44100 "$work/out.mp3" 2>&1 >/dev/null | tail -1)
rm -f "$work/out.mp3"

{
  echo "start-up, $runs runs (s): process start -> splash on screen | -> main window on screen | splash on screen"
  cat "$results"
  echo "median: splash after $to_splash s, main window after $to_main s, splash up $splash_up s"
  echo "rest beside the splash's fixed 2 s: $(awk -v m="$to_main" 'BEGIN {printf "%.3f", m-2}') s"
  echo "idle, main window, ${idle} s: VmRSS $idle_rss kB, VmHWM $idle_hwm kB"
  echo "one 3-minute song added, ${idle} s later: VmRSS $song_rss kB, VmHWM $song_hwm kB"
  echo "idle with the song, ${cpu_seconds} s: ${idle_cpu} % of a core"
  echo "evc.exe, 5-minute MP3 to MP3, peak RSS: $engine_peak kB"
} | tee "$work/summary.txt"
