#!/usr/bin/env bash
# The Windows build: talvoren.exe cross-compiled with mingw-w64 and linked
# statically, then played under wine with piped input. Every session's
# transcript is checked for the texts the player must see; a failed check
# prints the whole transcript. Last, the zip archive a player downloads is
# made, unpacked and played, and made once more from a copy of the sources
# in another folder to prove the two are the same bytes.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build-windows
play=$build/play   # holds no pictures: the game must find them beside talvoren.exe
wine=/usr/lib/wine/wine64
current=""
trap '' PIPE       # a game that ends early must fail a check, not kill this script

stage=windows
source "$root/.ci/lib/stage.bash"
source "$root/.ci/lib/install.bash"

# ---- Tools --------------------------------------------------------------------
need_packages cmake bsdutils unzip g++-mingw-w64-x86-64-posix wine64 googletest

# ---- Wine ---------------------------------------------------------------------
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer on first start
rm -rf "$build"
mkdir -p "$build"
# The first start builds the prefix and is slow; later starts take about a second.
if ! timeout 600 "$wine" wineboot --init >"$build/wineboot.log" 2>&1; then
  cat "$build/wineboot.log" >&2
  fail "wine could not set up its prefix"
fi

# ---- Build --------------------------------------------------------------------
# The game and its test suite, GoogleTest built from Debian's sources.
cmake --preset windows -B "$build"
cmake --build "$build" -j2
exe=$build/talvoren.exe
[ -f "$exe" ] || fail "no talvoren.exe was built"

# Statically linked: it may import only DLLs that every Windows has.
for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
  case "$dll" in
    kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*) ;;
    *) fail "talvoren.exe needs $dll, so it is not linked statically" ;;
  esac
done

# ---- The test suite, on the simulated console, as a Windows program ------------
if ! (cd "$build" && timeout 900 "$wine" tests/talvoren_tests.exe --gtest_brief=1 >suite.log 2>&1); then
  cat "$build/suite.log" >&2
  fail "the test suite failed under wine"
fi
tail -n 2 "$build/suite.log"

mkdir -p "$play"

# run NAME INPUT [FOLDER [PROGRAM]]: plays one session of PROGRAM (talvoren.exe
# of the build) in FOLDER ($play) with INPUT piped in; the transcript is
# $play/NAME.out as written and $play/NAME.txt without carriage returns.
run() {
  current=$1
  local folder=${3:-$play} program=${4:-$exe} status=0
  printf '%s' "$2" | (cd "$folder" && timeout 300 "$wine" "$program" >"$play/$current.out" 2>"$play/$current.err") ||
    status=$?
  tr -d '\r' <"$play/$current.out" >"$play/$current.txt"
  [ "$status" -eq 0 ] || fail "the game ended with status $status (124: it hung)"
}

expect() {
  local text
  for text in "$@"; do
    grep -qF -- "$text" "$play/$current.txt" || fail "expected the text: $text"
  done
}

expect_absent() {
  local text
  for text in "$@"; do
    if grep -qF -- "$text" "$play/$current.txt"; then fail "did not expect the text: $text"; fi
  done
}

# The texts must appear in this order.
expect_in_order() {
  local rest text
  rest=$(cat "$play/$current.txt")
  for text in "$@"; do
    [[ "$rest" == *"$text"* ]] || fail "expected, after the texts before it, the text: $text"
    rest=${rest#*"$text"}
  done
}

# The save's temporary files have hidden names beside it: none may stay.
no_temporary_left() {
  local left
  left=$(cd "$play" && ls -A | grep -F '.save1.txt.' || true)
  [ -z "$left" ] || fail "a temporary save file was left behind: $left"
}

# Line NUMBER of save1.txt without its line end.
save_line() { sed -n "$1{s/\r\$//;p}" "$play/save1.txt"; }

# A save file: 14 lines, CR LF after each but the last, none after the last.
check_save_format() {
  [ -f "$play/save1.txt" ] || fail "no save1.txt was written"
  no_temporary_left
  local lines bare
  lines=$(tr -cd '\n' <"$play/save1.txt" | wc -c)
  [ "$lines" -eq 13 ] || fail "save1.txt has $lines line ends, not 13: $(od -c "$play/save1.txt" | head -20)"
  bare=$(sed -n '$!{/\r$/!p}' "$play/save1.txt" | wc -l)
  [ "$bare" -eq 0 ] || fail "save1.txt has $bare lines that do not end in CR LF"
  [ "$(tail -c 1 "$play/save1.txt" | od -An -c | tr -d ' ')" != '\n' ] ||
    fail "save1.txt ends with a line end"
}

menu=$'[1] New Game\n[2] Options\n[3] Credits\n[4] Load Game\n\n[99] Exit\n> '

# ---- Main menu, credits, options ----------------------------------------------
run menus $'4\n\n3\n\n2\n1\n2\n1\n99\n99\n'
expect_in_order "$menu" "Unable to open file" "Press ENTER to continue..." "$menu" \
  "Programmer: " "Story Idear: " "Game Tester: " "Press ENTER to continue..." "$menu" \
  $'[1] Disable Backstory\n[2] Disable Tutorial\n[99] Exit\n> ' \
  $'[1] Enable Backstory\n[2] Disable Tutorial\n[99] Exit\n> ' \
  $'[1] Enable Backstory\n[2] Enable Tutorial\n[99] Exit\n> ' \
  $'[1] Disable Backstory\n[2] Enable Tutorial\n[99] Exit\n> ' "$menu"
[ ! -e "$play/save1.txt" ] || fail "the menus wrote a save file"
# Redirected output has the text files' line ends, as a text-mode stream writes them.
line_ends=$(tr -cd '\n' <"$play/menus.out" | wc -c)
[ "$(grep -c $'\r$' "$play/menus.out")" -eq "$line_ends" ] || fail "output has line ends without CR"

# ---- New game: backstory, then the save at the start of the road ---------------
# Input ends at the road's first pause, so the game ends there.
run new-game $'1\nAna\n\n\n'
expect_in_order "What is your name?" "Humanity as we know, is in danger." \
  "You, Ana are very eager to help the wizard and save humanity as a whole" \
  "Dubistrum has been waiting for you!" ":: NOTICE ::" "Next town is about 15 miles away" \
  "You think to your self 'Sure seems like 5 miles...'" "Press ENTER to continue..."
check_save_format
printf 'Act 1\r\nAna\r\n1\r\n5\r\n5\r\n5\r\n0\r\n0\r\n25\r\n50\r\n0\r\n1\r\n1\r\n0' >"$build/new-game-save.txt"
cmp -s "$play/save1.txt" "$build/new-game-save.txt" ||
  fail "save1.txt of a new hero is not the expected 14 values: $(od -c "$play/save1.txt")"

# ---- The first fight: one attack through the timing bar, then the hidden win ---
# The space is piped right behind the attack, so the bar sees it in its first frame.
run first-fight $'1\nAna\n\n\n\n\n1\n \n\n6142\n\n'
expect_absent "Unable to open file"
expect_in_order ":: NOTICE ::" "You have encountered a level " $'[1] Attack\n[2] Heal\n[99] Flee\n> ' \
  $'[:##################################]\nHit\nYou did: ' " damage to you" \
  $'[1] Attack\n[2] Heal\n[99] Flee\n> ' "You have looted " "You have earned " \
  "OBJECTIVE: Get to the town about 15 miles away." $'Ana\n+' "Level " "XP [" "Gold "
check_save_format
level=$(sed -n 's/^.*Level \([0-9]*\)$/\1/p' "$play/first-fight.txt")
xp=$(sed -n 's/^XP \[\([0-9]*\)\/.*$/\1/p' "$play/first-fight.txt")
gold=$(sed -n 's/^Gold \([0-9]*\)$/\1/p' "$play/first-fight.txt")
[ -n "$gold" ] && [ "$gold" -gt 0 ] || fail "no gold was looted"
saved="$(save_line 1)/$(save_line 2)/$(save_line 3)/$(save_line 7)/$(save_line 8)/$(save_line 12)/$(save_line 13)"
[ "$saved" = "Act 1/Ana/$level/$gold/$xp/2/1" ] ||
  fail "the save at the walk holds $saved, expected Act 1/Ana/$level/$gold/$xp/2/1"
cp "$play/save1.txt" "$build/walk-save.txt"

# ---- Load in a fresh run: the act resumes on the walk --------------------------
run load $'4\n'
expect_in_order "$menu" "OBJECTIVE: Get to the town about 15 miles away." $'Ana\n+' \
  "Level $level" "XP [$xp/" "Gold $gold" "Press ENTER to continue..."
expect_absent ":: NOTICE ::" "What is your name?"
cmp -s "$play/save1.txt" "$build/walk-save.txt" || fail "resuming the walk changed the save"

# ---- A read-only save is left as it is, and play goes on -----------------------
# A file of the player's named like a temporary save is no concern of the game's.
printf 'my notes' >"$play/save1.txt.tmp"
chmod a-w "$play/save1.txt"
run read-only $'1\nBob\n\n\n\n'
chmod u+w "$play/save1.txt"
expect "Unable to save the game to save1.txt: " ":: NOTICE ::"
grep -qE 'Unable to save the game to save1\.txt: [[:alpha:]].*[^.]$' "$play/$current.txt" ||
  fail "the failed save gave no reason in the system's words"
cmp -s "$play/save1.txt" "$build/walk-save.txt" || fail "a read-only save1.txt was replaced"
no_temporary_left
[ "$(cat "$play/save1.txt.tmp")" = "my notes" ] || fail "the player's save1.txt.tmp was changed"
rm -f "$play/save1.txt.tmp"

# ---- The timing bar animates until a space arrives later -----------------------
# Input comes through a FIFO: the space is sent only once the bar is on screen,
# so the bar must poll the pipe without waiting and keep drawing frames.
current=timing-bar
bar=$play/bar
rm -rf "$bar" && mkdir -p "$bar"
mkfifo "$bar/input"
(cd "$bar" && exec timeout 300 "$wine" "$exe" <input >"$play/$current.out" 2>"$play/$current.err") &
game=$!
exec 3>"$bar/input"
printf '1\nAna\n\n\n\n\n1\n' >&3 || true
seen=0
for _ in $(seq 1 1200); do
  if grep -qF '[:' "$play/$current.out"; then seen=1; break; fi
  kill -0 "$game" 2>/dev/null || break
  sleep 0.1
done
sleep 1
printf ' \n\n6142\n\n' >&3 || true
exec 3>&-
status=0
wait "$game" || status=$?
tr -d '\r' <"$play/$current.out" >"$play/$current.txt"
[ "$seen" -eq 1 ] || fail "the timing bar never appeared"
[ "$status" -eq 0 ] || fail "the game ended with status $status (124: it hung)"
frames=$(grep -c '\[[#:]*\]$' "$play/$current.txt" || true)
[ "$frames" -ge 3 ] || fail "the bar drew $frames frames in a second of waiting"
grep -qx 'Hit\|Critical\|Miss' "$play/$current.txt" || fail "the bar gave no grade"
expect "You have looted " "OBJECTIVE: Get to the town about 15 miles away."

# ---- In a console --------------------------------------------------------------
# On a pseudo-terminal wine gives the game a real console, so the console
# calls run: line input, the title, clearing, the bar's colours (wine shows
# console attributes as escape sequences) and Ctrl+C. Wine has no keyboard
# here for the space bar, so the bar is left with Ctrl+C.
console_out=""
console_pid=""

console_start() {
  current=$1
  console_out=$play/$current.out
  rm -f "$play/console-input" && mkfifo "$play/console-input"
  # The game must stay in the pseudo-terminal's foreground process group, or
  # its reads fail as if input had ended. A plain timeout moves it into a group
  # of its own whenever the shell that script starts (from $SHELL, which may be
  # unset or dash) does not exec it; --foreground keeps it where it is.
  (cd "$play" && TERM=xterm exec script -qefc "exec timeout --foreground 300 '$wine' '$exe'" /dev/null \
    <console-input >"$console_out" 2>"$play/$current.err") &
  console_pid=$!
  exec 3>"$play/console-input"
}

# The transcript with the escape sequences shown as text, for a failure report.
console_transcript() { LC_ALL=C sed 's/\x1b/<ESC>/g; s/\r//g' "$console_out" >"$play/$current.txt"; }

# await TEXT [COUNT]: waits until the console has shown TEXT COUNT times.
await() {
  local seen
  for _ in $(seq 1 1200); do
    seen=$(LC_ALL=C grep -aoF -- "$1" "$console_out" | wc -l || true)
    [ "$seen" -ge "${2:-1}" ] && return 0
    kill -0 "$console_pid" 2>/dev/null || break
    sleep 0.1
  done
  console_transcript
  fail "the console did not show '$1' ${2:-1} times"
}

send() { printf '%b' "$1" >&3 || true; }

# console_end STATUS: waits for the game to end by itself and checks its status.
console_end() {
  local status=0
  exec 3>&-
  wait "$console_pid" || status=$?
  console_transcript
  [ "$status" -eq "$1" ] || fail "the game in the console ended with status $status, expected $1"
}

console_start console
await "Talvoren -- Build v0.1.0"
await "[4] Load Game" 1 && send '3\r'
await "Game Tester:" && send '\r'
await "[4] Load Game" 2 && send '2\r'
await "Disable Backstory" && send '1\r'
await "Enable Backstory" && send '99\r'
await "[4] Load Game" 3 && send '1\r'
await "What is your name?" && send 'Ana Smith\r'
await "Dubistrum has been waiting for you!" && send '\r'
await ":: NOTICE ::" && send '\r'
await "Press ENTER to continue..." 4 && send '\r'   # the monster's picture
await "[99] Flee" && send '2\r'
await $'\e[32m:' 5   # five frames, each starting its green run
for cells in $'\e[36m#' $'\e[31m#' $'\e[97m#'; do   # cyan, red and bright white cells
  LC_ALL=C grep -qaF -- "$cells" "$console_out" || { console_transcript; fail "the bar has no cells in ${cells#?}"; }
done
send '\003'
for _ in $(seq 1 600); do kill -0 "$console_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$console_pid" 2>/dev/null && fail "Ctrl+C did not end the game in the console"
exec 3>&-
wait "$console_pid" || true
console_transcript
if grep -q "Humanity as we know" "$play/$current.txt"; then fail "the backstory was told after it was disabled"; fi
[ "$(save_line 2)" = "Ana" ] || fail "the console's name line gave '$(save_line 2)', expected Ana"
check_save_format

# "[99] Exit" ends the game in the console with status 0.
console_start console-exit
await "[4] Load Game" && send '99\r'
console_end 0

current=""

# ---- The archive ---------------------------------------------------------------
version=$(sed -n 's/^project(talvoren VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version found in CMakeLists.txt"
name=talvoren-$version-win64
archive=$build/$name.zip
rm -f "$archive"
(cd "$build" && cpack -G ZIP >cpack.log 2>&1) || { cat "$build/cpack.log" >&2; fail "cpack could not make the archive"; }
[ -f "$archive" ] || fail "cpack made no $name.zip"
listing=$(unzip -Z1 "$archive")
wanted=$(printf "$name/%s\n" LICENSE.txt README.txt bear.txt hippopotamus.txt raven.txt talvoren.exe wasp.txt)
[ "$listing" = "$wanted" ] || fail "$name.zip holds, in this order: $listing"

unpacked=$build/unpacked
rm -rf "$unpacked" && mkdir "$unpacked"
unzip -q "$archive" -d "$unpacked"
game=$unpacked/$name
for text in README.txt LICENSE.txt; do
  line_ends=$(tr -cd '\n' <"$game/$text" | wc -c)
  crlf=$(grep -c $'\r$' "$game/$text" || true)
  [ "$line_ends" -gt 0 ] && [ "$crlf" -eq "$line_ends" ] || fail "$text has $crlf CR LF line ends of $line_ends"
done
tr -d '\r' <"$game/LICENSE.txt" | cmp -s - LICENSE || fail "LICENSE.txt is not the project's LICENSE"
grep -qF "Talvoren $version for Windows" "$game/README.txt" || fail "README.txt does not name version $version"
for text in talvoren.exe "space bar" save1.txt LICENSE.txt; do
  grep -qiF -- "$text" "$game/README.txt" || fail "README.txt does not mention $text"
done

# Played as after a double-click: from the unpacked folder, which also gets the save.
run archive $'1\nAna\n\n\n\n\n1\n \n\n6142\n\n' "$game" "$game/talvoren.exe"
expect_absent "Unable to open file"
expect_in_order "You have encountered a level " $'[1] Attack\n[2] Heal\n[99] Flee\n> ' "You have looted " \
  "OBJECTIVE: Get to the town about 15 miles away."
[ "$(sed -n '2{s/\r$//;p}' "$game/save1.txt" 2>/dev/null)" = Ana ] || fail "no save of Ana in the unpacked folder"
current=""

# The same commit from a copy of the sources in another folder, built a while
# later without the tests, gives the same archive. The copy has no git
# history, so it is given the commit time that cpack reads from git here.
again=$build/again
mkdir -p "$again/source"
git ls-files -z | tar --null -T - -cf - | tar -xf - -C "$again/source"
(
  export SOURCE_DATE_EPOCH
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
  (cd "$again/source" && cmake --preset windows -B "$again/build" -DTALVOREN_BUILD_TESTS=OFF) >"$again/build.log" 2>&1 &&
    cmake --build "$again/build" -j2 >>"$again/build.log" 2>&1 &&
    cd "$again/build" && cpack -G ZIP >>"$again/build.log" 2>&1
) || { cat "$again/build.log" >&2; fail "the second build of the archive failed"; }
first=$(sha256sum <"$archive" | cut -d' ' -f1)
second=$(sha256sum <"$again/build/$name.zip" | cut -d' ' -f1)
[ "$first" = "$second" ] || fail "two builds of one commit gave different archives: $first and $second"
echo "windows: both builds give $name.zip with SHA-256 $first"

echo "windows: talvoren.exe built statically and played under wine: all checks passed"
