#!/usr/bin/env bash
# The site's delivery: every script and style sheet minified, a .br and .gz
# beside every file but the pictures, nothing the page does not use; then a
# new release deployed to a host that lets browsers keep every file for a
# day (tests/web/release_update.cjs). Builds the site into
# $TALVOREN_WEB_BUILD (default build-web) first, or brings it up to date.
# Run from .ci/stages/50-web.sh, which installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${TALVOREN_WEB_BUILD:-build-web}
site=$build/web
export NODE_PATH=/usr/share/nodejs
export PUPPETEER_SKIP_DOWNLOAD=1

fail() {
    echo "SITE DELIVERY FAILED: $*" >&2
    exit 1
}

[ -f "$build/CMakeCache.txt" ] || emcmake cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVOREN_WERROR=ON
cmake --build "$build" -j2 --target talvoren_site

for file in "$site"/*; do
    case "$file" in
    *.br | *.gz | *.png) ;;
    *) [ -s "$file.br" ] && [ -s "$file.gz" ] || fail "$file has no .br and .gz beside it" ;;
    esac
done
for file in "$site"/*.txt; do
    if [ -e "$file" ]; then fail "the site ships a file the page does not use: $file"; fi
done
# The service worker stays readable; every other script and style sheet is
# minified, so no line of it is indented.
for file in "$site"/*.js "$site"/*.css; do
    [ "$file" = "$site/sw.js" ] && continue
    if grep -q '^  ' "$file"; then fail "$file is not minified"; fi
done
echo "site delivery: minified, pre-compressed, nothing unused"

npm_folder=$build/npm-test
if [ ! -d "$npm_folder/node_modules/puppeteer-core" ] ||
    ! cmp -s web/package-lock.json "$npm_folder/package-lock.json"; then
    mkdir -p "$npm_folder"
    cp web/package.json web/package-lock.json "$npm_folder"/
    (cd "$npm_folder" && npm ci --no-audit --no-fund --loglevel=error)
fi

# The served folder is a link that the test points at each deploy in turn.
release_work=$PWD/$build/release-update
rm -rf "$release_work"
mkdir -p "$release_work"
ln -s "$PWD/$site" "$release_work/served"
NODE_PATH=$PWD/$npm_folder/node_modules timeout 300 \
    python3 tests/web/serve_and_run.py --precompressed --keep-alive --cache-seconds 86400 "$release_work/served" \
    node tests/web/release_update.cjs "{url}" "$release_work" "$PWD/$site" ||
    fail "a new release under day-long cache headers"
