# Helpers of the console-window stage (.ci/stages/25-windows-console.sh):
# the private X display, the game's console window, key presses, console
# dumps read by console_probe, and the checks made on them. Expects $root,
# $build, $run and $wine from the stage.

probe=$build/tests/windows_console/console_probe.exe
game=$build/talvoren.exe
wineserver=/usr/lib/wine/wineserver
status_control_c=3221225786   # STATUS_CONTROL_C_EXIT, Windows' status after Ctrl+C
rule="+$(printf '%.0s-' $(seq 1 118))+"
main_menu=$'[1] New Game\n[2] Options\n[3] Credits\n[4] Load Game\n\n[99] Exit\n> '
xvfb_pid=""
console_pid=""
host_pid=""
window=""
session=""
last_dump=""
shots=0

note() { echo "windows console [${SECONDS}s]: $*" | tee -a "$run/stage.log"; }

shot() {
  shots=$((shots + 1))
  local file
  file=$run/screens/$(printf '%02d' "$shots")-$1.png
  if [ -n "$window" ]; then
    timeout 60 import -window "$window" "$file" 2>/dev/null || true
  else
    timeout 60 import -window root "$file" 2>/dev/null || true
  fi
}

fail() {
  echo "FAILED: windows console${session:+ session '$session'}: $*" >&2
  if [ -n "$last_dump" ] && [ -f "$run/$last_dump.txt" ]; then
    echo "----- the console as last read ($last_dump) -----" >&2
    cat "$run/$last_dump.info" "$run/$last_dump.txt" >&2 || true
    echo "----- end of the console -----" >&2
  fi
  if [ -n "$session" ] && grep -q ":err:" "$run/$session-wineconsole.log" 2>/dev/null; then
    echo "----- wine's last errors -----" >&2
    grep ":err:" "$run/$session-wineconsole.log" | tail -n 10 >&2
  fi
  [ -z "${DISPLAY:-}" ] || shot failure
  echo "screenshots: $run/screens/" >&2
  exit 1
}

# Ends what this stage started: the game's window, every wine process of the
# stage's own prefix, and the X display.
cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then "$wineserver" -k >/dev/null 2>&1 || true; fi
  if [ -n "$console_pid" ]; then wait "$console_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# Starts Xvfb on a display number it picks itself, so parallel runs never collide.
start_display() {
  DISPLAY=""
  # No key repeat: a space held down is one press, as the held-space check means.
  Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -ardelay 60000 5>"$run/display" >"$run/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 600); do
    [ -s "$run/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
    sleep 0.1
  done
  [ -s "$run/display" ] || fail "Xvfb gave no display number"
  export DISPLAY=":$(head -n 1 "$run/display")"
}

# Wine's name for a file of this machine: the whole file system is its drive Z.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# session_start NAME: the game in a new console window, held by the probe's
# host; waits for the window with the game's title and gives it the keyboard.
session_start() {
  session=$1
  local info=$run/$session-host
  (cd "$run/play" && WINEDEBUG=+timestamp,err+all exec "$wine" wineconsole "$(winpath "$probe")" host "$(winpath "$info")" \
    "$(winpath "$game")") </dev/null >"$run/$session-wineconsole.log" 2>&1 &
  console_pid=$!
  for _ in $(seq 1 1200); do
    [ -s "$info" ] && break
    kill -0 "$console_pid" 2>/dev/null || fail "wineconsole ended at once: $(cat "$run/$session-wineconsole.log")"
    sleep 0.1
  done
  host_pid=$(sed -n 's/^host=//p' "$info" 2>/dev/null)
  [ -n "$host_pid" ] || fail "the console window did not start within 120 s"
  window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Talvoren -- Build v0\.1\.0$' | head -n 1) ||
    fail "no window titled 'Talvoren -- Build v0.1.0' appeared $(cat "$info.end" 2>/dev/null)"
  timeout 60 xdotool windowfocus --sync "$window" || fail "the console window did not take the keyboard"
  note "$session: the game's window is up"
}

# session_end WHAT STATUS...: waits for the game to end; its exit status must
# be one of STATUS, and the console's colours what they were before it.
session_end() {
  local what=$1 end=$run/$session-host.end code before after
  shift
  for _ in $(seq 1 600); do
    [ -s "$end" ] && break
    sleep 0.1
  done
  [ -s "$end" ] || fail "$what did not end within 60 s"
  code=$(sed -n 's/^exit=//p' "$end")
  before=$(sed -n 's/^before=//p' "$run/$session-host")
  after=$(sed -n 's/^after=//p' "$end")
  [[ " $* " == *" $code "* ]] || fail "$what ended with status $code, not $*"
  [ "$after" = "$before" ] || fail "$what left the console in colour $after, not $before as before the game"
  note "$session: the game ended with status $code, console colour $after as before"
}

# Closes the window and waits for wineconsole to end.
session_close() {
  (cd "$run" && "$wine" "$probe" release "$host_pid" </dev/null) || fail "the console's host would not let go"
  local status=0
  timeout 60 tail --pid="$console_pid" -f /dev/null || status=$?
  [ "$status" -eq 0 ] || fail "the console window did not close"
  wait "$console_pid" 2>/dev/null || true
  note "$session: the window closed"
  console_pid="" host_pid="" window="" session="" lost_keys=0
}

# keys KEY...: Return, space and BackSpace are pressed as keys, anything else is typed.
keys() {
  local key
  for key in "$@"; do
    case "$key" in
      Return | space | BackSpace) xdotool key "$key" ;;
      *) xdotool type --delay 30 -- "$key" ;;
    esac
  done
}

# look NAME [--until TEXT]... [--prompt] [--bar N] [--timeout MS]: waits until
# the console shows what is asked, then keeps it as the dump NAME.
look() {
  local name=$1 status=0
  shift
  last_dump=$name
  rm -f "$run/$name.txt" "$run/$name.attr" "$run/$name.info"
  (cd "$run" && "$wine" "$probe" read "$host_pid" "$name" "$@" </dev/null) || status=$?
  [ "$status" -eq 0 ] || fail "the console did not show what was awaited: $* (probe status $status)"
}

# enter_past_pause NAME CONDITION...: Enter at a "Press ENTER to continue..."
# pause, then look NAME with CONDITION. Now and then an X server under load
# never hands a key press to wine's console window; when the console still
# shows the pause untouched 10 s after Enter, Enter is pressed once more and
# the log says so. A second lost key in one session fails: that is no
# longer the display but the game.
lost_keys=0
enter_past_pause() {
  local name=$1
  shift
  keys Return
  if (cd "$run" && "$wine" "$probe" read "$host_pid" "$name" "$@" --timeout 10000 </dev/null); then
    last_dump=$name
    return 0
  fi
  if (cd "$run" && "$wine" "$probe" read "$host_pid" "$name-pause" --until "Press ENTER to continue..." \
    --prompt --timeout 1 </dev/null) && [ "$(row "$name-pause" "$(info "$name-pause" rows)")" = ">" ]; then
    lost_keys=$((lost_keys + 1))
    [ "$lost_keys" -le 1 ] || fail "Enter at a pause was lost $lost_keys times in session '$session'"
    note "$session: Enter at the pause did not reach the console within 10 s; pressed once more"
    keys Return
  fi
  look "$name" "$@"
}

info() { sed -n "s/^$2=//p" "$run/$1.info"; }
row() { sed -n "$2p" "$run/$1.txt"; }          # row N of dump NAME, counted from 1
colours() { sed -n "$2p" "$run/$1.attr"; }     # that row's colours, two hex digits a cell

# expect_screen NAME TEXT: the whole buffer, scrollback included, holds TEXT
# row for row from its first row, and nothing else; every frame line is
# alone on its row.
expect_screen() {
  local want
  want=$(printf '%s\n' "$2" | sed 's/ *$//')
  if [ "$(cat "$run/$1.txt")" != "$want" ]; then
    fail "the console holds other rows than the expected screen (- expected, + on the console):"$'\n'"$(diff <(printf '%s\n' "$want") "$run/$1.txt" | sed -n 's/^</-/p; s/^>/+/p')"
  fi
  check_frame_lines "$1"
}

# Every frame line is alone on its row: "+", "-" and "+" across 120 columns,
# or across the whole row on a console narrower than that.
check_frame_lines() {
  local width length line number=0
  width=$(info "$1" buffer | cut -d' ' -f1)
  length=$((width < 120 ? width : 120))
  line="+$(printf '%.0s-' $(seq 3 "$length"))+"
  while IFS= read -r text; do
    number=$((number + 1))
    [[ "$text" != "+-"* ]] || [ "$text" = "$line" ] ||
      fail "row $number holds a frame line that is not alone at the console's width of $width: $text"
  done <"$run/$1.txt"
}

expect_first_row() { [ "$(row "$1" 1)" = "$2" ] || fail "the first row is not: $2"; }

# The dump's text as it was written: a full row runs on into the next one.
joined() { awk -v width="$(info "$1" buffer | cut -d' ' -f1)" '{ printf "%s", $0; if (length($0) < width) print "" }' "$run/$1.txt"; }

expect_text() {
  local dump=$1 text screen
  shift
  screen=$(joined "$dump")
  for text in "$@"; do [[ "$screen" == *"$text"* ]] || fail "expected the text: $text"; done
}

expect_absent() {
  local dump=$1 text screen
  shift
  screen=$(joined "$dump")
  for text in "$@"; do
    if [[ "$screen" == *"$text"* ]]; then fail "did not expect the text: $text"; fi
  done
}

# Every cell of the dump, blanks included, is in colour COLOUR.
attributes_everywhere() {
  if grep -qv "^\($2\)*\$" "$run/$1.attr"; then fail "$3"; fi
}

# The window is resized to about 1000 by 500 pixels; wine's console window
# rounds its size to whole character cells, and its X window is the inside
# of the frame.
check_window_size() {
  local width height x_width x_height
  read -r width height <<<"$(info "$1" window)"
  ((width >= 976 && width <= 1024 && height >= 476 && height <= 524)) ||
    fail "the console window is ${width}x${height} pixels, not about 1000 by 500"
  eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
  x_width=$WIDTH x_height=$HEIGHT
  ((x_width <= width && x_width >= width - 48 && x_height <= height && x_height >= height - 64)) ||
    fail "the window on the display is ${x_width}x${x_height} pixels, not the inside of ${width}x${height}"
  note "window ${width}x${height} pixels (inside on the display ${x_width}x${x_height})"
}

# A battle's intro: the monster's line, its picture between two frame lines,
# and the pause, alone on the console.
check_intro() {
  local first kind picture art
  first=$(row "$1" 1)
  kind=$(sed -n 's/^You have encountered a level [0-9][0-9]* \([A-Za-z]*\)\[!\]$/\1/p' <<<"$first")
  [ -n "$kind" ] || fail "the intro starts with '$first'"
  picture=$root/data/$(tr 'A-Z' 'a-z' <<<"$kind").txt
  [ -f "$picture" ] || fail "no picture file for a $kind"
  # The picture is copied as it is; the frame line after it starts a row of its own.
  art=$(
    cat "$picture"
    echo .
  )
  art=${art%.}
  [[ "$art" == *$'\n' ]] || art+=$'\n'
  expect_screen "$1" "$first"$'\n'"$rule"$'\n'"$art$rule"$'\nPress ENTER to continue...\n> '
}

# check_bar_colours NAME: the top row's bar has the game's colours: brackets
# bright white, filled cells green ":", unfilled cells "#" cyan for the first
# 20, red for the next 6, bright white for the last 9. Sets bar_colours to
# the colours seen.
check_bar_colours() {
  local text attrs index colour want
  text=$(row "$1" 1)
  attrs=$(colours "$1" 1)
  bar_colours=" "
  for ((index = 0; index < 37; index++)); do
    colour=${attrs:index*2:2}
    if ((index == 0 || index == 36)); then
      want=0f
    elif [ "${text:index:1}" = ":" ]; then
      want=02
    elif ((index <= 20)); then
      want=03
    elif ((index <= 26)); then
      want=04
    else
      want=0f
    fi
    [ "$colour" = "$want" ] || fail "cell $index of the bar ('${text:index:1}') has colour $colour, not $want"
    ((index == 0 || index == 36)) || [[ "$bar_colours" == *" $colour "* ]] || bar_colours+="$colour "
  done
}

# check_grade NAME: the grade under the bar is the one its fill on screen
# gives, and the console is back in bright white.
check_grade() {
  local fill grade want
  fill=$(info "$1" bar)
  grade=$(row "$1" 2)
  [ "$fill" -ge 1 ] || fail "no bar on the top row above the grade"
  want=Hit
  [ "$fill" -lt 20 ] || want=Critical
  [ "$fill" -lt 26 ] || want=Miss
  [ "$grade" = "$want" ] || fail "the bar stopped with $fill cells filled but the grade is '$grade', not $want"
  check_bar_colours "$1"
  [[ "$(colours "$1" 2)" == "$(printf '0f%.0s' $(seq 1 ${#grade}))"* ]] ||
    fail "the grade is not in bright white: $(colours "$1" 2)"
  [ "$(info "$1" attributes)" = 0f ] ||
    fail "after the bar the console writes in colour $(info "$1" attributes), not bright white (0f)"
}

now_us() { echo "${EPOCHREALTIME/./}"; }

# check_cursor NAME VISIBLE WHEN: the console's cursor is shown (1) or hidden (0).
check_cursor() {
  local seen
  seen=$(info "$1" cursor-visible)
  [ "$seen" = "$2" ] || fail "the cursor is $( ((seen == 1)) && echo shown || echo hidden) $3"
}

# sleep_after START MS: sleeps until MS milliseconds after START (microseconds).
sleep_after() {
  local left=$(($1 + $2 * 1000 - $(now_us)))
  ((left <= 0)) || sleep "$(printf '%d.%06d' $((left / 1000000)) $((left % 1000000)))"
}

grades_seen=""
mid_bar_checked=0

# heal_until GRADE MS [PREFIX [mid-bar]]: from the battle's menu, Heal, and a
# space MS milliseconds after the bar began, until that gives GRADE (a
# busy machine may delay the press past its window; up to four tries). Each
# grade must match the bar's fill on screen. PREFIX is typed before the
# menu's "2"; with "mid-bar", the bar is also read while it fills.
heal_until() {
  local target=$1 delay=$2 prefix=${3-} mid=${4-} attempt start grade fill
  for attempt in 1 2 3 4; do
    keys "${prefix}2" Return
    look bar --bar 1
    check_cursor bar 0 "while the bar fills"
    # The probe sees the bar a few frames after it began; the bar's own
    # fill (one cell every 50 ms) says how many.
    start=$(($(now_us) - ($(info bar bar) - 1) * 50000))
    if [ -n "$mid" ] && [ "$mid_bar_checked" = 0 ]; then
      look mid-bar --bar 5
      check_bar_colours mid-bar
      check_cursor mid-bar 0 "while the bar fills"
      if [ "$bar_colours" = " 02 03 04 0f " ]; then
        mid_bar_checked=1
        shot mid-bar
      fi
    fi
    sleep_after "$start" "$delay"
    keys space
    look graded --until "You healed: "
    check_grade graded
    check_cursor graded 1 "after the bar"
    grade=$(row graded 2)
    fill=$(info graded bar)
    grades_seen+=" ${grade}@${fill}"
    if [ "$prefix" = " " ] && [ "$fill" -eq 1 ]; then
      fail "a space typed at the menu, before the bar, stopped the bar in its first frame"
    fi
    cp "$run/graded.txt" "$run/heal-$target-$attempt.txt"
    [ "$grade" != "$target" ] || shot "heal-$target"
    enter_past_pause turn --until "[99] Flee" --prompt
    if [ "$grade" = "$target" ] && { [ -z "$mid" ] || [ "$mid_bar_checked" = 1 ]; }; then return 0; fi
  done
  fail "a space ${delay} ms into the bar never gave $target in four tries (grade@fill:$grades_seen)"
}
