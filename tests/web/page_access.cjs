// The page for thumbs, ears and keyboards, played in headless Chromium: a
// phone's text size and finger-sized answers, one tap one answer, a tap
// anywhere at a pause, an autocorrecting keyboard's word and Enter at once
// on a slowed processor, a 10,000-letter word, the screen reader's tree, the
// bar's sound, Tab out of the terminal, settings with storage blocked, a
// long message on a phone and the colours' contrast. Usage:
//   node page_access.cjs <site url> <screenshot.png>
// Exits 1 with the terminal's text on the first thing that is not as expected.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const {
  Failure, sleep, screenRows, pollUntil, waitForScreen, showsText, showLastPage, runChecks,
} = require('./screen.cjs');
const {
  atPause, atTurn, typeLine, passPausesUntil, loadPage, freshPage, checkWatchedPages, healOnce, gradeOnScreen,
  playIntoFirstFight, saveMessage, blockStorage, pageErrors, PHONE, MAIN_MENU,
} = require('./play_in_browser.cjs');

const [, screenshotPath] = process.argv.slice(2);
const NAME_PROMPT = 'What is your name?';

// Everything the page hands the game, in order, from now on.
async function recordKeys(page) {
  await page.evaluate(() => {
    if (window.sentKeys === undefined) window.term.onData((data) => window.sentKeys.push(data));
    window.sentKeys = [];
  });
}
const sentKeys = (page) => page.evaluate(() => window.sentKeys);

// Waits until `test(argument)`, run in the page, gives something, and returns that.
function waitUntil(page, what, test, argument) {
  return pollUntil(() => page.evaluate(test, argument), Boolean, () => 'waited for ' + what);
}

// The answer buttons shown now: label, box and whether they take an answer.
async function answerButtons(page) {
  return page.$$eval('#answers button', (buttons) => buttons.map((b) => {
    const box = b.getBoundingClientRect();
    return { label: b.textContent, x: box.x + box.width / 2, y: box.y + box.height / 2,
      width: box.width, height: box.height, busy: b.getAttribute('aria-disabled') === 'true' };
  }));
}

function waitForButtons(page, what, test) {
  return pollUntil(() => answerButtons(page), (buttons) => buttons.length > 0 && test(buttons),
    (buttons) => `waited for the answer buttons of ${what}: ${JSON.stringify(buttons)}`);
}

// --- A phone held upright ----------------------------------------------------

// 14 px text, the main menu's answers as buttons of 44x44 px or more in the
// lower half, a double tap answering once, a word of 10,000 letters, and a
// tap on blank terminal rows and on the page's margin each going on at a
// pause.
async function checkPhone(browser) {
  const { context, page } = await freshPage(browser, PHONE);
  await loadPage(page);
  const font = await page.evaluate(() => window.term.options.fontSize);
  if (font < 14) throw new Failure(`the phone's text is ${font} px`);
  const menu = MAIN_MENU.filter((row) => row.startsWith('['));
  const buttons = await waitForButtons(page, 'the main menu', (b) => b.length === menu.length);
  const small = buttons.filter((b) => b.width < 44 || b.height < 44 || b.y < PHONE.height / 2);
  if (buttons.map((b) => b.label).join('|') !== menu.join('|') || small.length > 0) {
    throw new Failure('the main menu\'s buttons: ' + JSON.stringify(buttons));
  }
  if (screenshotPath) await page.screenshot({ path: screenshotPath.replace(/\.png$/, '') + '-phone-menu.png' });

  await recordKeys(page);
  // Two taps faster than the game draws its next screen.
  await page.$eval('#answers button', (button) => {
    button.click();
    button.click();
  });
  await waitForScreen(page, 'the name prompt', showsText(NAME_PROMPT));
  await sleep(300);  // a second answer would have been typed by now
  const keys = await sentKeys(page);
  if (JSON.stringify(keys) !== JSON.stringify(['\x151\r'])) throw new Failure('a double tap sent ' + JSON.stringify(keys));
  if ((await screenRows(page)).some((row) => row.startsWith('> 1'))) throw new Failure('the second tap reached the name');

  // A composed word of 10,000 letters: the line keeps its 4,095, and the
  // Enter after it still ends it.
  const session = await page.createCDPSession();
  await page.evaluate(() => {
    window.echoed = '';
    const write = Module.talvoren.write;
    Module.talvoren.write = (bytes) => {
      window.echoed += new TextDecoder().decode(bytes);
      write(bytes);
    };
  });
  const word = 'a'.repeat(10000);
  await session.send('Input.imeSetComposition', { text: word.slice(0, 5000), selectionStart: 5000, selectionEnd: 5000 });
  await session.send('Input.insertText', { text: word });
  await session.send('Input.dispatchKeyEvent', { type: 'keyDown', key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13, text: '\r' });
  await session.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13 });
  const story = await waitForScreen(page, 'the screen after the long name', (r) => atPause(r) && !showsText(NAME_PROMPT)(r));
  // The echo of the typed line, up to the line end the Enter gives.
  const kept = (await page.evaluate(() => window.echoed)).split(/[\r\n]/)[0].split('a').length - 1;
  if (kept !== 4095) throw new Failure(`the long word echoed ${kept} letters`);
  console.log('on a phone: 14 px text, menu buttons of 44 px and more, a double tap answers once, a word of 10,000 letters keeps 4,095');

  // A pause goes on by a tap on the terminal's blank rows, then by a tap on
  // the page's margin beside it.
  const blank = await page.evaluate(() => {
    const screen = document.querySelector('.xterm-screen').getBoundingClientRect();
    return { x: screen.left + screen.width / 2, y: screen.bottom - 4 };
  });
  let shown = story;
  for (const [where, x] of [['blank rows', blank.x], ['the margin', 3]]) {
    if (!atPause(shown)) throw new Failure(`no pause for a tap on ${where}:\n` + shown.join('\n'));
    await sleep(100);  // the tap lock ends once the game waits again
    await recordKeys(page);
    await page.touchscreen.tap(x, blank.y);
    const before = shown.join('\n');
    shown = await waitForScreen(page, `the screen after a tap on ${where}`, (r) => r.join('\n') !== before);
    const answered = await sentKeys(page);
    if (JSON.stringify(answered) !== JSON.stringify(['\x15\r'])) throw new Failure(`a tap on ${where} sent ` + JSON.stringify(answered));
  }
  console.log('on a phone: a tap on blank rows and on the margin each go on at a pause');
  await context.close();
}

// --- An autocorrecting keyboard on a slowed phone ----------------------------

// "Ma" composed, committed as "Mara" by the keyboard, and its Enter in the
// same instant, on a processor slowed six times, in eight fresh pages: the
// game gets the name whole, once, before the Enter.
async function checkAutocorrect(browser) {
  for (let run = 1; run <= 8; ++run) {
    const { context, page } = await freshPage(browser, PHONE);
    await page.emulateCPUThrottling(6);
    await loadPage(page);
    const [newGame] = await waitForButtons(page, 'the main menu', (b) => b.length > 0);
    await page.touchscreen.tap(newGame.x, newGame.y);
    await waitForScreen(page, 'the name prompt', (r) => showsText(NAME_PROMPT)(r) && r[r.length - 1] === '>');
    await recordKeys(page);
    const session = await page.createCDPSession();
    const key229 = (type) => ({ type, windowsVirtualKeyCode: 229, nativeVirtualKeyCode: 229, key: 'Unidentified' });
    for (const step of ['M', 'Ma']) {
      await session.send('Input.dispatchKeyEvent', key229('rawKeyDown'));
      await session.send('Input.imeSetComposition', { text: step, selectionStart: step.length, selectionEnd: step.length });
      await session.send('Input.dispatchKeyEvent', key229('keyUp'));
    }
    await Promise.all([
      session.send('Input.insertText', { text: 'Mara' }),
      session.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13 }),
      session.send('Input.dispatchKeyEvent', { type: 'char', key: 'Enter', text: '\r' }),
      session.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Enter', code: 'Enter', windowsVirtualKeyCode: 13 }),
    ]);
    await waitForScreen(page, 'the screen after the name', (r) => !showsText(NAME_PROMPT)(r), 60000);
    const keys = await sentKeys(page);
    if (keys.join('') !== 'Mara\r') throw new Failure(`run ${run}: the game got ${JSON.stringify(keys)}`);
    await context.close();
  }
  console.log('an autocorrected "Ma" -> "Mara" with Enter at once, CPU x6: the game got "Mara" then Enter in 8 of 8 fresh pages');
}

// --- Screen reader -----------------------------------------------------------

// The page's accessibility tree: every node with its role and name.
async function accessibleNodes(page) {
  const session = await page.createCDPSession();
  const { nodes } = await session.send('Accessibility.getFullAXTree');
  await session.detach();
  return nodes.filter((node) => !node.ignored).map((node) => ({
    role: node.role ? node.role.value : '',
    name: node.name ? String(node.name.value) : '',
  }));
}

// The text the live region holds, line by line.
const readerLines = (page) => page.$$eval('#reader p', (lines) => lines.map((line) => line.textContent));

// With "Screen reader" on (and remembered over a reload), the main menu is in
// the accessibility tree, every control has a name; the bar is announced
// once, not per frame; after the grade the region reads the grade and the
// damage, and the first fight's picture by its name.
async function checkScreenReader(browser) {
  const { context, page } = await freshPage(browser, { width: 1200, height: 800 });
  await loadPage(page);
  await page.click('#screen-reader');
  await loadPage(page);
  if (await page.$eval('#screen-reader', (b) => b.getAttribute('aria-pressed')) !== 'true') throw new Failure('"Screen reader" was not remembered');
  await waitUntil(page, 'the main menu read', () => document.querySelectorAll('#reader p').length > 0);
  const nodes = await accessibleNodes(page);
  const texts = nodes.map((node) => node.name);
  const missing = MAIN_MENU.filter((row) => row.startsWith('[') && !texts.includes(row));
  if (missing.length > 0) throw new Failure('the accessibility tree lacks ' + JSON.stringify(missing));
  const controls = ['button', 'textbox', 'checkbox', 'combobox'];
  const unnamed = nodes.filter((node) => controls.includes(node.role) && node.name.trim() === '');
  if (unnamed.length > 0) throw new Failure('controls without a name: ' + JSON.stringify(unnamed));
  for (const name of ['Export save', 'Import save', 'Screen reader', 'Sound']) {
    if (!nodes.some((node) => node.name.startsWith(name))) throw new Failure('no control named ' + name);
  }
  console.log('screen reader: the main menu is in the accessibility tree, every control named');

  await page.focus('.xterm-helper-textarea');
  await typeLine(page, '1');
  await waitForScreen(page, 'the name prompt', (r) => r[r.length - 1] === '>');
  await typeLine(page, 'Ana');
  const meeting = await passPausesUntil(page, 'the first fight', showsText('You have encountered a level'));
  const met = meeting.find((row) => row.includes('You have encountered')).trim();
  const fightSaid = await waitUntil(page, 'the fight read', (text) => {
    const lines = Array.from(document.querySelectorAll('#reader p'), (p) => p.textContent);
    return lines.includes(text) ? lines : null;
  }, met);
  const picture = fightSaid.filter((line) => /^An? (Bear|Hippopotamus|Wasp|Raven)$/.test(line));
  if (picture.length !== 1 || fightSaid.some((line) => /[|\\/_~`.-]{4}|^[+-]+$/.test(line))) {
    throw new Failure('the fight is read as ' + JSON.stringify(fightSaid) + '\non a screen of\n' + meeting.join('\n'));
  }
  console.log(`screen reader: the fight's picture read as "${picture[0]}"`);
  await passPausesUntil(page, 'the turn screen', atTurn);

  // The bar: announced once, however many frames it draws; then the grade
  // and the damage lines, before the pause.
  await typeLine(page, '2');
  await waitForScreen(page, 'the bar', (r) => r.length > 0 && r[0].startsWith('[:'));
  await waitUntil(page, 'the bar announced', () => document.getElementById('reader').textContent.includes('Space'));
  await page.evaluate(() => {
    window.readerChanges = 0;
    new MutationObserver(() => { ++window.readerChanges; })
      .observe(document.getElementById('reader'), { childList: true, subtree: true, characterData: true });
  });
  await sleep(600);
  const during = await page.evaluate(() => window.readerChanges);
  await page.keyboard.press('Space');
  const rows = await waitForScreen(page, 'the grade and its pause', atPause);
  await waitUntil(page, 'the grade read', () => !document.getElementById('reader').textContent.includes('Space'));
  const said = await readerLines(page);
  const grade = gradeOnScreen(rows);
  const damage = rows.slice(2, -2).filter((row) => row.trim() !== '');
  if (during !== 0 || said[0] !== grade || damage.some((row) => !said.includes(row.trim())) || said.includes('>')) {
    throw new Failure(`${during} changes during the bar; after it the region reads ${JSON.stringify(said)} for\n${rows.join('\n')}`);
  }
  console.log('screen reader: the bar announced once; after it ' + JSON.stringify(said));
  await context.close();
}

// --- The bar by ear ----------------------------------------------------------

// Sound on: a tone per frame of the bar, rising while the fill nears the red
// zone, a distinct (square) one while it stands in it, counted through a
// wrapped AudioContext; a space long after the bar's end reads "Miss", as
// without sound.
async function checkSound(browser) {
  const { context, page } = await freshPage(browser, { width: 1200, height: 800 });
  await page.evaluateOnNewDocument(() => {
    window.tones = [];
    const Real = window.AudioContext;
    window.AudioContext = class extends Real {
      createOscillator() {
        const oscillator = super.createOscillator();
        const start = oscillator.start.bind(oscillator);
        oscillator.start = (...args) => {
          window.tones.push({ type: oscillator.type, hz: oscillator.frequency.value });
          start(...args);
        };
        return oscillator;
      }
    };
  });
  await loadPage(page);
  if (await page.$eval('#sound', (b) => b.getAttribute('aria-pressed')) !== 'false') throw new Failure('sound is on by default');
  await page.click('#sound');
  await page.focus('.xterm-helper-textarea');
  await playIntoFirstFight(page);
  await page.evaluate(() => { window.tones = []; });
  const { grade } = await healOnce(page, 2200);
  const tones = await page.evaluate(() => window.tones);
  const letters = { sine: 's', square: 'q', triangle: 't' };
  const kinds = tones.map((tone) => letters[tone.type] || '?').join('');
  const rising = tones.filter((tone) => tone.type === 'sine').map((tone) => tone.hz);
  // Sine tones while the fill nears the red zone, six square ones in it,
  // then the low tones of the white zone.
  if (grade !== 'Miss' || !/^s{15,}q{6}t+$/.test(kinds) || rising.some((hz, i) => i > 0 && hz <= rising[i - 1])) {
    throw new Failure(`the bar's tones, for "${grade}": ${kinds} ${JSON.stringify(rising)}`);
  }
  console.log(`sound: ${tones.length} tones for one bar (${kinds.length - kinds.replace(/q/g, '').length} in the red zone), then "${grade}"`);
  await context.close();
}

// --- The keyboard reaches the page -------------------------------------------

// Shift+Tab from the terminal walks back through every control, each
// showing its focus, and no Tab reaches the game; Space and Enter work the
// toggles. With storage blocked the toggles work and start off after a
// reload, and no page error is raised.
async function checkKeyboardAndStorage(browser) {
  const { context, page } = await freshPage(browser, { width: 1200, height: 800 });
  await blockStorage(page, 'localStorage');
  await loadPage(page);
  await recordKeys(page);
  const focusedId = () => page.evaluate(() => {
    const element = document.activeElement;
    const framed = element.id === 'import-save' ? element.parentElement : element;
    return { id: element.id || element.className, outline: getComputedStyle(framed).outlineStyle };
  });
  const walk = [];
  for (let i = 0; i < 4; ++i) {
    await page.keyboard.down('Shift');
    await page.keyboard.press('Tab');
    await page.keyboard.up('Shift');
    walk.push(await focusedId());
  }
  const ids = walk.map((step) => step.id).join(',');
  if (ids !== 'sound,screen-reader,import-save,export-save' || walk.some((step) => step.outline === 'none')) {
    throw new Failure('Shift+Tab from the terminal went ' + JSON.stringify(walk));
  }
  await page.focus('.xterm-helper-textarea');
  await page.keyboard.press('Tab');
  if ((await focusedId()).id === 'xterm-helper-textarea') throw new Failure('Tab stays in the terminal');
  if ((await sentKeys(page)).length > 0) throw new Failure('a Tab reached the game: ' + JSON.stringify(await sentKeys(page)));
  await page.focus('#sound');
  await page.keyboard.press('Space');
  await page.focus('#screen-reader');
  await page.keyboard.press('Enter');
  const pressed = await page.$$eval('#sound, #screen-reader', (b) => b.map((e) => e.getAttribute('aria-pressed')));
  if (pressed.join() !== 'true,true') throw new Failure('the toggles by keyboard: ' + pressed);
  await loadPage(page);
  const after = await page.$$eval('#sound, #screen-reader', (b) => b.map((e) => e.getAttribute('aria-pressed')));
  if (after.join() !== 'false,false') throw new Failure('with storage blocked the toggles came back as ' + after);
  console.log('Shift+Tab walks the controls with a visible focus, Tab leaves the terminal, no Tab reaches the game; storage blocked: the toggles work and start off');
  await context.close();
}

// --- A long message on a phone, and the colours -------------------------------

// A tap while a file is being imported answers nothing; the file's refusal,
// long on a phone, wraps inside the window.

async function checkLongMessage(browser, folder) {
  const { context, page } = await freshPage(browser, PHONE);
  await loadPage(page);
  const file = path.join(folder, 'notasave-with-a-long-name-from-the-phone.txt');
  fs.writeFileSync(file, 'Act 2\nAna\n');
  // The file is read only when the test says so: a tap meanwhile waits.
  await recordKeys(page);
  await page.evaluate(() => {
    const read = File.prototype.arrayBuffer;
    File.prototype.arrayBuffer = function () {
      return new Promise((resolve) => { window.finishReading = () => resolve(read.call(this)); });
    };
  });
  const [newGame] = await waitForButtons(page, 'the main menu', (b) => b.length > 0);
  await page.$eval('#save-message', (element) => { element.textContent = ''; });
  await (await page.$('#import-save')).uploadFile(file);
  await saveMessage(page, 'the import under way', (text) => text.startsWith('Importing'));
  await page.touchscreen.tap(newGame.x, newGame.y);
  await page.evaluate(() => window.finishReading());
  const said = await saveMessage(page, 'the refusal', (text) => text.includes('not a save that Load Game can continue.'));
  if ((await sentKeys(page)).length > 0) throw new Failure('a tap answered during the import: ' + JSON.stringify(await sentKeys(page)));
  const box = await page.$eval('#save-message', (element) => {
    const rect = element.getBoundingClientRect();
    return { right: rect.right, left: rect.left, scrollWidth: element.scrollWidth, clientWidth: element.clientWidth,
      width: document.documentElement.clientWidth };
  });
  if (box.left < 0 || box.right > box.width || box.scrollWidth > box.clientWidth) {
    throw new Failure(`"${said}" does not fit the phone: ${JSON.stringify(box)}`);
  }
  if (screenshotPath) await page.screenshot({ path: screenshotPath.replace(/\.png$/, '') + '-phone-message.png' });
  console.log('a long message on a phone wraps inside the window: ' + said);
  await context.close();
}

// Every colour the game draws on black reads at 4.5:1 or more; the bar's
// fill and its three zones differ in lightness, each from the next.
async function checkColours(browser) {
  const { context, page } = await freshPage(browser, { width: 1200, height: 800 });
  await loadPage(page);
  const theme = await page.evaluate(() => window.term.options.theme);
  const luminance = (hex) => {
    const channel = (i) => {
      const c = parseInt(hex.slice(1 + 2 * i, 3 + 2 * i), 16) / 255;
      return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    };
    return 0.2126 * channel(0) + 0.7152 * channel(1) + 0.0722 * channel(2);
  };
  const contrast = (a, b) => (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05);
  const black = luminance(theme.background);
  const drawn = ['foreground', 'green', 'cyan', 'red', 'brightWhite'];
  const low = drawn.filter((name) => contrast(luminance(theme[name]), black) < 4.5);
  // Darkest to lightest: red zone, green fill, cyan zone, white zone.
  const bar = ['red', 'green', 'cyan', 'brightWhite'].map((name) => luminance(theme[name]));
  const close = bar.some((value, i) => i > 0 && contrast(value, bar[i - 1]) < 1.3);
  if (low.length > 0 || close) throw new Failure('colours: ' + JSON.stringify({ low, bar, theme }));
  console.log('colours: every one drawn reads at 4.5:1 or more on black; the bar\'s four differ in lightness');
  await context.close();
}

async function main(browser) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'talvoren-page-'));
  try {
    await checkPhone(browser);
    await checkAutocorrect(browser);
    await checkScreenReader(browser);
    await checkSound(browser);
    await checkKeyboardAndStorage(browser);
    await checkLongMessage(browser, folder);
    await checkColours(browser);
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
  if (pageErrors.length > 0) throw new Failure('page errors: ' + pageErrors.join('; '));
  checkWatchedPages();
  console.log('page access: all checks passed');
}

runChecks(main, (browser) => showLastPage(browser, screenshotPath));
