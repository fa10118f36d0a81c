#!/usr/bin/env bash
# Fuzzing: every input harness under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer. The inputs kept in fuzz/corpus are replayed
# first, then each harness fuzzes for a bounded time from a copy of them, so
# the repository's corpus never grows here. Any crash, sanitizer report, leak
# or hang fails the stage and prints the input that caused it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root="$(pwd)"

# Seconds of fuzzing per harness, and the build folder (both may be set from outside).
seconds="${TALVOREN_FUZZ_SECONDS:-75}"
build="${TALVOREN_FUZZ_BUILD:-$root/build-fuzz}"
harnesses=(save_reader whole_game)

# clang with its libFuzzer runtime.
probe_fuzzer() {
  command -v clang++ >/dev/null || return 1
  local probe
  probe="$(mktemp -d)"
  printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }' \
    > "$probe/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1
  local status=$?
  rm -rf "$probe"
  return $status
}
source .ci/lib/install.bash
need_packages cmake clang libclang-rt-14-dev
probe_fuzzer || { echo "clang cannot build a libFuzzer target"; exit 1; }

cmake --preset fuzzing -B "$build" >/dev/null
cmake --build "$build" -j2 --target fuzz_budget_check "${harnesses[@]/#/fuzz_}"

# Almost every run saves a game: keep the harnesses' scratch folders in memory
# where the machine allows it (that nearly doubles the runs a second).
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"

# Shows what a failed run left: the end of its log and each input it kept.
report_failure() {
  local harness="$1" log="$2" artifacts="$3"
  echo "!!! fuzz_${harness} failed; end of its log:"
  tail -n 60 "$log"
  for input in "$artifacts"/*; do
    [ -e "$input" ] || continue
    echo "--- $(basename "$input") (base64; keep it in fuzz/corpus/${harness}/ once fixed):"
    base64 "$input"
  done
}

# The budget that stops every run must itself work.
(cd "$scratch" && "$build/fuzz/fuzz_budget_check")

summary=()
for harness in "${harnesses[@]}"; do
  binary="$build/fuzz/fuzz_${harness}"
  corpus="$scratch/${harness}-corpus"
  artifacts="$scratch/${harness}-artifacts"
  log="$scratch/${harness}.log"
  mkdir -p "$corpus" "$artifacts"
  cp "$root/fuzz/corpus/${harness}/"* "$corpus/"
  options=(-timeout=10 -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$artifacts/" -print_final_stats=1)

  echo "=== fuzz_${harness}: kept inputs"
  if ! "$binary" -runs=0 "${options[@]}" "$corpus" >"$log" 2>&1; then
    report_failure "$harness" "$log" "$artifacts"
    exit 1
  fi

  echo "=== fuzz_${harness}: ${seconds} s of fuzzing"
  started=$(date +%s)
  if ! "$binary" -max_total_time="$seconds" "${options[@]}" "$corpus" >"$log" 2>&1; then
    report_failure "$harness" "$log" "$artifacts"
    exit 1
  fi
  elapsed=$(( $(date +%s) - started ))
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
  summary+=("fuzz_${harness}: ${runs} executions in ${elapsed} s (${rate}/s), ${cov}, peak ${rss} MB, no crash")
done

echo "=== fuzzing summary"
printf '%s\n' "${summary[@]}"
