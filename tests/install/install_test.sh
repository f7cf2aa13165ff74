#!/usr/bin/env bash
# Installs the build folder given as $1 into a fresh prefix and checks the
# layout, the menu entry, the icon, the bin/ link, that the installed evc.exe
# converts a file, and that the installed program starts on the offscreen
# platform and stays up (a missing companion or library would end it).
set -euo pipefail
build="$1"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/tonbrix-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

app="$prefix/lib/tonbrix"
for f in tonbrix evc.exe Res.dll Form.dll Help.html; do
  [ -f "$app/$f" ] || fail "missing $app/$f"
done
[ -d "$app/Config" ] || fail "missing $app/Config/"
[ -x "$app/tonbrix" ] && [ -x "$app/evc.exe" ] || fail "program or engine not executable"
[ -L "$prefix/bin/tonbrix" ] || fail "bin/tonbrix is no link"
[ "$(readlink -f "$prefix/bin/tonbrix")" = "$(readlink -f "$app/tonbrix")" ] || fail "bin/tonbrix points elsewhere"

desktop="$prefix/share/applications/tonbrix.desktop"
[ -f "$desktop" ] || fail "no menu entry"
grep -qx "Exec=\"$prefix/bin/tonbrix\"" "$desktop" || fail "menu entry does not start the installed program: $(grep ^Exec "$desktop")"
grep -qx "Icon=tonbrix" "$desktop" || fail "menu entry names no icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
icon="$prefix/share/icons/hicolor/scalable/apps/tonbrix.svg"
[ -f "$icon" ] && grep -q "<svg" "$icon" || fail "no icon"

# Libraries: nothing the installed files need is missing.
for f in tonbrix evc.exe Res.dll Form.dll; do
  if ldd "$app/$f" | grep -q "not found"; then fail "$f misses a library: $(ldd "$app/$f" | grep 'not found')"; fi
done

# The installed engine converts a file from any working directory.
work="$prefix/work"
mkdir -p "$work"
ffmpeg -nostdin -loglevel error -f lavfi -i "sine=duration=1" -c:a pcm_s16le "$work/in.wav"
(cd / && "$app/evc.exe" -y -i "$work/in.wav" -acodec mp3 -vn -ab 128 "$work/out.mp3" 2>/dev/null) || fail "installed evc.exe did not convert"
[ -s "$work/out.mp3" ] || fail "no output from the installed evc.exe"

# The program, started through bin/ from elsewhere, stays up until ended.
status=0
(cd / && HOME="$work" QT_QPA_PLATFORM=offscreen timeout 8 "$prefix/bin/tonbrix" >"$work/tonbrix.out" 2>&1) || status=$?
[ "$status" -eq 124 ] || fail "tonbrix ended by itself (status $status): $(cat "$work/tonbrix.out")"
echo "installed layout complete under $prefix"
