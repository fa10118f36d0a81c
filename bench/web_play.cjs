// Times play in the web build in headless Chromium: page load to the main
// menu (on a desktop, and on a phone of 390x844 with touch and its processor
// slowed four times), the bar's frame period as the game hands frames to the
// terminal (both), and on the phone the time from a tap on the bar to its
// grade: handed to the terminal, and on screen. Run by bench/web.sh:
//   node web_play.cjs <site url> <screenshot.png> <figures.json> [loads]
// It plays with the browser test's helpers (tests/web/play_in_browser.cjs,
// which takes the site's address and the screenshot from the same arguments,
// and tests/web/screen.cjs).
'use strict';
const fs = require('fs');
const path = require('path');
const tests = path.join(__dirname, '..', 'tests', 'web');
const { STEP_TIMEOUT_MS, sleep, waitForScreen, launchBrowser } = require(path.join(tests, 'screen.cjs'));
const {
  typeLine, passPausesUntil, loadPage, newPage, playIntoFirstFight, atTurn, gradeOnScreen, touchPlay, PHONE,
} = require(path.join(tests, 'play_in_browser.cjs'));

const [, screenshotPath, figuresPath, loadsArg] = process.argv.slice(2);
const loads = Number(loadsArg || 10);

// The game's frames as it hands them to the terminal: a frame starts with
// the cursor sent home and the bar's "[". An attack's bar is left to fill
// and run on a while before the space stops it.
async function measureBarPeriod(page) {
  await page.evaluate(() => {
    window.barFrameTimes = [];
    const write = Module.talvoren.write;
    window.unwatchBar = () => { Module.talvoren.write = write; };
    Module.talvoren.write = (bytes) => {
      const text = new TextDecoder().decode(bytes);
      if (text.includes('\x1b[H[')) window.barFrameTimes.push(performance.now());
      write(bytes);
    };
  });
  await typeLine(page, '1');
  await waitForScreen(page, 'a full bar', (r) => r.length > 0 && /^\[:{35}\]$/.test(r[0]), 30000);
  await sleep(500);
  await page.keyboard.press('Space');
  await waitForScreen(page, 'the grade', (r) => gradeOnScreen(r) !== null);
  const times = await page.evaluate(() => {
    window.unwatchBar();
    return window.barFrameTimes;
  });
  const periods = [];
  for (let i = 1; i < times.length; ++i) periods.push(times[i] - times[i - 1]);
  return periods;
}

// Taps the bar `taps` times, at about 0.3 s, and times each tap from the
// touch to the grade's bytes reaching the terminal and to the frame that
// shows them.
async function measureTapToGrade(page, taps) {
  const latencies = [];
  for (let i = 0; i < taps; ++i) {
    await touchPlay.choose(page, 2);
    await waitForScreen(page, 'the bar', (r) => r.length > 0 && r[0].startsWith('[:'));
    await sleep(300);
    await page.evaluate(() => {
      window.tapTimes = null;
      const terminal = document.getElementById('terminal');
      const write = Module.talvoren.write;
      terminal.addEventListener('pointerdown', (event) => {
        const touchedAt = event.timeStamp;
        Module.talvoren.write = (bytes) => {
          const text = new TextDecoder().decode(bytes);
          write(bytes);
          if (!/(Hit|Critical|Miss)/.test(text)) return;
          Module.talvoren.write = write;
          const writtenAt = performance.now();
          window.term.write('', () => requestAnimationFrame(() => {
            window.tapTimes = { written: writtenAt - touchedAt, shown: performance.now() - touchedAt };
          }));
        };
      }, { once: true, capture: true });
    });
    await touchPlay.space(page);
    await page.waitForFunction(() => window.tapTimes !== null, { timeout: STEP_TIMEOUT_MS });
    latencies.push(await page.evaluate(() => window.tapTimes));
    await passPausesUntil(page, 'the turn screen', atTurn, touchPlay);
  }
  return latencies;
}

// Loads the page `loads` times on a desktop and on a phone whose processor
// is four times slower, times the bar's frames in one fight, then taps the
// bar.
async function measure(browser) {
  const page = await newPage(browser);
  const loadToMenuMs = [];
  for (let run = 0; run < loads; ++run) loadToMenuMs.push(await loadPage(page));
  await playIntoFirstFight(page);
  const framePeriodsMs = await measureBarPeriod(page);
  await page.close();

  const context = await browser.createBrowserContext();
  const phone = await newPage(context, PHONE);
  await phone.emulateCPUThrottling(4);
  const phoneLoadToMenuMs = [];
  for (let run = 0; run < loads; ++run) phoneLoadToMenuMs.push(await loadPage(phone));
  await playIntoFirstFight(phone);
  const phoneFramePeriodsMs = await measureBarPeriod(phone);
  await passPausesUntil(phone, 'the turn screen', atTurn);
  const tapToGrade = await measureTapToGrade(phone, 8);
  if (screenshotPath) await phone.screenshot({ path: screenshotPath }).catch(() => {});
  return { loadToMenuMs, framePeriodsMs, phoneLoadToMenuMs, phoneFramePeriodsMs, tapToGrade };
}

async function main() {
  const browser = await launchBrowser();
  try {
    fs.writeFileSync(figuresPath, JSON.stringify(await measure(browser)));
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(error.stack);
  process.exit(1);
});
