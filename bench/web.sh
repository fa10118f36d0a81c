#!/usr/bin/env bash
# Measures the web build: the site's size, the time from navigation to the
# main menu in headless Chromium (on a desktop, and on a phone of 390x844
# with touch and its processor slowed four times), the timing bar's frame
# period as the game hands its frames to the page's terminal (both), and on
# the phone the time from a tap on the bar to its grade: handed to the
# terminal, and on screen (the next frame drawn after it). Then a player's
# first and repeat visits on the phone with a slow mobile network (1.6 Mbit/s,
# 150 ms round trips) from a host serving the pre-compressed files, and the
# site's bytes raw, gzip and brotli. Prints one table.
#
#   bench/web.sh [--loads N] [--visits N]
#
# Needs Emscripten, Chromium, Node.js and npm (as .ci/stages/50-web.sh
# installs them). Builds into $TALVOREN_BENCH_DIR/web (default build-bench/web).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${TALVOREN_BENCH_DIR:-$root/build-bench}/web"
loads=20
visits=5
while [ $# -gt 0 ]; do
  case "$1" in
    --loads) loads="$2"; shift ;;
    --visits) visits="$2"; shift ;;
    -h | --help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "web.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

export NODE_PATH=/usr/share/nodejs
mkdir -p "$out"
log="$out/build.log"
: >"$log"
quietly() {
  "$@" >>"$log" 2>&1 || { tail -n 40 "$log" >&2; echo "web.sh: failed: $*" >&2; exit 1; }
}

echo "building the site into $out ..." >&2
quietly emcmake cmake -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=Release
quietly cmake --build "$out" -j2
mkdir -p "$out/npm-test"
cp "$root/web/package.json" "$root/web/package-lock.json" "$out/npm-test/"
(cd "$out/npm-test" && quietly npm ci --no-audit --no-fund --loglevel=error)

echo "measuring $loads page loads on a desktop and on a phone, the bar's frames and taps ..." >&2
figures="$out/figures.json"
NODE_PATH="$out/npm-test/node_modules" quietly python3 "$root/tests/web/serve_and_run.py" "$out/web" \
  node "$root/bench/web_play.cjs" "{url}" "$out/bench.png" "$figures" "$loads"

echo "measuring $visits first and repeat visits on a phone over a slow network ..." >&2
visit_figures="$out/visits.json"
NODE_PATH="$out/npm-test/node_modules" quietly python3 "$root/tests/web/serve_and_run.py" --precompressed --keep-alive \
  "$out/web" node "$root/bench/web_visits.cjs" "{url}" "$visit_figures" "$visits"

exec python3 - "$out/web" "$figures" "$visit_figures" <<'PYTHON'
import json, os, statistics, sys

site, figures = sys.argv[1], json.load(open(sys.argv[2]))
figures.update(json.load(open(sys.argv[3])))
files = sorted(name for name in os.listdir(site) if not name.endswith((".br", ".gz")))
sizes = {name: os.path.getsize(os.path.join(site, name)) for name in files}
total = sum(sizes.values())

def compressed(suffix):
    # A host serves the file itself where it has no compressed copy (the pictures).
    return sum(os.path.getsize(os.path.join(site, name + suffix))
               if os.path.exists(os.path.join(site, name + suffix)) else sizes[name] for name in files)
loads = figures["loadToMenuMs"]
periods = sorted(figures["framePeriodsMs"])
p99 = periods[min(len(periods) - 1, int(round(0.99 * (len(periods) - 1))))]
median = statistics.median(periods)
phone_loads = figures["phoneLoadToMenuMs"]
phone_periods = sorted(figures["phoneFramePeriodsMs"])
written = sorted(t["written"] for t in figures["tapToGrade"])
shown = sorted(t["shown"] for t in figures["tapToGrade"])

def verdict(ok):
    return "meets" if ok else "MISSES"

rows = [
    ("Site size, uncompressed", "%.0f kB" % (total / 1000),
     ", ".join("%s %.0f kB" % (n, s / 1000) for n, s in sizes.items()), "< 1500 kB", verdict(total < 1500000)),
    ("Site size, gzip / brotli (as served)", "%.0f kB / %.0f kB" % (compressed(".gz") / 1000, compressed(".br") / 1000),
     "-", "-", "-"),
    ("Phone, slow network: first visit to main menu (%d visits)" % len(figures["firstVisitMs"]),
     "%.0f ms" % statistics.median(figures["firstVisitMs"]),
     "%.0f-%.0f ms, %.0f kB transferred" % (min(figures["firstVisitMs"]), max(figures["firstVisitMs"]),
                                          statistics.median(figures["firstVisitBytes"]) / 1000),
     "< 3000 ms", verdict(statistics.median(figures["firstVisitMs"]) < 3000)),
    ("Phone, slow network: repeat visit from the cache", "%.0f ms" % statistics.median(figures["repeatVisitMs"]),
     "%.0f-%.0f ms" % (min(figures["repeatVisitMs"]), max(figures["repeatVisitMs"])),
     "< 1000 ms", verdict(statistics.median(figures["repeatVisitMs"]) < 1000)),
    ("Navigation to main menu (%d loads)" % len(loads), "%.0f ms" % statistics.median(loads),
     "%.0f-%.0f ms" % (min(loads), max(loads)), "-", "-"),
    ("Bar frame period, median (%d frames)" % len(periods), "%.2f ms" % median,
     "%.2f-%.2f ms" % (periods[0], periods[-1]), "50 +- 1 ms", verdict(abs(median - 50) <= 1)),
    ("Bar frame period, 99th percentile", "%.2f ms" % p99, "-", "-", "-"),
    ("Bar frame period, mean (no drift)", "%.2f ms" % statistics.mean(periods), "-", "50 +- 1 ms",
     verdict(abs(statistics.mean(periods) - 50) <= 1)),
    ("Phone (CPU x4): navigation to main menu (%d loads)" % len(phone_loads), "%.0f ms" % statistics.median(phone_loads),
     "%.0f-%.0f ms" % (min(phone_loads), max(phone_loads)), "-", "-"),
    ("Phone (CPU x4): bar frame period, median (%d frames)" % len(phone_periods),
     "%.2f ms" % statistics.median(phone_periods), "%.2f-%.2f ms" % (phone_periods[0], phone_periods[-1]),
     "50 +- 1 ms", verdict(abs(statistics.median(phone_periods) - 50) <= 1)),
    ("Phone (CPU x4): bar frame period, mean", "%.2f ms" % statistics.mean(phone_periods), "-", "50 +- 1 ms",
     verdict(abs(statistics.mean(phone_periods) - 50) <= 1)),
    # The bar reads keys between its frames, so a tap waits for the next one.
    ("Phone (CPU x4): tap to grade handed to the terminal (%d taps)" % len(written),
     "%.1f ms (%.2f frames)" % (statistics.median(written), statistics.median(written) / 50),
     "%.1f-%.1f ms" % (written[0], written[-1]), "median within a frame (50 ms)",
     verdict(statistics.median(written) <= 50)),
    ("Phone (CPU x4): tap to grade on screen", "%.1f ms" % statistics.median(shown),
     "%.1f-%.1f ms" % (shown[0], shown[-1]), "-", "-"),
]
print("| Figure | Median or value | Spread or parts | Target | Verdict |")
print("|---|---|---|---|---|")
for row in rows:
    print("| " + " | ".join(row) + " |")
PYTHON
