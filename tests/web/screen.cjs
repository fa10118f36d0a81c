// What the browser tests share: the game's screen read from the page's
// terminal as the player sees it, waits for what should come with a time-out
// that says what never came, and a run of checks in headless Chromium that
// stops at the first failure. Required by the tests beside it and by
// bench/web_play.cjs and bench/web_visits.cjs.
'use strict';
const puppeteer = require('puppeteer-core');

// Generous limits: the machine may be busy with other builds.
const STEP_TIMEOUT_MS = 20000;

// A page not as expected: its message says all, without a stack.
class Failure extends Error {}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// The rows on screen, as the player sees them, without trailing blanks;
// none while the page has no terminal yet.
async function screenRows(page) {
  return page.evaluate(() => {
    if (!window.term) return [];
    const buffer = window.term.buffer.active;
    const rows = [];
    for (let y = 0; y < window.term.rows; ++y) {
      const line = buffer.getLine(buffer.viewportY + y);
      rows.push(line ? line.translateToString(true).trimEnd() : '');
    }
    return rows;
  });
}

// The rows up to the last one with text.
function lastRows(rows) {
  const copy = rows.slice();
  while (copy.length > 0 && copy[copy.length - 1] === '') copy.pop();
  return copy;
}

// Reads `read()` every 30 ms until `done` holds for what it gave, and returns
// that; past `timeoutMs` throws a Failure saying `failure(the last read)`.
async function pollUntil(read, done, failure, timeoutMs = STEP_TIMEOUT_MS) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await read();
    if (done(value)) return value;
    if (Date.now() > deadline) throw new Failure(failure(value));
    await sleep(30);
  }
}

// Waits until `test` holds for the screen's rows (up to the last with text)
// and returns them; a time-out names `what` was waited for.
function waitForScreen(page, what, test, timeoutMs = STEP_TIMEOUT_MS) {
  const rows = async () => lastRows(await screenRows(page));
  return pollUntil(rows, test, () => `waited ${timeoutMs} ms for ${what}`, timeoutMs);
}

// A test for waitForScreen: some row holds `text`.
const showsText = (text) => (rows) => rows.some((row) => row.includes(text));

// Headless Chromium: Debian's, or the one $CHROMIUM names.
function launchBrowser() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage'],
  });
}

// The last page opened, in any profile; undefined when none is open.
async function lastPage(browser) {
  const pages = [];
  for (const context of browser.browserContexts()) pages.push(...(await context.pages()));
  return pages[pages.length - 1];
}

// After a failure: prints the last page's terminal text and keeps its
// screenshot at `screenshotPath`, if one is given.
async function showLastPage(browser, screenshotPath) {
  const page = await lastPage(browser);
  if (!page) return;
  try {
    console.log('--- terminal text ---\n' + (await screenRows(page)).join('\n') + '\n---');
  } catch (ignored) {
    console.log('(the terminal could not be read)');
  }
  if (screenshotPath) await page.screenshot({ path: screenshotPath }).catch(() => {});
}

// Runs `checks(browser)` in a fresh headless Chromium and exits the process:
// 0 when they pass; 1 after printing the first failure and what
// `showFailure(browser)` shows of the pages left open.
async function runChecks(checks, showFailure) {
  const browser = await launchBrowser();
  let failed = false;
  try {
    await checks(browser);
  } catch (error) {
    failed = true;
    console.log('FAILED: ' + (error instanceof Failure ? error.message : error.stack));
    await showFailure(browser);
  }
  await browser.close();
  process.exit(failed ? 1 : 0);
}

module.exports = {
  STEP_TIMEOUT_MS, Failure, sleep, screenRows, lastRows, pollUntil, waitForScreen, showsText, launchBrowser,
  showLastPage, runChecks,
};
