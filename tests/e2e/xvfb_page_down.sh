#!/bin/sh
# The reader in a real SDL window on a virtual X display: Page Down pressed
# through the X server changes what the window shows, the pointer resting on
# a toolbar button brings up its tip, and `--close` ends it with its position
# saved.
# usage: xvfb_page_down.sh PROGRAM
set -eu

program=$1
work=$(mktemp -d)
xvfb_pid=""
reader_pid=""
cleanup() {
  [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/reader.err" ] && sed 's/^/reader: /' "$work/reader.err" >&2
  exit 1
}

mkdir -m 700 "$work/run"
export TOVANEL_REGISTRY="$work/registry.reg"
export XDG_RUNTIME_DIR="$work/run"
unset WAYLAND_DISPLAY SDL_VIDEODRIVER || true

# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 800x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
export DISPLAY=":$(cat "$work/display")"

"$program" 2>"$work/reader.err" &
reader_pid=$!
window=$(timeout 20 xdotool search --sync --name '^Tovanel \(Vowels\)$' | head -n 1) ||
  fail "no reader window appeared"
# Let the first page be presented before taking the picture.
sleep 1
xwd -root -silent >"$work/before.xwd"
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" Next
sleep 1
xwd -root -silent >"$work/after.xwd"
cmp -s "$work/before.xwd" "$work/after.xwd" && fail "Page Down left the screen as it was"

# Resting the pointer on the first toolbar button shows its tip after a
# moment: the SDL loop wakes for it without any input.
xdotool mousemove --window "$window" 75 12
xwd -root -silent >"$work/hover.xwd"
sleep 1.5
xwd -root -silent >"$work/tip.xwd"
cmp -s "$work/hover.xwd" "$work/tip.xwd" && fail "no tool tip appeared over a toolbar button"

"$program" --close || fail "--close found no running reader"
for _ in $(seq 100); do
  kill -0 "$reader_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$reader_pid" 2>/dev/null && fail "the reader did not close"
status=0
wait "$reader_pid" || status=$?
reader_pid=""
[ "$status" -eq 0 ] || fail "the reader ended with status $status"
grep -q '"LastPosition"=dword:0000000[1-9a-f]\|"LastPosition"=dword:000000[1-9a-f]' "$TOVANEL_REGISTRY" ||
  fail "the position after Page Down was not saved: $(cat "$TOVANEL_REGISTRY")"
echo "ok"
