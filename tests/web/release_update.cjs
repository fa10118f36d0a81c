// A returning player gets a new release from a host that lets browsers keep
// every file for a day. From the built site it makes a next release (the
// game's version changed in the wasm, the service worker's list rehashed)
// and a half-finished deploy of it (the new list, the old wasm), and points
// the served folder at each in turn:
//   node release_update.cjs <site url> <work folder> <built site>
// where <work folder>/served is the symbolic link that serve_and_run.py
// serves (run with --precompressed --keep-alive --cache-seconds 86400).
// Exits 1 with the page's text on the first thing that is not as expected.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { STEP_TIMEOUT_MS, Failure, screenRows, lastRows, pollUntil, runChecks } = require('./screen.cjs');

const [siteUrl, work, builtSite] = process.argv.slice(2);
const MAIN_MENU = '[1] New Game';
const NAME_PROMPT = 'What is your name?';
// A save that Load Game continues: Ana on the road.
const SAVE = 'Act 1\nAna\n1\n5\n5\n5\n0\n0\n25\n50\n0\n1\n1\n0';

const sha256 = (bytes) => crypto.createHash('sha256').update(bytes).digest('hex');

// --- Releases ----------------------------------------------------------------

function writeWithCompressed(folder, name, bytes) {
  fs.writeFileSync(path.join(folder, name), bytes);
  fs.writeFileSync(path.join(folder, name + '.br'), zlib.brotliCompressSync(bytes));
  fs.writeFileSync(path.join(folder, name + '.gz'), zlib.gzipSync(bytes));
}

function readRelease(folder) {
  const worker = fs.readFileSync(path.join(folder, 'sw.js'), 'utf8');
  const cache = /^const CACHE = '(talvoren-([0-9.]+)-[0-9a-f]{16})';$/m.exec(worker);
  const list = /^const SHA256 = (\{[^}]*\});$/m.exec(worker);
  if (!cache || !list) throw new Failure('sw.js names no release or lists no hashes');
  return { folder, worker, cache: cache[1], version: cache[2], hashes: JSON.parse(list[1]) };
}

// The next release: the game's version bumped in its last digit inside the
// wasm, and the service worker listing the new hash under a new name.
function makeNextRelease(old, folder) {
  fs.cpSync(old.folder, folder, { recursive: true });
  const version = old.version.slice(0, -1) + ((Number(old.version.slice(-1)) + 1) % 10);
  const wasm = fs.readFileSync(path.join(folder, 'talvoren.wasm'));
  const was = Buffer.from(old.version + '\0');
  const at = wasm.indexOf(was);
  if (at < 0 || wasm.indexOf(was, at + 1) >= 0) throw new Failure(`the wasm holds "${old.version}" not exactly once`);
  Buffer.from(version).copy(wasm, at);
  writeWithCompressed(folder, 'talvoren.wasm', wasm);
  const hashes = { ...old.hashes, 'talvoren.wasm': sha256(wasm) };
  const listed = Object.keys(hashes).map((name) => `${name} ${hashes[name]}\n`).join('');
  const cache = `talvoren-${version}-${sha256(listed).slice(0, 16)}`;
  const worker = old.worker.replace(old.cache, cache).replace(old.hashes['talvoren.wasm'], hashes['talvoren.wasm']);
  writeWithCompressed(folder, 'sw.js', Buffer.from(worker));
  return readRelease(folder);
}

function deploy(folder) {
  const link = path.join(work, 'served');
  const fresh = link + '.new';
  fs.rmSync(fresh, { force: true });
  fs.symlinkSync(folder, fresh);
  fs.renameSync(fresh, link);
}

// --- The page ----------------------------------------------------------------

const screenText = async (page) => lastRows(await screenRows(page)).join('\n');

// Waits until `test()` holds; one that throws (a page between two documents) does not yet.
function waitFor(page, what, test) {
  return pollUntil(() => test().catch(() => false), Boolean, () => `waited ${STEP_TIMEOUT_MS} ms for ${what}`);
}

const showing = (page, text) => async () => (await screenText(page)).includes(text);
const titled = (page, release) => async () => (await page.title()).endsWith('Build v' + release.version);

// A visit: a new tab opening the site, up to the main menu.
async function visit(context) {
  const page = await context.newPage();
  page.on('pageerror', (error) => console.log('page error: ' + error.message));
  await page.goto(siteUrl, { waitUntil: 'domcontentloaded' });
  await waitFor(page, 'the main menu', showing(page, MAIN_MENU));
  await page.focus('.xterm-helper-textarea');
  await page.evaluate(() => navigator.serviceWorker.ready);
  return page;
}

// Checks for a new release now and waits until it has taken over, or was
// refused; returns which ('activated', 'redundant', or 'none' when there was
// nothing new to install).
async function checkForRelease(page) {
  return page.evaluate(async () => {
    const registration = await navigator.serviceWorker.ready;
    await registration.update().catch(() => {});
    const worker = registration.installing || registration.waiting;
    if (!worker) return 'none';
    const settled = () => worker.state === 'activated' || worker.state === 'redundant';
    if (settled()) return worker.state;
    return new Promise((resolve) => worker.addEventListener('statechange', () => {
      if (settled()) resolve(worker.state);
    }));
  });
}

async function cachedRelease(page) {
  return page.evaluate(async () => {
    const releases = {};
    for (const name of await caches.keys()) {
      const cache = await caches.open(name);
      releases[name] = {};
      for (const request of await cache.keys()) {
        const body = await (await cache.match(request)).arrayBuffer();
        const sha = Array.from(new Uint8Array(await crypto.subtle.digest('SHA-256', body)),
          (byte) => byte.toString(16).padStart(2, '0')).join('');
        releases[name][new URL(request.url).pathname.split('/').pop() || './'] = sha;
      }
    }
    return releases;
  });
}

const noticeShown = (page) => page.$eval('#release-notice', (notice) => !notice.hidden);

// --- The player's visits -------------------------------------------------------

// Visits before and after deploys; the new release runs by the second visit.
async function returningPlayer(browser, v1, next, half) {
  const context = await browser.createBrowserContext();
  deploy(v1.folder);
  let page = await visit(context);
  await waitFor(page, `"Build v${v1.version}"`, titled(page, v1));
  const stored = await page.evaluate((save) => Module.talvoren.importSave(new TextEncoder().encode(save)), SAVE);
  if (stored !== null) throw new Failure('the first release could not store a save: ' + stored);
  await page.close();

  // Releases refused, the old one going on untouched: a half-finished
  // deploy, and the whole new release with storage too full for it (nothing
  // of it kept).
  const refusals = [
    ['a half-finished deploy (new list, old wasm)', half, false],
    ['the new release with storage too full for it', next.folder, true],
  ];
  deploy(half);
  page = await visit(context);
  const origin = new URL(siteUrl).origin;
  const session = await page.createCDPSession();
  for (const [what, folder, storageFull] of refusals) {
    deploy(folder);
    if (storageFull) {
      const used = await page.evaluate(async () => (await navigator.storage.estimate()).usage);
      await session.send('Storage.overrideQuotaForOrigin', { origin, quotaSize: used + 100000 });
    }
    const taken = await checkForRelease(page);
    const cached = Object.keys(await cachedRelease(page)).join();
    if (storageFull) await session.send('Storage.overrideQuotaForOrigin', { origin });
    if (taken !== 'redundant' || cached !== v1.cache || !(await titled(page, v1)()) || (await noticeShown(page))) {
      throw new Failure(`${what}: ${taken}, caches ${cached}, the page changed or offers it`);
    }
    console.log(`${what} is refused; the old release goes on`);
  }
  await page.close();

  // The first visit after the deploy installs the new release (and a page
  // not yet played may reload into it).
  deploy(next.folder);
  page = await context.newPage();
  await page.goto(siteUrl, { waitUntil: 'domcontentloaded' });
  await waitFor(page, 'the new release installed', () => page.evaluate(async (name) => {
    const registration = await navigator.serviceWorker.getRegistration();
    return Boolean(registration && !registration.installing && !registration.waiting && (await caches.has(name)));
  }, next.cache));
  await page.close();
  page = await visit(context);
  await waitFor(page, `"Build v${next.version}" at the second visit`, titled(page, next));
  const caches = await cachedRelease(page);
  const held = caches[next.cache] || {};
  const expected = { ...next.hashes, './': next.hashes['index.html'] };
  const files = (list) => JSON.stringify(Object.entries(list).sort());
  if (Object.keys(caches).join() !== next.cache || files(held) !== files(expected)) {
    throw new Failure('the cache does not hold exactly the new release: ' + JSON.stringify(caches));
  }
  console.log(`second visit after the deploy: "Build v${next.version}", from the one cache ${next.cache} of exactly its ${Object.keys(held).length} files`);

  const save = await page.evaluate(() => new TextDecoder().decode(Module.talvoren.storedSave()));
  if (save !== SAVE) throw new Failure('the save of the old release is not there: ' + JSON.stringify(save));
  await page.keyboard.type('4');
  await page.keyboard.press('Enter');
  await waitFor(page, 'Ana loaded', async () => !(await screenText(page)).includes(MAIN_MENU));
  if (/no saved game|Unable/.test(await screenText(page))) throw new Failure('the old release\'s save does not load');
  console.log('the save stored by the old release loads in the new one');
  await context.close();
}

// A release deployed while a game is open: the game goes on untouched and
// offers the new release, a tab opened beside it runs the new release, and
// the player reloads by keyboard from the notice.
async function gameOpenDuringDeploy(browser, v1, next) {
  const context = await browser.createBrowserContext();
  deploy(v1.folder);
  await (await visit(context)).close();
  const game = await visit(context);
  await game.keyboard.type('1');
  await game.keyboard.press('Enter');
  await waitFor(game, 'the name prompt', showing(game, NAME_PROMPT));

  deploy(next.folder);
  const taken = await checkForRelease(game);
  if (taken !== 'activated') throw new Failure('the new release did not take over: ' + taken);
  await waitFor(game, 'the notice of a new release', () => noticeShown(game));
  if (!(await titled(game, v1)()) || !(await showing(game, NAME_PROMPT)())) throw new Failure('a game in progress was reloaded');
  const fresh = await visit(context);
  await waitFor(fresh, `"Build v${next.version}" in a new tab`, titled(fresh, next));
  await game.bringToFront();
  await game.focus('.xterm-helper-textarea');
  await game.keyboard.type('Ana');
  await game.keyboard.press('Enter');
  await waitFor(game, 'the game going on after its name', async () => !(await showing(game, NAME_PROMPT)()));
  if (!(await titled(game, v1)())) throw new Failure('the tab with a game was reloaded');
  console.log('a deploy during a game: the game goes on and offers the new release; a new tab runs it');

  await game.focus('#release-reload');
  await game.keyboard.press('Enter');
  await waitFor(game, `"Build v${next.version}" after "Reload now"`, titled(game, next));
  await waitFor(game, 'the main menu after the reload', showing(game, MAIN_MENU));
  console.log('"Reload now", pressed by keyboard, brings the new release');
  await context.close();
}

async function main() {
  const [first, second, half] = ['first', 'next', 'half'].map((name) => path.join(work, name));
  for (const folder of [first, second, half]) fs.rmSync(folder, { recursive: true, force: true });
  fs.cpSync(builtSite, first, { recursive: true });
  const old = readRelease(first);
  const next = makeNextRelease(old, second);
  // The new service worker already deployed, the old wasm still served.
  fs.cpSync(second, half, { recursive: true });
  for (const name of ['talvoren.wasm', 'talvoren.wasm.br', 'talvoren.wasm.gz']) {
    fs.copyFileSync(path.join(first, name), path.join(half, name));
  }
  console.log(`releases: ${old.version} (${old.cache}) and ${next.version} (${next.cache})`);

  await runChecks(async (browser) => {
    await returningPlayer(browser, old, next, half);
    await gameOpenDuringDeploy(browser, old, next);
    console.log('release update: all checks passed');
  }, async (browser) => {
    for (const context of browser.browserContexts()) {
      for (const page of await context.pages()) {
        console.log(`--- ${await page.title().catch(() => '?')} ---\n` + (await screenText(page).catch(() => '?')));
      }
    }
  });
}

main();
