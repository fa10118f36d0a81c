#!/usr/bin/env bash
# Builds a release game and the benchmark's own small programs, builds the
# test suite in a normal build, then measures and prints one table.
#
#   bench/run.sh [--runs N] [--no-suite] [--seed N]
#
# Build folders go under $TALVOREN_BENCH_DIR (default: build-bench/ in the
# checkout): release/ for the game and its references, normal/ for the suite.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${TALVOREN_BENCH_DIR:-$root/build-bench}"
suite=1
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --no-suite) suite=0 ;;
    --runs | --seed) args+=("$1" "$2"); shift ;;
    -h | --help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

# The frame-write count needs strace; install it from Debian when we may.
if ! command -v strace >/dev/null && [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
  (apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq strace) >&2 || true
fi

mkdir -p "$out"
log="$out/build.log"
: >"$log"
quietly() {
  "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "run.sh: failed: $*" >&2; exit 1; }
}

echo "building release into $out/release ..." >&2
quietly cmake -S "$root/bench" -B "$out/release" -DCMAKE_BUILD_TYPE=Release
quietly cmake --build "$out/release" -j2

suite_args=()
if [ "$suite" = 1 ]; then
  echo "building the test suite into $out/normal ..." >&2
  quietly cmake -S "$root" -B "$out/normal"
  quietly cmake --build "$out/normal" -j2
  suite_args=(--suite "$out/normal")
fi

exec python3 "$root/bench/bench.py" --release "$out/release" "${suite_args[@]}" "${args[@]}"
