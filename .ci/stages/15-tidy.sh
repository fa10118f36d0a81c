#!/usr/bin/env bash
# clang-tidy 14 (Debian's) over the game's sources in src/, with the checks
# .clang-tidy names and every finding an error: the files that build for this
# machine, from the development preset's compile database, the Windows back
# end (windows_*.cpp), from the windows preset's, read as mingw-w64 code, and
# the browser back end (browser_*.cpp), from the web preset's, read as
# Emscripten code.
# The tests, fuzz harnesses and benchmarks are not checked (docs/building.md
# says why). Each file's findings are printed whole; the stage fails if any
# file has one.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
host=$root/build-tidy
windows=$root/build-tidy-windows
web=$root/build-tidy-web
SECONDS=0

stage=tidy
source "$root/.ci/lib/stage.bash"
source "$root/.ci/lib/install.bash"
need_packages cmake g++ clang-tidy-14 g++-mingw-w64-x86-64-posix emscripten
tidy=clang-tidy-14
"$tidy" --version | grep -q 'LLVM version 14\.' || fail "$tidy is not clang-tidy 14: $("$tidy" --version | grep version)"

# sources DATABASE PATTERN: the files of the compile database whose path
# matches the extended regular expression PATTERN, one a line.
sources() {
  sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$1" | grep -E "$2" | sort -u
}

# check BUILD LABEL FILE... [-- EXTRA ARGUMENT...]: runs clang-tidy on each
# FILE (two at a time) with BUILD's compile database; prints the findings of
# each failing file and returns 1 when there were any.
check() {
  local build=$1 label=$2
  shift 2
  local files=() extra=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do files+=("$1"); shift; done
  [ $# -gt 0 ] && shift && extra=("$@")
  [ ${#files[@]} -gt 0 ] || fail "the $label compile database lists no file of src/"
  local logs=$build/tidy-logs
  rm -rf "$logs" && mkdir -p "$logs"
  printf '%s\0' "${files[@]}" | xargs -0 -P 2 -I {} sh -c '
    logs=$1 file=$2 tidy=$3 build=$4
    shift 4
    log="$logs/$(basename "$file").log"
    "$tidy" -p "$build" --quiet "$@" "$file" >"$log" 2>&1 || mv "$log" "$log.failed"' \
    tidy "$logs" {} "$tidy" "$build" "${extra[@]}" || true
  local failed=("$logs"/*.failed)
  if [ -e "${failed[0]}" ]; then
    cat "${failed[@]}" >&2
    echo "$stage: findings in ${#failed[@]} of the ${#files[@]} $label files" >&2
    return 1
  fi
  note "${#files[@]} $label files, no finding"
}

# ---- This machine's build -------------------------------------------------------
mkdir -p "$host" "$windows" "$web"
cmake --preset development -B "$host" -DTALVOREN_BUILD_TESTS=OFF >"$host/configure.log" 2>&1 ||
  { cat "$host/configure.log" >&2; fail "the development preset could not be configured"; }
status=0
mapfile -t files < <(sources "$host/compile_commands.json" "^$root/src/")
check "$host" host "${files[@]}" || status=1

# ---- The Windows back end ---------------------------------------------------------
# clang reads the mingw-w64 g++'s commands as Windows code once given the
# target; the C headers it finds itself, the C++ library's folders are the
# g++'s own (clang looks for them under another version name).
cmake --preset windows -B "$windows" -DTALVOREN_BUILD_TESTS=OFF >"$windows/configure.log" 2>&1 ||
  { cat "$windows/configure.log" >&2; fail "the windows preset could not be configured"; }
mingw_args=(--extra-arg-before=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++)
for folder in $(echo | x86_64-w64-mingw32-g++-posix -xc++ -E -v - 2>&1 |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/s/^ \(.*\/c++.*\)$/\1/p'); do
  mingw_args+=(--extra-arg=-isystem"$folder")
done
[ ${#mingw_args[@]} -gt 2 ] || fail "x86_64-w64-mingw32-g++-posix names no C++ library folder"
mapfile -t files < <(sources "$windows/compile_commands.json" "^$root/src/.*/windows_[a-z_]*\.cpp$")
check "$windows" Windows "${files[@]}" -- "${mingw_args[@]}" || status=1

# ---- The browser back end ----------------------------------------------------------
# The same for em++'s commands: Emscripten's target, and the C and C++ headers
# of the sysroot Debian's package ships.
export NODE_PATH=/usr/share/nodejs
cmake --preset web -B "$web" -DTALVOREN_BUILD_TESTS=OFF >"$web/configure.log" 2>&1 ||
  { cat "$web/configure.log" >&2; fail "the web preset could not be configured"; }
sysroot=/usr/share/emscripten/cache/sysroot/include
[ -f "$sysroot/emscripten.h" ] || fail "Emscripten's sysroot has no emscripten.h in $sysroot"
web_args=(--extra-arg-before=--target=wasm32-unknown-emscripten --extra-arg=-nostdinc++)
for folder in "$sysroot/c++/v1" "$sysroot/compat" "$sysroot"; do web_args+=(--extra-arg=-isystem"$folder"); done
mapfile -t files < <(sources "$web/compile_commands.json" "^$root/src/.*/browser_[a-z_]*\.cpp$")
check "$web" browser "${files[@]}" -- "${web_args[@]}" || status=1

[ "$status" = 0 ] || fail "clang-tidy has findings (above)"
note "clang-tidy found nothing in ${SECONDS} s"
