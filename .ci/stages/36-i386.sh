#!/usr/bin/env bash
# The 32-bit x86 build: the test suite cross-compiled for i386 with Debian's
# g++-i686-linux-gnu and run by this machine's own kernel. Everything a
# 32-bit long, size_t or time_t could change, and x87 arithmetic, must give
# the numbers of the 64-bit builds. The pseudo-terminal tests (label
# "terminal") are left out and the game is not played: the arm64 stage and
# the native suite do that.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$PWD/build-i386
cross=/usr/i686-linux-gnu

stage=i386
source "$PWD/.ci/lib/stage.bash"
source "$PWD/.ci/lib/install.bash"

# ---- Tools --------------------------------------------------------------------
need_packages cmake g++-i686-linux-gnu googletest
# The kernel must run 32-bit programs (IA32 emulation); qemu-i386 is no way
# round it, as its fork()ed children hang.
"$cross/lib/ld-linux.so.2" --version >/dev/null 2>&1 || fail "this kernel does not run 32-bit x86 programs"

# ---- Build and run ------------------------------------------------------------
rm -rf "$build"
mkdir -p "$build"
cmake --preset i386 -B "$build" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log" >&2; fail "cmake could not configure $build"; }
cmake --build "$build" -j2 --target talvoren_tests >"$build/build.log" 2>&1 ||
  { cat "$build/build.log" >&2; fail "the i386 build failed"; }
grep -q -- '-mfpmath=sse' "$build/src/CMakeFiles/talvoren_combat.dir/flags.make" ||
  fail "the i386 build does not compute with SSE2"
note "g++ built the suite for i386"

log=$build/suite.log
if ! ctest --test-dir "$build" -LE terminal \
  --output-on-failure -j2 >"$log" 2>&1; then
  cat "$log" >&2
  fail "the suite failed on i386"
fi
grep -qE 'Monster\.LevelFactorsRoundTheSameEverywhere \.+ +Passed' "$log" ||
  { cat "$log" >&2; fail "the suite did not run the worked examples"; }
grep -E '^[0-9]+% tests passed' "$log"
note "all checks passed"
