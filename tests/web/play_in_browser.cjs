// Plays the web build in headless Chromium as a player would: the main menu,
// a new game through the backstory into the first fight, three heals stopped
// by the space bar at chosen moments, the road to the wizard's town, a save,
// a page reload and Load Game; then the same on an emulated phone by touch
// alone (menu taps, a name typed through a phone keyboard's composition, the
// pauses and the bar tapped, a picture cut at 41 columns), the layout on a
// tablet and a wide screen, the save exported and imported, and a reload
// with the server stopped. Every page runs under the site's
// Content-Security-Policy and must report no violation. Usage:
//   node play_in_browser.cjs <site url> <screenshot.png>
// It judges what the player sees and never times play: bench/web.sh does.
// Exits 1 with the terminal's text on the first thing that is not as expected.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {
  STEP_TIMEOUT_MS, Failure, sleep, screenRows, pollUntil, waitForScreen, showsText, showLastPage, runChecks,
} = require('./screen.cjs');

const [siteUrl, screenshotPath] = process.argv.slice(2);
const TITLE = 'Talvoren -- Build v0.1.0';
const MAIN_MENU = ['[1] New Game', '[2] Options', '[3] Credits', '[4] Load Game', '', '[99] Exit', '>'];
const PAUSE = 'Press ENTER to continue...';
const TOWN_HEADING = 'Town :: Objectives :: Speak to the Wizard';
const DESKTOP = { width: 1200, height: 800 };

const atPause = (rows) => rows.length >= 2 && rows[rows.length - 2] === PAUSE && rows[rows.length - 1] === '>';
const atTurn = (rows) => rows.slice(-4).join('\n') === '[1] Attack\n[2] Heal\n[99] Flee\n>';

async function typeLine(page, text) {
  await page.keyboard.type(text);
  await page.keyboard.press('Enter');
}

// Answers a pause and waits for the screen that follows it.
async function pressEnterAtPause(page, rows, how = keyboardPlay) {
  const before = rows.join('\n');
  await how.pause(page);
  await waitForScreen(page, 'the screen after a pause', (now) => now.join('\n') !== before);
}

// Presses Enter (or taps the pause) at every pause until `test` holds.
async function passPausesUntil(page, what, test, how = keyboardPlay) {
  const deadline = Date.now() + 120000;
  for (;;) {
    const rows = await waitForScreen(page, what + ' or a pause', (r) => test(r) || atPause(r));
    if (test(rows)) return rows;
    if (Date.now() > deadline) throw new Failure('too many pauses before ' + what);
    await pressEnterAtPause(page, rows, how);
  }
}

// Opens the page and waits for the main menu. Returns the milliseconds from
// the start of navigation to the menu on screen, timed in the page (for
// bench/web_play.cjs; the test judges no time).
async function loadPage(page) {
  await page.goto(siteUrl, { waitUntil: 'domcontentloaded' });
  const shownAt = await page.evaluate((menu) => new Promise((resolve, reject) => {
    const deadline = performance.now() + 60000;
    const check = () => {
      const rows = [];
      const buffer = window.term.buffer.active;
      for (let y = 0; y < menu.length; ++y) {
        const line = buffer.getLine(buffer.viewportY + y);
        rows.push(line ? line.translateToString(true).trimEnd() : '');
      }
      if (rows.join('\n') === menu.join('\n')) resolve(performance.now());
      else if (performance.now() > deadline) reject(new Error('no main menu after 60 s'));
      else setTimeout(check, 1);
    };
    check();
  }), MAIN_MENU);
  await page.focus('.xterm-helper-textarea');
  return Math.round(shownAt);
}

// The grade the game printed under the bar, as the player reads it: the row
// after the bar's, one of the three words; null while there is none.
function gradeOnScreen(rows) {
  const bar = rows.findIndex((row) => /^\[[:#]*\]$/.test(row));
  const grade = bar < 0 ? null : rows[bar + 1];
  return ['Hit', 'Critical', 'Miss'].includes(grade) ? grade : null;
}

// The keyboard's way to play: a line typed with Enter, the space bar, Enter
// at a pause. On a phone (below) the same is done by taps.
const keyboardPlay = {
  choose: (page, number) => typeLine(page, String(number)),
  space: (page) => page.keyboard.press('Space'),
  pause: (page) => page.keyboard.press('Enter'),
};

// Chooses Heal, presses the space `delayMs` after the bar's first frame and
// returns the grade printed under the bar. The page times the first frame
// and the space's arrival, so a space the busy machine delivered late is
// known.
async function healOnce(page, delayMs, how = keyboardPlay) {
  await how.choose(page, 2);
  await page.evaluate(() => new Promise((resolve) => {
    const check = () => {
      const line = window.term.buffer.active.getLine(window.term.buffer.active.viewportY);
      if (line && line.translateToString(true).startsWith('[:')) {
        window.barStartedAt = performance.now();
        const watch = window.term.onData((data) => {
          if (data === ' ') {
            window.spaceAfterMs = performance.now() - window.barStartedAt;
            watch.dispose();
          }
        });
        resolve();
      } else {
        setTimeout(check, 1);
      }
    };
    check();
  }));
  await sleep(delayMs);
  await how.space(page);
  const rows = await waitForScreen(page, 'the grade under the bar', (r) => gradeOnScreen(r) !== null);
  const bar = rows[0];
  if (!/^\[:*#*\]$/.test(bar) || bar.length !== 37) throw new Failure('the bar is not 35 cells: ' + bar);
  const grade = gradeOnScreen(rows);
  const spaceAfterMs = Math.round(await page.evaluate(() => window.spaceAfterMs));
  console.log(`space ${spaceAfterMs} ms after the first frame: "${grade}" under ${bar}`);
  if (grade === 'Critical' && screenshotPath && how === keyboardPlay) {
    await page.screenshot({ path: screenshotPath.replace(/\.png$/, '') + '-bar.png' });
  }
  await passPausesUntil(page, 'the turn screen', atTurn, how);
  return { grade, spaceAfterMs };
}

// A heal whose space the busy machine delivered far from the moment aimed
// at is tried again; a wrong grade for a space on time is a failure.
async function healWithSpaceAfter(page, delayMs, expected, how = keyboardPlay) {
  for (let attempt = 1; ; ++attempt) {
    const { grade, spaceAfterMs } = await healOnce(page, delayMs, how);
    if (grade === expected) return;
    const late = Math.abs(spaceAfterMs - delayMs) > 100;
    if (!late || attempt === 3) {
      throw new Failure(`expected "${expected}" for a space ${spaceAfterMs} ms after the first frame, got "${grade}"`);
    }
    console.log('the space came late; once more');
  }
}

// Wins the fight on screen with the game's hidden winning answer.
async function winFight(page) {
  await typeLine(page, '6142');
  await waitForScreen(page, 'the victory', showsText('You have looted'));
}

// Every request must stay inside the site: the page works without a network.
const outsideRequests = [];
// What the site's Content-Security-Policy refused, on any page.
const policyViolations = [];
// The errors the page's scripts raised, on any page (told as they come).
const pageErrors = [];

// A page watched for requests outside the site, policy violations and errors.
async function newPage(browser, viewport = DESKTOP) {
  const page = await browser.newPage();  // a browser or one of its contexts
  page.on('pageerror', (error) => {
    console.log('page error: ' + error.message);
    pageErrors.push(error.message);
  });
  page.on('request', (request) => {
    const url = request.url();
    if (!url.startsWith(siteUrl) && !url.startsWith('data:') && !url.startsWith('blob:')) {
      outsideRequests.push(url);
    }
  });
  page.on('console', (message) => {
    const text = message.text();
    if (text.startsWith('policy violation: ')) policyViolations.push(text);
  });
  await page.evaluateOnNewDocument(() => {
    // The fonts the page gives the terminal once it is open: xterm.js
    // measures and redraws every row at each, a tenth of a second on a phone.
    window.fontsGiven = [];
    let Terminal;
    Object.defineProperty(window, 'Terminal', {
      configurable: true,
      get: () => Terminal,
      set: (Original) => {
        Terminal = class extends Original {
          open(parent) {
            super.open(parent);
            this._core.optionsService.onOptionChange((key) => {
              if (key === 'fontSize') window.fontsGiven.push(this.options.fontSize);
            });
          }
        };
      },
    });
    document.addEventListener('securitypolicyviolation', (event) => {
      console.log(`policy violation: ${event.violatedDirective} ${event.blockedURI} ${event.sourceFile}:${event.lineNumber}`);
    });
  });
  await page.setViewport(viewport);
  return page;
}

// A watched page in a browser profile of its own, made with `options`.
async function freshPage(browser, viewport = DESKTOP, options = {}) {
  const context = await browser.createBrowserContext(options);
  return { context, page: await newPage(context, viewport) };
}

// No page asked for anything outside the site or broke its policy.
function checkWatchedPages() {
  if (outsideRequests.length > 0) throw new Failure('requests outside the site: ' + outsideRequests.join(' '));
  if (policyViolations.length > 0) throw new Failure('the page broke its policy: ' + policyViolations.join('; '));
}

// From the main menu through the name and the backstory to the first turn.
async function playIntoFirstFight(page) {
  // A new game: the name typed with a slip mended by Backspace.
  await typeLine(page, '1');
  await waitForScreen(page, 'the name prompt', (r) => r.length > 0 && r[r.length - 1] === '>');
  await page.keyboard.type('Anx');
  await page.keyboard.press('Backspace');
  await page.keyboard.type('a');
  await waitForScreen(page, 'the echoed name', (r) => r[r.length - 1] === '> Ana');
  await page.keyboard.press('Enter');
  const intro = await passPausesUntil(page, 'the first fight', showsText('You have encountered a level'));
  console.log('first fight: ' + intro.find((r) => r.includes('You have encountered')));
  await passPausesUntil(page, 'the turn screen', atTurn);
}

// A narrower window gives the terminal fewer columns from the next screen
// on: the screen shown is left as it is, and the next one's frame lines fit
// the new width, each alone on its row.
async function checkNarrowWindow(page) {
  const before = await screenRows(page);
  await page.setViewport({ width: 720, height: 800 });
  await sleep(300);
  const during = await page.evaluate(() => window.term.cols);
  if (during !== 120 || (await screenRows(page)).join('\n') !== before.join('\n')) {
    throw new Failure('the screen shown was refitted to the narrower window');
  }
  await typeLine(page, '2');  // Heal draws the town menu again
  const narrowRule = (row) => /^\+-+\+$/.test(row) && row.length < 120;
  const rows = await waitForScreen(page, 'the town menu in fewer columns',
    (r) => r.length > 3 && narrowRule(r[0]) && r[1] === TOWN_HEADING && r[2] === r[0]);
  const columns = await page.evaluate(() => window.term.cols);
  if (rows[0].length !== columns) throw new Failure(`frame lines of ${rows[0].length} in ${columns} columns`);
  // Earlier screens in the scrollback are cut at the new width, never
  // wrapped: no row holds the end of a split frame line.
  const split = await page.evaluate(() => {
    const buffer = window.term.buffer.active;
    for (let y = 0; y < buffer.length; ++y) {
      const text = buffer.getLine(y).translateToString(true).trimEnd();
      if (/^-+\+$/.test(text)) return text;
    }
    return null;
  });
  if (split !== null) throw new Failure('a frame line was split by the resize: ' + split);
  console.log(`in a window of 720 pixels: ${columns} columns from the next screen on, frame lines of ${rows[0].length}`);
}

// Everything the game sends to the terminal from now on, as text, even what
// the next screen clears at once.
async function recordOutput(page) {
  await page.evaluate(() => {
    window.transcript = '';
    const write = Module.talvoren.write;
    const decoder = new TextDecoder();
    Module.talvoren.write = (bytes) => {
      window.transcript += decoder.decode(bytes);
      write(bytes);
    };
  });
}

// From the next document on, the page's `storage` (indexedDB, localStorage)
// throws as a browser that blocks storage for the site does.
async function blockStorage(page, storage) {
  await page.evaluateOnNewDocument((name) => {
    Object.defineProperty(window, name, {
      get() {
        throw new DOMException('Storage is blocked for this site', 'SecurityError');
      },
    });
  }, storage);
}

// A browser that refuses IndexedDB (storage blocked for the site): the road's
// first save says why it failed and play goes on; after a reload there is
// no save to load.
async function playWithStorageRefused(browser) {
  const { context, page } = await freshPage(browser);
  await blockStorage(page, 'indexedDB');
  await loadPage(page);
  await typeLine(page, '1');
  await waitForScreen(page, 'the name prompt', (r) => r.length > 0 && r[r.length - 1] === '>');
  await typeLine(page, 'Bo');
  const rows = await passPausesUntil(page, 'the failed save', showsText('Unable to save the game'));
  const said = rows.find((row) => row.includes('Unable to save the game'));
  const expected = 'Unable to save the game to save1.txt: the browser could not store it (';
  if (!said.startsWith(expected) || !atPause(rows)) throw new Failure('the failed save is said as: ' + said);
  console.log('without IndexedDB: ' + said);
  await pressEnterAtPause(page, rows);
  await waitForScreen(page, "the road's notice", showsText('Next town is about 15 miles away'));

  await loadPage(page);
  await recordOutput(page);
  await typeLine(page, '4');
  // Load Game says why nothing happened and waits for Enter before the menu.
  const noSave = await waitForScreen(page, 'Load Game finding no save',
    (r) => atPause(r) || r.join('\n') === MAIN_MENU.join('\n'));
  if (!noSave.includes('Unable to open file') || !atPause(noSave)) {
    throw new Failure('a save was found: ' + noSave.join('\n'));
  }
  await pressEnterAtPause(page, noSave);
  await waitForScreen(page, 'the main menu again', (r) => r.join('\n') === MAIN_MENU.join('\n'));
  console.log('after a reload without IndexedDB, Load Game finds no save');
  await context.close();
}

// --- Layout ------------------------------------------------------------------

// Where the terminal sits: its font and cells, its columns, the screen's
// edges, the scroll bar's inner edge and the window's width.
async function layoutOf(page) {
  return page.evaluate(() => {
    const screen = document.querySelector('.xterm-screen').getBoundingClientRect();
    const viewport = document.querySelector('.xterm-viewport');
    const cell = window.term._core._renderService.dimensions.css.cell;
    return {
      cols: window.term.cols,
      rows: window.term.rows,
      fontSize: window.term.options.fontSize,
      fontsGiven: window.fontsGiven.splice(0),  // since the last look
      rowHeight: cell.height,
      screenLeft: screen.left,
      screenRight: screen.right,
      screenBottom: screen.bottom,
      scrollBarLeft: viewport.getBoundingClientRect().left + viewport.clientWidth,
      windowWidth: document.documentElement.clientWidth,
      windowHeight: window.innerHeight,
    };
  });
}

// Every column and row is in the window and none lies under the scroll
// bar; rows are at least 12 CSS pixels tall; the font was found at once
// (one font at most given to the open terminal since the last look).
function checkLayout(what, layout) {
  const said = `${what}: ${JSON.stringify(layout)}`;
  if (layout.fontsGiven.length > 1) throw new Failure('the font was found by trying several: ' + said);
  if (layout.rowHeight < 12) throw new Failure('rows under 12 px: ' + said);
  if (layout.screenRight > layout.scrollBarLeft + 0.5) throw new Failure('the scroll bar covers a column: ' + said);
  if (layout.screenLeft < 0 || layout.screenRight > layout.windowWidth) throw new Failure('a column is outside the window: ' + said);
  if (layout.screenBottom > layout.windowHeight + 0.5) throw new Failure('a row is below the window: ' + said);
  console.log(`${what}: ${layout.cols} columns x ${layout.rows} rows, font ${layout.fontSize} px, rows ${layout.rowHeight} px`);
}

// A tablet and a wide screen: the frame line of the first screen is as wide
// as the terminal and whole, with its closing "+" clear of the scroll bar; on
// the wide screen the terminal has all 120 columns at 15 px, centred.
async function checkLayouts(browser) {
  const cases = [
    { what: 'tablet 768x1024', viewport: { width: 768, height: 1024, isMobile: true, hasTouch: true, deviceScaleFactor: 2 } },
    { what: 'window 1000x800', viewport: { width: 1000, height: 800 } },
    { what: 'wide screen 1920x1080', viewport: { width: 1920, height: 1080 }, centred: true },
  ];
  for (const { what, viewport, centred } of cases) {
    const { context, page } = await freshPage(browser, viewport);
    await loadPage(page);
    const layout = await layoutOf(page);
    checkLayout(what, layout);
    await typeLine(page, '1');  // the name prompt: a framed screen
    const rule = '+' + '-'.repeat(layout.cols - 2) + '+';
    await waitForScreen(page, `a frame line of ${layout.cols} columns`, (r) => r.includes(rule));
    if (centred) {
      if (layout.cols !== 120 || layout.fontSize !== 15) throw new Failure(`${what}: not 120 columns at 15 px`);
      const left = layout.screenLeft;
      const right = layout.windowWidth - layout.scrollBarLeft;
      if (Math.abs(left - right) > 2) throw new Failure(`${what}: not centred (${left} px left, ${right} px right)`);
    }
    await context.close();
  }
}

// --- A phone, by touch alone -------------------------------------------------

const PHONE = { width: 390, height: 844, isMobile: true, hasTouch: true, deviceScaleFactor: 3 };

// The middle of the first row of the screen now shown that begins with
// `start`, or a blank spot under the last row when `start` is null.
async function pointAt(page, what, start = null) {
  const point = await page.evaluate((start) => {
    const pick = start === null ? null : (row) => row.startsWith(start);
    const term = window.term;
    const screen = document.querySelector('.xterm-screen').getBoundingClientRect();
    const cell = term._core._renderService.dimensions.css.cell;
    const buffer = term.buffer.active;
    let last = 0;
    for (let y = 0; y < term.rows; ++y) {
      const text = buffer.getLine(buffer.baseY + y).translateToString(true).trimEnd();
      if (text !== '') last = y;
      if (pick !== null && pick(text)) {
        return { x: screen.left + Math.max(1, text.length) * cell.width / 2, y: screen.top + (y + 0.5) * cell.height };
      }
    }
    if (pick !== null) return null;
    return { x: screen.left + screen.width / 2, y: screen.top + Math.min(term.rows - 0.5, last + 3.5) * cell.height };
  }, start);
  if (point === null) throw new Failure('nothing to tap or click for ' + what);
  return point;
}

async function tap(page, what, start = null) {
  const point = await pointAt(page, what, start);
  await page.touchscreen.tap(point.x, point.y);
}

async function click(page, what, start = null) {
  const point = await pointAt(page, what, start);
  await page.mouse.click(point.x, point.y);
}

const touchPlay = {
  choose: (page, number) => tap(page, `[${number}]`, `[${number}] `),
  space: (page) => tap(page, 'the space bar'),
  pause: (page) => tap(page, 'the pause', PAUSE),
};

// A desktop's mouse does what a finger does.
const mousePlay = {
  choose: (page, number) => click(page, `[${number}]`, `[${number}] `),
  space: (page) => click(page, 'the space bar'),
  pause: (page) => click(page, 'the pause', PAUSE),
};

// A phone keyboard as Android's send their keys: key code 229 with the text
// in a composition, committed at once; Backspace and Enter as input events.
async function composeText(page, session, text) {
  const down = { type: 'rawKeyDown', windowsVirtualKeyCode: 229, nativeVirtualKeyCode: 229, key: 'Unidentified' };
  const up = { type: 'keyUp', windowsVirtualKeyCode: 229, nativeVirtualKeyCode: 229, key: 'Unidentified' };
  for (let length = 1; length <= text.length; ++length) {
    await session.send('Input.dispatchKeyEvent', down);
    await session.send('Input.imeSetComposition', { text: text.slice(0, length), selectionStart: length, selectionEnd: length });
    await session.send('Input.dispatchKeyEvent', up);
  }
  await session.send('Input.dispatchKeyEvent', down);
  await session.send('Input.insertText', { text });
  await session.send('Input.dispatchKeyEvent', up);
}

async function phoneKeyByInputEvent(page, inputType) {
  await page.evaluate((type) => {
    const textarea = window.term.textarea;
    const key = (kind) => {
      const event = new KeyboardEvent(kind, { key: 'Unidentified', bubbles: true, cancelable: true });
      Object.defineProperty(event, 'keyCode', { get: () => 229 });
      return event;
    };
    textarea.dispatchEvent(key('keydown'));
    const before = new InputEvent('beforeinput', { inputType: type, bubbles: true, cancelable: true });
    if (textarea.dispatchEvent(before)) {
      if (type === 'deleteContentBackward') textarea.value = textarea.value.slice(0, -1);
      else textarea.value += '\n';
      textarea.dispatchEvent(new InputEvent('input', { inputType: type, bubbles: true }));
    }
    textarea.dispatchEvent(key('keyup'));
  }, inputType);
}

async function keyboardWanted(page) {
  return page.evaluate(() => window.term.textarea.getAttribute('inputmode') === 'text' &&
    document.activeElement === window.term.textarea);
}

// Waits until the page asks for the on-screen keyboard, or no longer does.
async function waitForKeyboard(page, wanted, what) {
  await pollUntil(() => keyboardWanted(page), (now) => now === wanted, () => what);
}

// A picture of 64 columns, the second line with an escape that would make
// the rest red; planted in the working folder, where the game looks first.
const WIDE_PICTURE_LINE = '0123456789'.repeat(6) + 'WXYZ';
const PLANTED_PICTURE = WIDE_PICTURE_LINE + '\r\n\x1b[31mred\x07\n' + WIDE_PICTURE_LINE + '\n';

async function plantPictures(page) {
  await page.evaluate((picture) => {
    for (const name of ['bear.txt', 'hippopotamus.txt', 'wasp.txt', 'raven.txt']) FS.writeFile('/save/' + name, picture);
  }, PLANTED_PICTURE);
}

async function playOnAPhone(browser) {
  const { context, page } = await freshPage(browser, PHONE);
  await loadPage(page);
  checkLayout('phone 390x844', await layoutOf(page));
  if (await keyboardWanted(page)) throw new Failure('the keyboard opens at the main menu');

  // Half-typed "9" is dropped: the tap answers 1, as if typed with Enter.
  await page.keyboard.type('9');
  await tap(page, '[1] New Game', '[1] ');
  await waitForScreen(page, 'the name prompt', (r) => r.length > 0 && r[r.length - 1] === '>' && showsText('What is your name?')(r));
  await waitForKeyboard(page, true, 'the keyboard is not asked for at the name prompt');
  const session = await page.createCDPSession();
  await page.evaluate(() => {
    window.sentKeys = [];
    window.term.onData((data) => window.sentKeys.push(data));
  });
  await composeText(page, session, 'Anx');
  await waitForScreen(page, 'the composed name', (r) => r[r.length - 1] === '> Anx');
  await phoneKeyByInputEvent(page, 'deleteContentBackward');
  await waitForScreen(page, 'the name after Backspace', (r) => r[r.length - 1] === '> An');
  await composeText(page, session, 'a');
  await waitForScreen(page, 'the name mended', (r) => r[r.length - 1] === '> Ana');
  await phoneKeyByInputEvent(page, 'insertLineBreak');
  await waitForScreen(page, 'the screen after the name', (r) => !showsText('What is your name?')(r));
  const sent = await page.evaluate(() => window.sentKeys);
  console.log('a phone keyboard sent: ' + JSON.stringify(sent));
  if (JSON.stringify(sent) !== JSON.stringify(['Anx', '\x7f', 'a', '\r'])) throw new Failure('composed keys sent as ' + JSON.stringify(sent));

  // The pauses, tapped, until the first fight; its picture is cut at 41
  // columns once the window is that narrow.
  await plantPictures(page);
  await waitForScreen(page, 'the backstory', atPause);
  await waitForKeyboard(page, false, 'the keyboard stays open at a pause');
  const intro = await passPausesUntil(page, 'the first fight', showsText('You have encountered a level'), touchPlay);
  if (!intro.includes(WIDE_PICTURE_LINE.slice(0, (await layoutOf(page)).cols))) {
    throw new Failure('the picture is not cut at the terminal\'s width:\n' + intro.join('\n'));
  }
  await passPausesUntil(page, 'the turn screen', atTurn, touchPlay);

  // The bar, stopped by a tap anywhere: a tap this long after its first
  // frame, and the grade read under it.
  for (const [delayMs, grade] of [[1000, 'Critical'], [200, 'Hit']]) {
    await healWithSpaceAfter(page, delayMs, grade, touchPlay);
  }
  if (screenshotPath) await page.screenshot({ path: screenshotPath.replace(/\.png$/, '') + '-phone.png' });

  // 41 columns: the next fight's picture shows each line's first 41 columns
  // and the escape as "?".
  const cell = await page.evaluate(() => window.term._core._renderService.dimensions.css.cell.width);
  const scrollBar = await page.evaluate(() => window.term._core.viewport.scrollBarWidth || 0);
  await page.setViewport({ ...PHONE, width: Math.floor(41.5 * cell) + 16 + scrollBar });
  await typeLine(page, '6142');  // the fight's hidden winning answer
  const next = await passPausesUntil(page, 'the next fight', showsText('You have encountered a level'), touchPlay);
  const columns = await page.evaluate(() => window.term.cols);
  const first = next.indexOf(WIDE_PICTURE_LINE.slice(0, 41));
  if (columns !== 41 || first < 0 || next[first + 1] !== '?[31mred?' || next[first + 2] !== WIDE_PICTURE_LINE.slice(0, 41)) {
    throw new Failure(`the picture at ${columns} columns:\n` + next.join('\n'));
  }
  checkLayout('phone at 41 columns', await layoutOf(page));
  console.log('on a phone: menus, the name, the pauses and the bar by touch; the picture cut at 41 columns');
  await context.close();
}

// --- The save in and out -----------------------------------------------------

// Waits until `test` holds for the message beside the save's buttons, and returns it.
function saveMessage(page, what, test) {
  const message = () => page.$eval('#save-message', (element) => element.textContent);
  return pollUntil(message, test, (text) => `waited for ${what}; the page says "${text}"`);
}

// Clicks "Export save" and returns the downloaded file's bytes.
async function exportSave(page, folder) {
  const file = path.join(folder, 'save1.txt');
  fs.rmSync(file, { force: true });
  await page.click('#export-save');
  await saveMessage(page, 'the export', (text) => text.startsWith('Exported'));
  await pollUntil(() => fs.existsSync(file), Boolean, () => 'no save1.txt was downloaded');
  await sleep(200);  // the download is renamed once complete
  return fs.readFileSync(file);
}

async function importFile(page, file, dialogAnswer = null) {
  let asked = null;
  const answer = async (dialog) => {
    asked = dialog.message();
    if (dialogAnswer) await dialog.accept();
    else await dialog.dismiss();
  };
  page.on('dialog', answer);
  await page.$eval('#save-message', (element) => { element.textContent = ''; });
  const input = await page.$('#import-save');
  await input.uploadFile(file);
  const said = await saveMessage(page, 'the import', (text) => text !== '' && !text.startsWith('Importing'));
  page.off('dialog', answer);
  return { said, asked };
}

async function storedSave(page) {
  return page.evaluate(() => {
    const bytes = Module.talvoren.storedSave();
    return bytes === null ? null : Array.from(bytes);
  });
}

// The town save of the main play goes out and into a fresh browser profile
// as a Windows save (CR LF), where Load Game continues it; files that are no
// save, or too large to be one, are refused and the stored save kept.
async function checkSaveTransfer(browser, savedPage, folder) {
  const exported = await exportSave(savedPage, folder);
  const stored = await storedSave(savedPage);
  if (JSON.stringify(Array.from(exported)) !== JSON.stringify(stored)) throw new Failure('the export differs from the stored save');
  const lines = exported.toString('latin1').split('\n');
  if (lines.length !== 14 || lines[0] !== 'Act 1') throw new Failure('the exported save is not 14 lines: ' + JSON.stringify(lines));
  console.log(`exported save1.txt: ${exported.length} bytes, 14 lines`);

  const windowsSave = path.join(folder, 'windows-save.txt');
  fs.writeFileSync(windowsSave, exported.toString('latin1').replace(/\n/g, '\r\n'), 'latin1');
  const windowsBytes = Array.from(fs.readFileSync(windowsSave));
  const notASave = path.join(folder, 'notes.txt');
  fs.writeFileSync(notASave, 'Act 2\nAna\n');
  const tooLarge = path.join(folder, 'huge.txt');
  fs.writeFileSync(tooLarge, Buffer.concat([exported, Buffer.alloc(1024 * 1024, 0x20)]));

  const { context, page } = await freshPage(browser, DESKTOP, { downloadBehavior: { policy: 'allow', downloadPath: folder } });
  await loadPage(page);
  await page.click('#export-save');
  await saveMessage(page, 'the export with no save', (text) => text.startsWith('No save to export'));

  // Imports in turn: the file, the answer to "replace the save?" (null: the
  // page must not ask), what the page says, and the save stored after it.
  const imports = [
    [notASave, null, /not a save/, null],
    [windowsSave, null, /^Imported/, windowsBytes],
    [tooLarge, null, /over 1 MB/, windowsBytes],
    [notASave, null, /not a save/, windowsBytes],
    [windowsSave, false, /kept/, windowsBytes],
    [windowsSave, true, /^Imported/, windowsBytes],
  ];
  for (const [file, answer, says, kept] of imports) {
    const { said, asked } = await importFile(page, file, answer);
    const what = `importing ${path.basename(file)} (answer ${answer})`;
    if (!says.test(said) || (asked === null) !== (answer === null)) throw new Failure(`${what}: asked ${asked}, said ${said}`);
    if (JSON.stringify(await storedSave(page)) !== JSON.stringify(kept)) throw new Failure(`${what}: the stored save is not as given`);
  }
  if (JSON.stringify(Array.from(await exportSave(page, folder))) !== JSON.stringify(windowsBytes)) {
    throw new Failure('the export differs from the imported bytes');
  }

  // Stored in IndexedDB: a reload and Load Game continue the imported game.
  await loadPage(page);
  await typeLine(page, '4');
  await waitForScreen(page, 'the town menu of the imported save', showsText(TOWN_HEADING));
  console.log('the exported save, imported with CR LF into a fresh browser, loads in the town');
  await context.close();
}

// --- Before the game ---------------------------------------------------------

// The page says "Loading Talvoren…" in its own HTML until the terminal draws,
// and says plainly when the browser has no WebAssembly.
async function checkPageSpeaksFirst(browser) {
  const html = await (await fetch(siteUrl)).text();
  if (!html.includes('>Loading Talvoren…</p>')) throw new Failure('the page says nothing while it loads');
  const { context, page } = await freshPage(browser);
  await page.evaluateOnNewDocument(() => {
    delete window.WebAssembly;
  });
  await page.goto(siteUrl, { waitUntil: 'load' });
  const said = await page.$eval('#loading', (element) => (element.hidden ? '' : element.textContent));
  if (!said.includes('no WebAssembly')) throw new Failure('without WebAssembly the page says: ' + said);
  console.log('without WebAssembly: ' + said);
  // The watch for the policy's violations sees one: an inline script is refused.
  await page.evaluate(() => {
    const script = document.createElement('script');
    script.textContent = 'window.inlineScriptRan = true;';
    document.body.appendChild(script);
  });
  await pollUntil(() => policyViolations.length > 0, Boolean,
    () => 'an inline script broke no policy, or its violation went unseen');
  if (await page.evaluate(() => window.inlineScriptRan === true)) throw new Failure('an inline script ran');
  console.log('the policy refuses an inline script: ' + policyViolations.splice(0).join('; '));
  await context.close();
}

// --- Offline -----------------------------------------------------------------

// After one visit the service worker holds the site: with the server stopped
// a reload still brings the main menu, and the game plays.
async function playOffline(browser) {
  const { context, page } = await freshPage(browser);
  await loadPage(page);
  const cache = await page.evaluate(async () => {
    await navigator.serviceWorker.ready;
    const names = await caches.keys();
    const cached = names.length === 1 ? (await (await caches.open(names[0])).keys()).length : 0;
    return { names, cached };
  });
  if (cache.names.length !== 1 || !/^talvoren-\d+\.\d+\.\d+-[0-9a-f]{16}$/.test(cache.names[0]) || cache.cached < 10) {
    throw new Failure('the site is not cached: ' + JSON.stringify(cache));
  }
  process.kill(process.ppid, 'SIGUSR1');  // serve_and_run.py stops serving
  const deadline = Date.now() + STEP_TIMEOUT_MS;
  for (;;) {
    const refused = await fetch(siteUrl).then(() => false, () => true);
    if (refused) break;
    if (Date.now() > deadline) throw new Failure('the server did not stop');
    await sleep(100);
  }
  await loadPage(page);
  await typeLine(page, '1');
  await waitForScreen(page, 'the name prompt offline', showsText('What is your name?'));
  console.log(`with the server stopped, the site comes from the cache "${cache.names[0]}" (${cache.cached} files) and plays`);
  await context.close();
}

// The main play runs in a browser profile whose downloads go to `folder`.
async function play(browser, folder) {
  const { context, page } = await freshPage(browser, DESKTOP, { downloadBehavior: { policy: 'allow', downloadPath: folder } });
  await loadPage(page);
  const title = await page.title();
  if (title !== TITLE) throw new Failure(`title "${title}"`);
  if (!(await page.$eval('#loading', (element) => element.hidden))) throw new Failure('"Loading" stays after the menu');
  if (await page.$('script:not([src])')) throw new Failure('the page has an inline script');
  const policy = await page.$eval('meta[http-equiv="Content-Security-Policy"]', (meta) => meta.content);
  console.log(`main menu titled "${title}", under the policy "${policy}"`);
  await playIntoFirstFight(page);

  // Each heal: the space (or a click) this long after the bar's first frame,
  // and the grade the player then reads under the bar.
  const heals = [
    [200, 'Hit', keyboardPlay],
    [1000, 'Critical', keyboardPlay],
    [2500, 'Miss', keyboardPlay],
    [1000, 'Critical', mousePlay],
  ];
  for (const [delayMs, grade, how] of heals) await healWithSpaceAfter(page, delayMs, grade, how);
  console.log('the mouse chose Heal, stopped the bar and passed the pauses');
  await page.focus('.xterm-helper-textarea');

  // The road: every fight won, every pause passed, until the wizard's town.
  let fights = 1;
  await winFight(page);
  for (;;) {
    const rows = await passPausesUntil(page, 'a fight or the town',
      (r) => atTurn(r) || showsText(TOWN_HEADING)(r));
    if (showsText(TOWN_HEADING)(rows)) break;
    if (++fights > 40) throw new Failure('no town after 40 fights');
    await winFight(page);
  }
  console.log(`the wizard's town after ${fights} fights`);

  await typeLine(page, '3');
  const sheet = await waitForScreen(page, 'the character sheet', showsText('Strength '));
  await typeLine(page, '99');
  await waitForScreen(page, 'the town menu', showsText(TOWN_HEADING));
  await typeLine(page, '98');
  await sleep(500);
  const afterSave = await waitForScreen(page, 'the town menu after the save', (r) => showsText(TOWN_HEADING)(r) && r[r.length - 1] === '>');
  if (showsText('Unable to save')(afterSave)) throw new Failure('the save failed:\n' + afterSave.join('\n'));

  // A reload is a new run: Load Game must find the save in IndexedDB.
  await loadPage(page);
  await typeLine(page, '4');
  await waitForScreen(page, 'the town menu of the loaded game', showsText(TOWN_HEADING));
  await typeLine(page, '3');
  const loadedSheet = await waitForScreen(page, 'the loaded character sheet', showsText('Strength '));
  if (loadedSheet.join('\n') !== sheet.join('\n')) {
    throw new Failure('the loaded hero differs:\n' + sheet.join('\n') + '\n---\n' + loadedSheet.join('\n'));
  }
  console.log('after a reload, Load Game resumed in the town with the same hero');
  await typeLine(page, '99');
  await waitForScreen(page, 'the town menu', showsText(TOWN_HEADING));
  await checkSaveTransfer(browser, page, folder);
  await page.bringToFront();
  await checkNarrowWindow(page);
  await typeLine(page, '99');
  await waitForScreen(page, 'the end of the game', showsText('[The game has ended.'));
  return page;
}

async function main(browser) {
  await checkPageSpeaksFirst(browser);
  await playWithStorageRefused(browser);
  await playOnAPhone(browser);
  await checkLayouts(browser);
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), 'talvoren-web-'));
  let page;
  try {
    page = await play(browser, downloads);
  } finally {
    fs.rmSync(downloads, { recursive: true, force: true });
  }
  await playOffline(browser);
  checkWatchedPages();
  console.log('browser play: all checks passed');
  if (screenshotPath) await page.screenshot({ path: screenshotPath }).catch(() => {});
}

// Run as a script it plays; required, it lends its helpers to the page's
// other checks (tests/web/page_access.cjs) and to bench/web_play.cjs.
if (require.main === module) {
  runChecks(main, (browser) => showLastPage(browser, screenshotPath));
} else {
  module.exports = {
    atPause, atTurn, typeLine, passPausesUntil, loadPage, newPage, freshPage, checkWatchedPages, healOnce,
    gradeOnScreen, playIntoFirstFight, saveMessage, blockStorage, touchPlay, pageErrors, PHONE, MAIN_MENU,
  };
}
