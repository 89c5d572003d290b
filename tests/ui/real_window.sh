#!/usr/bin/env bash
# The real program on a real X server with a window manager, driven with
# real keys and mouse clicks:
#  - the captions the window manager shows are exactly the windows' own,
#    and the window class is Vandro;
#  - the window, frame included, stands in the middle of the screen;
#  - typing into the relation chooser completes from its list;
#  - what was typed into a box survives minimising and restoring the window
#    and switching to another window and back.
# Usage: real_window.sh VANDRO VANDRO_ADMIN OUTPUT_DIR
set -u

vandro=$1
admin=$2
out=$3

for tool in Xvfb openbox xdotool xprop xwininfo xclip xmessage; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/install-deps.sh installs it)"; exit 1; }
done

work=$(mktemp -d /tmp/vandro-window-XXXXXX) || exit 1
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if command -v import >/dev/null; then
    import -window root "$out/real-window-failure.png" 2>/dev/null && echo "screenshot: $out/real-window-failure.png" >&2
  fi
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  exit 1
}

expect_equal() { # what, actual, expected
  [ "$2" == "$3" ] || fail "$1: got \"$2\", expected \"$3\""
  echo "ok: $1: \"$2\""
}

export VANDRO_ENGINE_CONFIG=$work/engine.conf
mkdir "$work/data"
cat >"$work/relations.csv" <<'CSV'
Id,From,Relation,Extended,Embedded,Volitional,Order,Span1,Span2,L1,H1,L2,H2,Segments_distance,Marker1,Position1,Marker2,Position2
1,doc,circumstance,no,,,SN,When it rained,we stayed in,1,1,2,2,0,,,,
2,doc,contrast,no,,,NN,Some stayed,others left,3,3,4,4,0,but,Beginning,,
CSV
"$admin" alias set Vandro "$work/data" >"$work/admin.log" 2>&1 || fail "vandro-admin alias set"
"$admin" create Vandro Vandro.DB >>"$work/admin.log" 2>&1 || fail "vandro-admin create"
"$admin" import Vandro Vandro.DB "$work/relations.csv" >>"$work/admin.log" 2>&1 || fail "vandro-admin import"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb gave no display number in 10 s"
export DISPLAY=:$(head -n1 "$work/display")
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5

QT_QPA_PLATFORM=xcb "$vandro" >"$work/vandro.log" 2>&1 &
app=$!
pids+=($app)
window=$(timeout 15 xdotool search --sync --all --onlyvisible --pid "$app" --name "Vandro with Markers" | head -n1)
[ -n "$window" ] || fail "no visible window of the program within 15 s"
sleep 0.5

# What the window manager sees.
caption=$(xprop -id "$window" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p')
expect_equal "caption" "$caption" "Vandro with Markers"
class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = //p')
expect_equal "window class" "$class" '"Vandro", "Vandro"'

# The frame in the middle of the screen.
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
[ -n "${bottom:-}" ] || fail "the window manager gave no frame extents"
x=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left X: *//p')
y=$(xwininfo -id "$window" | sed -n 's/.*Absolute upper-left Y: *//p')
frame_width=$((656 + left + right))
frame_height=$((571 + top + bottom))
expect_equal "frame left" "$((x - left))" "$(((1280 - frame_width) / 2))"
expect_equal "frame top" "$((y - top))" "$(((1024 - frame_height) / 2))"

# Typing into the relation chooser completes from its list: "b" gives
# "background" with the completed tail selected.
click() { # x y in the window's client area
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.2
}
copy_selection() { # the focused box's selected text, through the clipboard
  echo -n "(nothing copied)" | xclip -selection clipboard >/dev/null 2>&1
  sleep 0.1
  xdotool key --clearmodifiers ctrl+c
  sleep 0.2
  xclip -o -selection clipboard 2>/dev/null
}
copy_all() { # the focused box's whole text
  xdotool key --clearmodifiers ctrl+a
  copy_selection
}
click $((400 + 64 + 30)) $((16 + 82 + 10)) # ComboBox1, inside the group box
xdotool type --delay 80 "b"
sleep 0.3
expect_equal "selection after typing b" "$(copy_selection)" "ackground"
expect_equal "text after typing b" "$(copy_all)" "background"
xdotool key BackSpace
xdotool type --delay 80 "con"
sleep 0.3
expect_equal "text after typing con" "$(copy_all)" "concession"

# What was typed stays through minimising, restoring and another window.
click $((24 + 100)) $((488 + 10)) # Edit1
xdotool type --delay 50 "background"
xdotool key Home Right Right Right Right
xdotool type --delay 50 "X"
xdotool key shift+Right # "g" selected
sleep 0.2
xdotool windowminimize --sync "$window"
sleep 0.3
xdotool windowactivate --sync "$window"
sleep 0.3
xdotool type --delay 50 "Q"
sleep 0.2
xmessage -name other "another window" &
pids+=($!)
other=$(timeout 10 xdotool search --sync --all --onlyvisible --name "^other$" | head -n1)
[ -n "$other" ] || fail "the other window did not appear"
xdotool windowactivate --sync "$other"
sleep 0.3
xdotool windowactivate --sync "$window"
sleep 0.3
xdotool type --delay 50 "R"
sleep 0.2
expect_equal "Edit1 after minimising and switching windows" "$(copy_all)" "backXQRround"

if command -v import >/dev/null; then
  import -window root "$out/real-window.png" && echo "screenshot: $out/real-window.png"
fi
exit 0
