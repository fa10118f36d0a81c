#!/usr/bin/env bash
# Lighthouse audits the built web site as a phone would load it (its mobile
# profile) in Debian's Chromium: accessibility, best practices and SEO must
# each score 100, and every audit that costs points is printed. Performance
# is measured by bench/web.sh, not judged here: shared machines are noisy.
# Uses the site that .ci/stages/50-web.sh built (and builds it if missing).
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${TALVOREN_WEB_BUILD:-build-web}
site=$build/web
stage="lighthouse"

fail() {
    echo "LIGHTHOUSE STAGE FAILED: $*" >&2
    exit 1
}

source .ci/lib/install.bash
need_packages cmake emscripten chromium nodejs npm python3
if [ ! -s "$site/sw.js" ]; then
    export NODE_PATH=/usr/share/nodejs
    emcmake cmake --preset web -B "$build"
    cmake --build "$build" -j2
fi

# Lighthouse, pinned in its own lock file (version 13 needs a newer Node.js
# than Debian's).
npm_folder=$build/npm-lighthouse
need_npm_packages "$npm_folder" tests/web/lighthouse

report=$PWD/$build/lighthouse.json
rm -f "$report"
echo "$stage: auditing the site served with its pre-compressed files"
CHROME_PATH=/usr/bin/chromium timeout 600 python3 tests/web/serve_and_run.py --precompressed --keep-alive "$site" \
    "$npm_folder/node_modules/.bin/lighthouse" "{url}" --quiet --form-factor=mobile \
    --only-categories=accessibility,best-practices,seo --output=json --output-path="$report" \
    "--chrome-flags=--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking --disable-component-update --disable-sync" ||
    fail "Lighthouse did not run"

python3 tests/web/lighthouse/judge.py "$report" || fail "a category scores under 100 (report: $report)"
