#!/usr/bin/env bash
# The arm64 build: the test suite and the game cross-compiled for 64-bit ARM
# Linux with Debian's g++-aarch64-linux-gnu, run under qemu-aarch64. The
# suite (all but the pseudo-terminal tests) must pass as on x86-64 - the same
# draws give the same monsters - and the game must hold no fused
# multiply-add. The suite is built and run once more with clang, macOS's
# compiler, for the same target. Last, the arm64 game plays a new game
# through the road's first fight from piped input, and the save it writes is
# checked.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build-arm64
play=$build/play
cross=/usr/aarch64-linux-gnu
current=""
trap '' PIPE   # a game that ends early must fail a check, not kill this script

stage=arm64
source "$root/.ci/lib/stage.bash"
source "$root/.ci/lib/install.bash"

# ---- Tools --------------------------------------------------------------------
need_packages cmake g++-aarch64-linux-gnu qemu-user clang googletest

# ---- Build --------------------------------------------------------------------
# configure_for FOLDER [CMAKE ARGUMENT...]: configures an arm64 tree in FOLDER
# (the arm64 preset: GoogleTest built from Debian's sources; tests are found
# at ctest time, under qemu).
configure_for() {
  local folder=$1
  shift
  mkdir -p "$folder"
  cmake --preset arm64 -B "$folder" "$@" >"$folder/configure.log" 2>&1 ||
    { cat "$folder/configure.log" >&2; fail "cmake could not configure $folder"; }
  grep -q '^TALVOREN_QEMU_AARCH64:FILEPATH=.*qemu-aarch64' "$folder/CMakeCache.txt" ||
    fail "cmake found no qemu-aarch64 to run the tests of $folder"
}

# run_suite FOLDER: the suite under qemu; the pseudo-terminal tests (label
# "terminal", not built here) are left out.
run_suite() {
  local folder=$1 log=$1/suite.log
  if ! ctest --test-dir "$folder" -LE terminal \
    --output-on-failure -j2 >"$log" 2>&1; then
    cat "$log" >&2
    fail "the suite failed under qemu ($folder)"
  fi
  # A discovery that found nothing would pass as well: the worked examples must have run.
  grep -qE 'Monster\.LevelFactorsRoundTheSameEverywhere \.+ +Passed' "$log" ||
    { cat "$log" >&2; fail "the suite in $folder did not run the worked examples"; }
  grep -E '^[0-9]+% tests passed' "$log"
}

rm -rf "$build" "$build-clang"
configure_for "$build"
cmake --build "$build" -j2 --target talvoren_tests talvoren >"$build/build.log" 2>&1 ||
  { cat "$build/build.log" >&2; fail "the arm64 build failed"; }
game=$build/talvoren
aarch64-linux-gnu-readelf -h "$game" | grep -q 'Machine: *AArch64' || fail "talvoren is not an arm64 program"
note "g++ built the game and the suite for arm64"

# One rounding after every operation: a fused multiply-add anywhere in the
# game could turn one number into another than on x86-64.
fused=$(aarch64-linux-gnu-objdump -d --no-show-raw-insn "$game" | grep -E '\sf(n)?m(add|sub)\s' || true)
[ -z "$fused" ] || fail "the arm64 game holds fused multiply-adds:"$'\n'"$fused"

run_suite "$build"
note "the g++ suite passed under qemu"

# ---- clang for the same target ------------------------------------------------
configure_for "$build-clang" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
cmake --build "$build-clang" -j2 --target talvoren_tests >"$build-clang/build.log" 2>&1 ||
  { cat "$build-clang/build.log" >&2; fail "the arm64 build with clang failed"; }
run_suite "$build-clang"
note "the clang suite passed under qemu"

# ---- The arm64 game, played from piped input -----------------------------------
mkdir -p "$play"
cp data/bear.txt data/hippopotamus.txt data/raven.txt data/wasp.txt "$play/"

# run NAME INPUT: plays one session with INPUT piped in; the transcript is
# $play/NAME.txt.
run() {
  current=$1
  local status=0
  printf '%s' "$2" | (cd "$play" && timeout 300 qemu-aarch64 -L "$cross" "$game" >"$play/$current.txt" \
    2>"$play/$current.err") || status=$?
  [ "$status" -eq 0 ] || fail "the game ended with status $status (124: it hung)"
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

# Line NUMBER of save1.txt.
save_line() { sed -n "$1p" "$play/save1.txt"; }

# A new game: the backstory, the save at the start of the road, the first
# fight (an attack, the space seen in the bar's first frame, then the
# hidden win) and the walk's screen.
run first-fight $'1\nAna\n\n\n\n\n1\n \n\n6142\n\n'
expect_in_order "What is your name?" "You, Ana are very eager to help the wizard" ":: NOTICE ::" \
  "Next town is about 15 miles away" "You have encountered a level " \
  $'[1] Attack\n[2] Heal\n[99] Flee\n> ' $'[:##################################]\nHit\nYou did: ' \
  " damage to you" "You have looted " "You have earned " \
  "OBJECTIVE: Get to the town about 15 miles away." $'Ana\n+' "Level " "XP [" "Gold "
if grep -qF "Unable to open file" "$play/$current.txt"; then fail "the monster's picture was not shown"; fi
[ -f "$play/save1.txt" ] || fail "no save1.txt was written"
[ "$(tr -cd '\n' <"$play/save1.txt" | wc -c)" -eq 13 ] || fail "save1.txt has not 14 lines: $(cat "$play/save1.txt")"
level=$(sed -n 's/^.*Level \([0-9]*\)$/\1/p' "$play/$current.txt")
xp=$(sed -n 's/^XP \[\([0-9]*\)\/.*$/\1/p' "$play/$current.txt")
gold=$(sed -n 's/^Gold \([0-9]*\)$/\1/p' "$play/$current.txt")
[ -n "$gold" ] && [ "$gold" -gt 0 ] || fail "no gold was looted"
saved="$(save_line 1)/$(save_line 2)/$(save_line 3)/$(save_line 7)/$(save_line 8)/$(save_line 12)/$(save_line 13)"
[ "$saved" = "Act 1/Ana/$level/$gold/$xp/2/1" ] ||
  fail "the save at the walk holds $saved, expected Act 1/Ana/$level/$gold/$xp/2/1"
current=""
note "the arm64 game played a new game through the first fight and saved Act 1/Ana/$level/$gold/$xp/2/1"
note "all checks passed"
