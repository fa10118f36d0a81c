// Taps, clicks and the answer buttons. The answers of the screen the game
// just drew (its menu entries, or the pause) are also shown as large buttons
// under the terminal, where a thumb rests; a tap on a menu row of the
// terminal answers too. At a pause a tap anywhere on the game's area goes
// on, and while the bar fills a touch anywhere is the space bar. "Anywhere"
// is the terminal and the empty page around it, never the page's controls.
// One tap is one answer: after it, taps are ignored until the game has drawn
// its next screen, so a double tap never answers twice.
'use strict';
window.talvorenTouch = function (page) {
  const PAUSE = 'Press ENTER to continue...';
  const MENU_ENTRY = /^\s*\[(\d+)\]\s+\S/;
  const ERASE_LINE = '\x15';
  const MOST_TAP_MOVE_PX = 10;  // a finger or mouse that moved further selected or scrolled
  const term = page.term;
  const panel = page.answers;

  // What the screen now shown can be answered with, read when the game
  // waits: null while the game is busy with an answer or plays the bar.
  let shown = null;
  let barRuns = false;

  function readScreen() {
    const entries = [];
    let pause = false;
    for (const line of page.screenLines()) {
      const entry = MENU_ENTRY.exec(line);
      if (entry) entries.push({ number: entry[1], label: line.trim() });
      else if (line.trim() === PAUSE) pause = true;
    }
    return { entries: entries, pause: pause && entries.length === 0 };
  }

  // Answers once, with the keys a player would type; what was half typed is
  // dropped first, as Ctrl+U would.
  function answer(keys) {
    if (shown === null || page.importing) return false;
    shown = null;
    markPanelBusy();
    page.press(keys);
    return true;
  }

  function strike() {
    if (!barRuns || page.importing) return false;
    barRuns = false;  // the bar takes one space; the next screen answers on
    markPanelBusy();
    page.press(' ');
    return true;
  }

  // --- The answer buttons ---------------------------------------------------
  let panelSignature = '';

  function button(label, name, act) {
    const element = document.createElement('button');
    element.type = 'button';
    element.textContent = label;
    if (name) element.setAttribute('aria-label', name);
    element.addEventListener('click', function (event) {
      event.preventDefault();
      act();
    });
    return element;
  }

  function fillPanel(signature, buttons) {
    if (signature === panelSignature) return;
    panelSignature = signature;
    const hadFocus = panel.contains(document.activeElement);
    panel.replaceChildren(...buttons);
    // A keyboard or screen-reader player who answered here goes on here.
    if (hadFocus || panel.dataset.focusNext === 'yes') {
      delete panel.dataset.focusNext;
      if (buttons.length > 0) buttons[0].focus();
      else term.focus();
    }
  }

  function markPanelBusy() {
    if (panel.contains(document.activeElement)) panel.dataset.focusNext = 'yes';
    for (const element of panel.querySelectorAll('button')) element.setAttribute('aria-disabled', 'true');
  }

  function showAnswers() {
    if (shown.entries.length > 0) {
      fillPanel('menu:' + shown.entries.map((entry) => entry.label).join('\n'),
        shown.entries.map((entry) => button(entry.label, null, () => answer(ERASE_LINE + entry.number + '\r'))));
    } else if (shown.pause) {
      fillPanel('pause', [button('Continue', 'Continue (Enter)', () => answer(ERASE_LINE + '\r'))]);
    } else {
      fillPanel('text', []);
    }
  }

  page.on('waiting', function () {
    shown = readScreen();
    showAnswers();
  });
  page.on('keyMode', function (on) {
    barRuns = on;
    if (!on) return;
    shown = null;
    fillPanel('bar', [button('Strike', 'Strike (Space)', strike)]);
  });

  // The strike button acts as its key goes down, not on release.
  panel.addEventListener('keydown', function (event) {
    if (!barRuns || (event.key !== ' ' && event.key !== 'Enter')) return;
    event.preventDefault();
    strike();
  });

  // --- Taps and clicks on the game's area ---------------------------------
  // Only the page's own controls and the answer buttons are not the game's
  // area; the strike button is, as a touch there is the space bar too.
  function onGameArea(target) {
    if (!(target instanceof Element)) return true;
    if (target.closest('#controls')) return false;
    return !target.closest('#answers button') || barRuns;
  }

  // The text of the row under `clientY`, or null outside the screen now shown
  // (a row of the scrollback answers nothing).
  function rowTextAt(clientY) {
    const screen = term.element && term.element.querySelector('.xterm-screen');
    if (!screen) return null;
    const cell = term._core._renderService.dimensions.css.cell;
    const row = Math.floor((clientY - screen.getBoundingClientRect().top) / cell.height);
    if (row < 0 || row >= term.rows) return null;
    const buffer = term.buffer.active;
    const index = buffer.viewportY + row;
    if (index < buffer.baseY) return null;
    const line = buffer.getLine(index);
    return line ? line.translateToString(true) : null;
  }

  let pressWasSpace = false;
  let pressedAt = { x: 0, y: 0 };

  // While the bar fills, a touch anywhere is the space bar, at once: not on
  // release, so the grade is that of the fill under the finger.
  document.addEventListener('pointerdown', function (event) {
    pressedAt = { x: event.clientX, y: event.clientY };
    pressWasSpace = barRuns && event.isPrimary && onGameArea(event.target);
    if (!pressWasSpace) return;
    event.preventDefault();
    strike();
  }, true);

  document.addEventListener('click', function (event) {
    if (pressWasSpace || barRuns || !onGameArea(event.target)) return;
    const game = page.game();
    if (!game) return;  // the page is still loading: a tap does nothing
    if (Math.hypot(event.clientX - pressedAt.x, event.clientY - pressedAt.y) > MOST_TAP_MOVE_PX) return;
    // Two quick taps on the same row are two answers, not a word to select.
    term.clearSelection();
    const inTerminal = page.holder.contains(event.target);
    const text = inTerminal ? rowTextAt(event.clientY) : null;
    const entry = text === null ? null : MENU_ENTRY.exec(text);
    if (entry) answer(ERASE_LINE + entry[1] + '\r');
    else if (shown !== null && shown.pause) answer(ERASE_LINE + '\r');
    else if (game.asksForText() || !inTerminal) term.focus();  // the keyboard opens in the tap
  }, true);
};
