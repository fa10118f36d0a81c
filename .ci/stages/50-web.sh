#!/usr/bin/env bash
# The web build: compile the game to WebAssembly with Emscripten, check the
# site (its files, no address outside it, no inline script, its policy, its
# size), serve it on 127.0.0.1 and play it in headless Chromium (tests/web/):
# on a desktop, a phone and a tablet, with the save exported and imported,
# and offline; then the page for thumbs, ears and keyboards (answer buttons,
# phone keyboards on a slowed processor, the screen reader's tree, the bar's
# sound, Tab, messages and colours), and the site's delivery
# (tests/web/site_delivery.sh). Screenshots of the last screens are kept
# in the build folder; on a failure the terminal's text is printed.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${TALVOREN_WEB_BUILD:-build-web}
site=$build/web
size_limit=$((1500 * 1000))

source .ci/lib/install.bash
need_packages cmake emscripten chromium nodejs npm python3
# Debian's Emscripten runs its optimizer on Debian's JavaScript modules.
export NODE_PATH=/usr/share/nodejs
export PUPPETEER_SKIP_DOWNLOAD=1

fail() {
    echo "WEB STAGE FAILED: $*" >&2
    exit 1
}

# --- Build -------------------------------------------------------------------
# The web preset: the README's commands, with warnings as errors.
emcmake cmake --preset web -B "$build"
cmake --build "$build" -j2

for file in index.html page.js keyboard.js touch.js reader.js sound.js release.js page.css \
    release.css manifest.webmanifest icon.svg icon-192.png icon-512.png sw.js talvoren.js \
    talvoren.wasm xterm.js xterm.css; do
    [ -s "$site/$file" ] || fail "the site has no $file"
done
if grep -Eo '(src|href)="[a-z]+://[^"]*"' "$site/index.html"; then
    fail "the page loads something from outside the site"
fi
if grep -Eq '<script>|<script [^>]*>[^<]' "$site/index.html"; then
    fail "the page has an inline script"
fi
grep -q "http-equiv=\"Content-Security-Policy\" content=\"default-src 'self'; script-src 'self' 'wasm-unsafe-eval';" \
    "$site/index.html" || fail "the page has no Content-Security-Policy of its own files only"
grep -Eq "^const CACHE = 'talvoren-[0-9.]+-[0-9a-f]{16}';" "$site/sw.js" || fail "the service worker's cache has no version and hash"

size=$(du -cb "$site"/* --exclude='*.br' --exclude='*.gz' | tail -n 1 | cut -f 1)
echo "site size: $size bytes"
[ "$size" -lt "$size_limit" ] || fail "the site is $size bytes, over $size_limit"

# --- The test's packages, pinned in the lock file ----------------------------
npm_folder=$build/npm-test
need_npm_packages "$npm_folder" web

# --- Serve and play ----------------------------------------------------------
NODE_PATH=$PWD/$npm_folder/node_modules timeout 600 \
    python3 tests/web/serve_and_run.py "$site" \
    node tests/web/play_in_browser.cjs "{url}" "$build/web-play.png" ||
    fail "the browser play-through (screenshot: $build/web-play.png)"
echo "screenshot of the last screen: $build/web-play.png"
NODE_PATH=$PWD/$npm_folder/node_modules timeout 600 \
    python3 tests/web/serve_and_run.py "$site" \
    node tests/web/page_access.cjs "{url}" "$build/web-access.png" ||
    fail "the page's access checks (screenshot: $build/web-access.png)"

# --- Delivery: minified, pre-compressed, and a new release that arrives ------
bash tests/web/site_delivery.sh || fail "the site's delivery"
