#!/usr/bin/env bash
# The real program's exit codes:
#  a) on a valid table, a SIGTERM closes the window and the program ends with 0;
#  c) a first start without any configuration makes the demo table and opens;
#  d) a first start that cannot make the demo table shows the box too;
#  e) the start that makes the demo table says so in a notice, once;
#  b) on a missing table, start-up ends in the "Application Error" box on a
#     real X server; Return dismisses it and the program ends with 1. A
#     screenshot of the box is left in the build folder.
# Usage: binary_exit_codes.sh VANDRO VANDRO_ADMIN OUTPUT_DIR
# Exit 77 (skipped) when Xvfb or xdotool is missing, after part a).
set -u

vandro=$1
admin=$2
out=$3

work=$(mktemp -d /tmp/vandro-binary-XXXXXX) || exit 1
xvfb_pid=
wm_pid=
app_pid=

cleanup() {
  for pid in $app_pid $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
  done
  for pid in $app_pid $wm_pid $xvfb_pid; do
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  exit 1
}

export VANDRO_ENGINE_CONFIG=$work/engine.conf
mkdir "$work/data"
"$admin" alias set Vandro "$work/data" >"$work/admin.log" 2>&1 || fail "vandro-admin alias set"
"$admin" create "$work/data" Vandro.DB >>"$work/admin.log" 2>&1 || fail "vandro-admin create"

# Whether the program under `timeout` (pid $1) catches SIGTERM yet: it
# does once its window runs, so a loaded machine's slow start is waited for.
catches_term() {
  local program mask
  program=$(pgrep -P "$1" | head -n1)
  [ -n "$program" ] || return 1
  mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$program/status" 2>/dev/null)
  [ -n "$mask" ] && (( (16#$mask >> 14) & 1 ))
}

# Runs the program offscreen with the environment given, lets it start,
# and ends it with SIGTERM, which must end it with 0.
run_then_terminate() {
  local log=$1
  shift
  env "$@" QT_QPA_PLATFORM=offscreen timeout 30 "$vandro" >"$log" 2>&1 &
  app_pid=$!
  for _ in $(seq 200); do
    catches_term "$app_pid" && break
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended before SIGTERM ($log)"
    sleep 0.1
  done
  catches_term "$app_pid" || fail "the program did not start within 20 s ($log)"
  sleep 0.5 # the window shown
  kill -TERM "$app_pid"
  wait "$app_pid"
  local rc=$?
  app_pid=
  [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM, expected 0 ($log)"
}

# a) SIGTERM on a running program.
run_then_terminate "$work/offscreen.log"
echo "ok: SIGTERM ends the program with 0"

# c) A first start, as from the desktop's menu: no configuration at all
#    gives the demo table and the window, not an error.
run_then_terminate "$work/first.log" -u VANDRO_ENGINE_CONFIG HOME="$work/home" XDG_CONFIG_HOME= XDG_DATA_HOME=
[ -s "$work/home/.local/share/vandro/Vandro.DB" ] || fail "the first start made no demo table"
grep -q "^\[Vandro\]" "$work/home/.config/vandro/engine.conf" || fail "the first start added no alias Vandro"
echo "ok: a first start makes the demo table and opens it"

# b) The start-up error box on an X server.
for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
rm -f "$work/data/Vandro.DB"

# The first visible window whose name matches $1, waited for up to $2
# tenths of a second. Searched again and again: a search that meets a
# window just destroyed (the box of a run before) fails instead of going on.
find_window() {
  local found
  for _ in $(seq "$2"); do
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    [ -n "$found" ] && { echo "$found"; return; }
    sleep 0.1
  done
}
# The "Application Error" box's window, waited for up to 15 s.
find_error_box() { find_window "Application Error" 150; }

# Xvfb picks a free display number and writes it to fd 3 once it is ready.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display number in 10 s"
export DISPLAY=:$(head -n1 "$work/display")

if command -v openbox >/dev/null; then
  openbox >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  sleep 0.5
fi

QT_QPA_PLATFORM=xcb timeout 30 "$vandro" >"$work/xcb.log" 2>&1 &
app_pid=$!
window=$(find_error_box)
[ -n "$window" ] || fail "no window titled \"Application Error\" within 15 s"
echo "ok: window $window \"$(xdotool getwindowname "$window")\" on $DISPLAY"
# The caption the window manager shows is the box's own, nothing appended.
caption=$(xprop -id "$window" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
[ "$caption" == "Application Error" ] || fail "the box's caption is \"$caption\", expected \"Application Error\""
sleep 0.5 # let the box paint

if command -v import >/dev/null; then
  timeout 10 import -window root "$out/application-error.png" || echo "note: no screenshot taken"
  echo "screenshot: $out/application-error.png"
fi

timeout 5 xdotool windowactivate --sync "$window" || fail "cannot activate the box"
timeout 5 xdotool windowfocus --sync "$window" || fail "cannot focus the box"
timeout 5 xdotool key Return || fail "cannot press Return"
wait "$app_pid"
rc=$?
app_pid=
[ "$rc" -eq 1 ] || fail "exit code $rc after the start-up error box, expected 1"
echo "ok: the start-up error box ends the program with 1"

# d) A first start that cannot make the demo table says why in the same
#    box, and writes no alias of a folder without the table.
touch "$work/not-a-folder"
env -u VANDRO_ENGINE_CONFIG HOME="$work/home2" XDG_CONFIG_HOME= XDG_DATA_HOME="$work/not-a-folder" \
  QT_QPA_PLATFORM=xcb timeout 30 "$vandro" >"$work/first-failed.log" 2>&1 &
app_pid=$!
window=$(find_error_box)
[ -n "$window" ] || fail "no \"Application Error\" box for a first start that failed"
timeout 5 xdotool windowactivate --sync "$window" && timeout 5 xdotool key Return
wait "$app_pid"
rc=$?
app_pid=
[ "$rc" -eq 1 ] || fail "exit code $rc after a failed first start, expected 1"
[ ! -e "$work/home2/.config/vandro/engine.conf" ] || fail "a failed first start wrote the configuration"
echo "ok: a failed first start shows its cause and writes no alias"

# e) The first start that makes the demo table says so once the window is
#    up, in the notice (caption "Vandro"), naming the commands that load
#    one's own corpus; a second start says nothing.
first_start() {
  env -u VANDRO_ENGINE_CONFIG HOME="$work/home3" XDG_CONFIG_HOME= XDG_DATA_HOME= \
    QT_QPA_PLATFORM=xcb timeout 30 "$vandro" >"$work/first-notice.log" 2>&1 &
  app_pid=$!
}
find_notice() { find_window '^Vandro$' 100; }
first_start
notice=$(find_notice)
[ -n "$notice" ] || fail "the first start showed no notice"
if command -v xclip >/dev/null; then
  timeout 5 xdotool windowactivate --sync "$notice" && timeout 5 xdotool key ctrl+c
  sleep 0.3
  text=$(timeout 5 xclip -o -selection clipboard)
  for words in "demo table" "vandro-admin alias set Vandro FOLDER" "vandro-admin import-rst Vandro Vandro.DB"; do
    [[ "$text" == *"$words"* ]] || fail "the notice does not say \"$words\": $text"
  done
fi
timeout 5 xdotool windowactivate --sync "$notice" && timeout 5 xdotool key Return
sleep 0.5
kill -TERM "$app_pid"; wait "$app_pid"; app_pid=
first_start
sleep 3
[ -n "$(xdotool search --onlyvisible --name '^Vandro with Markers$' 2>/dev/null)" ] ||
  fail "the second start showed no window"
[ -z "$(xdotool search --onlyvisible --name '^Vandro$' 2>/dev/null)" ] ||
  fail "a second start showed the notice again"
kill -TERM "$app_pid"; wait "$app_pid"; app_pid=
echo "ok: the start that makes the demo table says so, once"
exit 0
