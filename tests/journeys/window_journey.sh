#!/usr/bin/env bash
# A person's journey through the built program on a real X server (Xvfb)
# with a window manager, by mouse and keyboard (xdotool): start Tonbrix from
# its program folder, add a 3-minute song through the open dialog (Ctrl+O,
# the path typed, Return), type Start and End Time into the list's cells,
# drag the end handle, press Convert, and check what came out: the
# "parameter:" line of log.txt and the decoded length of the ringtone. Waits
# on what the program shows or writes, never on fixed sleeps alone.
#
# Usage: window_journey.sh BUILD_FOLDER
# Needs: Xvfb, openbox, xdotool, wmctrl, ffmpeg (scripts/install-deps.sh).
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
app="$work/app"
home="$work/home"
song="$work/Summer Song.mp3"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "window journey: $*" >&2
  [ ! -f "$app/log.txt" ] || { echo "--- log.txt" >&2; cat "$app/log.txt" >&2; }
  [ ! -f "$work/program.log" ] || { echo "--- program output" >&2; tail -20 "$work/program.log" >&2; }
  exit 1
}

# Polls `condition` (a command, run anew each time) every 0.1 s for up to
# `seconds`.
wait_for() {  # seconds description condition...
  local seconds=$1 what=$2
  shift 2
  local tries=$((seconds * 10))
  until "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || fail "gave up waiting for $what"
    sleep 0.1
  done
}

mkdir -p "$app/Config" "$home"
cp "$build/tonbrix" "$build/evc.exe" "$build/Res.dll" "$build/Form.dll" "$build/Help.html" "$app/"
ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi \
  -i "anoisesrc=d=180:c=pink:a=0.25:r=44100" -ac 2 -ab 192k "$song"

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 10 "the X server" test -s "$work/display"
export DISPLAY=":$(cat "$work/display")"
openbox >/dev/null 2>&1 &
pids+=($!)
wait_for 10 "the window manager" wmctrl -m

HOME="$home" QT_QPA_PLATFORM=xcb "$app/tonbrix" >"$work/program.log" 2>&1 &
tonbrix=$!
pids+=("$tonbrix")

main_window() { xdotool search --onlyvisible --name '^Tonbrix [0-9]' | tail -1; }
shows() { [ -n "$(xdotool search --onlyvisible --name "$1")" ]; }
wait_for 30 "the main window after the splash" shows '^Tonbrix [0-9]'

window="$(main_window)"
# Mouse positions are given inside the main window.
click() { xdotool mousemove --window "$window" "$1" "$2" click "${3:-1}"; }
double_click() { xdotool mousemove --window "$window" "$1" "$2" click --repeat 2 --delay 80 1; }
type_text() { xdotool keyup ctrl shift alt; xdotool type --delay 30 "$1"; }
drag() {  # x1 y1 x2 y2
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --window "$window" $(($1 + ($3 - $1) * step / 10)) $(($2 + ($4 - $2) * step / 10))
    sleep 0.03
  done
  xdotool mouseup 1
}
xdotool windowactivate --sync "$window"

# 1. Add the song with the open dialog; the dialog's folder is remembered in
#    the settings once the song is in the list.
xdotool key --clearmodifiers ctrl+o
wait_for 10 "the open dialog" shows '^Open$'
type_text "$song"
xdotool key Return
wait_for 20 "the song in the list" grep -q "$work" "$app/Config/UserSettings.ini"
sleep 0.5

# 2. Type Start Time and End Time into the first row's cells.
row_y=351
double_click 408 "$row_y"
sleep 0.4
type_text "00:00:30"
xdotool key Return
sleep 0.3
double_click 474 "$row_y"
sleep 0.4
type_text "00:01:10"
xdotool key Return
sleep 0.3

# 3. Drag the end handle (at 1:10 of 3:00 it stands 115 px into the bar,
#    which begins at x 58) 20 px to the left: the end becomes 0:52.
drag 172 241 152 241
sleep 0.3

# 4. Convert into the output folder ($HOME/Tonbrix).
click 634 468
wait_for 30 "the job's command line in log.txt" grep -q "parameter: " "$app/log.txt"
ringtone="$home/Tonbrix/Summer Song.mp3"
wait_for 60 "the ringtone" test -f "$ringtone"
wait_for 30 "the engine to end" bash -c "! pgrep -f '^$app/evc.exe'"
hidden() { ! shows "$1"; }
wait_for 30 "the progress window to go" hidden '^Converting$'

parameter="$(grep -o 'parameter: .*' "$app/log.txt")"
case "$parameter" in
  *"-ss 00:00:30 -t 22 "*) ;;
  *) fail "unexpected command line: $parameter" ;;
esac
seconds="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$ringtone")"
awk -v s="$seconds" 'BEGIN { exit !(s > 21.9 && s < 22.2) }' ||
  fail "the ringtone lasts $seconds s, not 22"

# 5. Close the window once the batch is over: the program ends by itself.
wmctrl -c "Tonbrix"
ended() { [[ "$(ps -o stat= -p "$tonbrix" 2>/dev/null)" != [^Z]* ]]; }
wait_for 15 "the program to end" ended
wait "$tonbrix" || fail "the program ended with exit code $?"
echo "window journey: added, typed 00:00:30-00:01:10, dragged the end to 00:00:52," \
  "converted a ${seconds} s ringtone"
