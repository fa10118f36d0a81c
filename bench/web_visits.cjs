// Times a player's first and repeat visits on a phone: 390x844 with touch,
// the processor slowed four times and a slow mobile network (1.6 Mbit/s
// down, 750 kbit/s up, 150 ms round trips), each in a fresh browser profile.
// The first visit comes from the server (run it under serve_and_run.py
// --precompressed, as a host serving the .br and .gz would); the repeat visit
// is a new tab once the service worker holds the site. Each time runs from
// the start of navigation to the main menu on screen, timed in the page.
//   node web_visits.cjs <site url> <figures.json> [visits]
'use strict';
const fs = require('fs');
const path = require('path');
const { launchBrowser } = require(path.join(__dirname, '..', 'tests', 'web', 'screen.cjs'));

const [siteUrl, figuresPath, visitsArg] = process.argv.slice(2);
const visits = Number(visitsArg || 5);
const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3 };
const NETWORK = { download: 1.6e6 / 8, upload: 750e3 / 8, latency: 150 };
const MENU = '[1] New Game';

async function phonePage(context) {
  const page = await context.newPage();
  await page.setViewport(PHONE);
  await page.emulateCPUThrottling(4);
  await page.emulateNetworkConditions(NETWORK);
  return page;
}

// Milliseconds from the start of navigation to the main menu, and the bytes
// that came over the network for the page's files.
async function timeVisit(page) {
  await page.goto(siteUrl, { waitUntil: 'domcontentloaded' });
  return page.evaluate((menu) => new Promise((resolve, reject) => {
    const check = () => {
      const text = window.term ? window.term.buffer.active.getLine(0)?.translateToString(true) : '';
      if (text && text.includes(menu)) {
        const shownAt = performance.now();
        const entries = [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')];
        resolve({ ms: shownAt, bytes: entries.reduce((sum, entry) => sum + (entry.transferSize || 0), 0) });
      } else if (performance.now() > 120000) {
        reject(new Error('no main menu after 120 s'));
      } else {
        setTimeout(check, 5);
      }
    };
    check();
  }), MENU);
}

async function main() {
  const browser = await launchBrowser();
  const figures = { firstVisitMs: [], repeatVisitMs: [], firstVisitBytes: [] };
  try {
    for (let run = 0; run < visits; ++run) {
      const context = await browser.createBrowserContext();
      const first = await phonePage(context);
      const firstVisit = await timeVisit(first);
      figures.firstVisitMs.push(Math.round(firstVisit.ms));
      figures.firstVisitBytes.push(firstVisit.bytes);
      await first.evaluate(() => navigator.serviceWorker.ready);
      await first.close();
      const again = await phonePage(context);
      figures.repeatVisitMs.push(Math.round((await timeVisit(again)).ms));
      await context.close();
    }
  } finally {
    await browser.close();
  }
  fs.writeFileSync(figuresPath, JSON.stringify(figures));
}

main().catch((error) => {
  console.error(error.stack);
  process.exit(1);
});
