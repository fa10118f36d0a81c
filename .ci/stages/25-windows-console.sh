#!/usr/bin/env bash
# talvoren.exe in a real console window with real key presses: wine's own
# console window (wineconsole) on a private virtual X display, keys pressed
# with xdotool, and the console read back cell by cell, colours, cursor,
# title and window size included, by our console_probe
# (tests/windows_console/). Every check waits for the text it needs rather
# than sleeping; the only deliberate delays are those before a space press,
# and a grade is judged by the bar's fill as the console shows it.
#
# Everything lands in build-windows-console/run/: the stage's log, the
# console dumps (NAME.txt, .attr, .info) and screenshots for people
# (screens/*.png). A failed check prints the console's text.
set -euo pipefail
export LC_ALL=C   # one decimal point for $EPOCHREALTIME, bytes for the checks
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build-windows-console
run=$build/run
wine=/usr/lib/wine/wine64
SECONDS=0

# ---- Tools --------------------------------------------------------------------
source "$root/.ci/lib/install.bash"
need_packages cmake g++-mingw-w64-x86-64-posix wine64 googletest xvfb xdotool imagemagick

rm -rf "$run"
mkdir -p "$run/screens" "$run/play"
source "$root/.ci/lib/windows-console.bash"

# ---- Build: the game and the probe ---------------------------------------------
cmake --preset windows -B "$build" >"$run/configure.log" 2>&1 ||
  { cat "$run/configure.log" >&2; fail "the Windows build could not be configured"; }
cmake --build "$build" -j2 --target talvoren console_probe >"$run/build.log" 2>&1 ||
  { cat "$run/build.log" >&2; fail "talvoren.exe or console_probe.exe did not build"; }
note "talvoren.exe and console_probe.exe built"

# ---- A private X display and a fresh wine prefix -------------------------------
start_display
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer on first start
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
# The first start of a prefix builds it and is the slow part of the stage.
# Wine's server stays up between the two windows: starting it again costs seconds.
"$wineserver" -p || fail "wine's server did not start"
timeout 600 "$wine" wineboot --init >"$run/wineboot.log" 2>&1 || fail "wine could not set up its prefix"
note "display $DISPLAY and a fresh wine prefix ready"

# ---- Start: title, window, main menu -------------------------------------------
session_start play
look menu --until "[99] Exit" --prompt
[ "$(info menu title)" = "Talvoren -- Build v0.1.0" ] || fail "the console's title is '$(info menu title)'"
check_window_size menu
expect_screen menu "$main_menu"
attributes_everywhere menu 07 "the main menu is not in the console's own colours"
shot main-menu

# ---- A new game through the backstory to the road and the first fight -----------
keys 1 Return
look name --until "What is your name?" --prompt
expect_screen name "$(printf 'Cyrus\n%s\nHello Traveller!\nWhat is your name?\n** SPACES ARE NOT ALLOWED **\n%s\n> ' "$rule" "$rule")"
keys Ana Return
look backstory --until "Humanity as we know, is in danger." --prompt
expect_first_row backstory "Humanity as we know, is in danger. All the peaceful creatures have been driven mad by this power crystal."
expect_absent backstory "Cyrus" "What is your name?"
expect_text backstory "You, Ana are very eager to help the wizard and save humanity as a whole" \
  "Press ENTER to continue..."
[ "$(info backstory rows)" -eq 9 ] || fail "the backstory fills $(info backstory rows) rows, not its 9"
shot backstory
enter_past_pause cyrus --until "Dubistrum has been waiting for you!" --prompt
expect_screen cyrus "$(printf 'Cyrus\n%s\nDubistrum has been waiting for you!\nHe is in the next town over, about 5 miles away.\n%s\nPress ENTER to continue...\n> ' "$rule" "$rule")"
enter_past_pause notice --until ":: NOTICE ::" --prompt
expect_screen notice "$(printf '%s\n:: NOTICE ::\nNext town is about 15 miles away\n%s\nYou think to your self '"'"'Sure seems like 5 miles...'"'"'\nPress ENTER to continue...\n> ' "$rule" "$rule")"
keys Return
look intro --until "You have encountered a level " --prompt --timeout 90000
check_intro intro
shot battle-intro
enter_past_pause turn --until "[99] Flee" --prompt
expect_text turn "Ana [" "[1] Attack" "[2] Heal"
check_frame_lines turn

# ---- The timing bar: grades by the fill on screen ------------------------------
# A space typed in the menu line is pressed and released before the bar:
# it must be forgotten, so the first heal's bar runs past its first frame.
heal_until Hit 200 " "
heal_until Critical 1000
heal_until Miss 2500 "" mid-bar
[ "$mid_bar_checked" = 1 ] || fail "no bar was caught mid-fill with all four colours on screen"
note "grades: $grades_seen"

# A space held down as the bar starts stops it in its first frame.
xdotool keydown space
keys 2 Return
look held --until "You healed: " --prompt
xdotool keyup space
[ "$(info held bar)" = 1 ] && [ "$(row held 2)" = Hit ] ||
  fail "a held space gave '$(row held 2)' with $(info held bar) cells filled, not Hit in the first frame"
enter_past_pause turn --until "[99] Flee" --prompt

# Keys typed during the bar are dropped: an Enter and "99" (Flee) typed
# while it fills must answer neither the pause after it nor the next menu.
keys 2 Return
look bar --bar 1
keys Return 99 Return
sleep 0.3
keys space
look mashed --until "You healed: " --prompt
check_grade mashed
enter_past_pause turn --until "[99] Flee" --prompt --timeout 20000
expect_text turn "[1] Attack"

# ---- Ctrl+C during the bar ends the game and gives the console its colours back --
keys 2 Return
look bar --bar 3
shot before-ctrl-c
xdotool key ctrl+c
# Windows ends a program on Ctrl+C with STATUS_CONTROL_C_EXIT, wine with 0.
session_end "the game after Ctrl+C during the bar" "$status_control_c" 0
look after-ctrl-c
[ "$(info after-ctrl-c attributes)" = 07 ] ||
  fail "after Ctrl+C the console writes in colour $(info after-ctrl-c attributes), not 07 as before the game"
check_cursor after-ctrl-c 1 "after Ctrl+C ended the game during the bar"
shot after-ctrl-c
session_close

# ---- "[99] Exit" ends the game with status 0, colours as before ----------------
session_start exit
look exit-menu --until "[99] Exit" --prompt
keys 99 Return
session_end "the game after [99] Exit" 0
session_close

note "all checks passed; screenshots in ${run#"$root"/}/screens/"
