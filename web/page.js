// The page around the game: it says what it is doing until the terminal
// draws, fits the xterm.js terminal to the window, turns taps and clicks
// into the keys the game asks for, carries the save in and out of the
// browser. Offline play and new releases are release.js's.
'use strict';
(function () {
  // The game's frames are 120 columns wide: a wider window gains nothing, a
  // narrower one gets a smaller font first, then fewer columns, and the game
  // fits its screens to them.
  const MOST_COLUMNS = 120;
  const FEWEST_COLUMNS = 40;
  const FEWEST_ROWS = 24;
  const LARGEST_FONT_PX = 15;
  const SHORTEST_ROW_PX = 12;  // smaller rows are hard to read and to tap
  const FONT_STEP_PX = 0.5;
  const SIDE_PADDING_PX = 8;
  const LARGEST_IMPORT_BYTES = 1024 * 1024;  // a save is about 100 bytes
  const PAUSE = 'Press ENTER to continue...';
  const MENU_ENTRY = /^\s*\[(\d+)\]\s+\S/;
  const ERASE_LINE = '\x15';

  const loading = document.getElementById('loading');
  const holder = document.getElementById('terminal');
  const controls = document.getElementById('controls');
  const exportButton = document.getElementById('export-save');
  const importInput = document.getElementById('import-save');
  const saveMessage = document.getElementById('save-message');

  function say(text) {
    loading.textContent = text;
    loading.hidden = false;
  }

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    say('Talvoren cannot run in this browser: it has no WebAssembly, or WebAssembly is turned off.');
    return;
  }
  if (typeof Terminal !== 'function') {
    say('Talvoren could not be loaded: the terminal (xterm.js) is missing. Reload the page to try again.');
    return;
  }

  const term = new Terminal({
    cols: MOST_COLUMNS,
    rows: 40,
    convertEol: true,
    cursorBlink: true,
    fontFamily: 'DejaVu Sans Mono, Menlo, Consolas, monospace',
    fontSize: LARGEST_FONT_PX,
    scrollback: 1000,
    // The game's colours are set on a black background, as in a console.
    theme: { background: '#000000', black: '#000000' },
    // xterm.js rewraps the scrollback's rows on a resize unless it is told
    // that the other side reprints its screen, as Windows' pseudo-terminals
    // do. The game fits and redraws every screen itself, so a rewrap would
    // only split old frame lines in two: a narrower terminal cuts them.
    windowsPty: { backend: 'winpty', buildNumber: 1 },
  });
  window.term = term;
  term.open(holder);
  const textarea = term.textarea;
  // Phone keyboards: no corrections or capitals the game did not ask for.
  textarea.setAttribute('autocomplete', 'off');
  textarea.setAttribute('enterkeyhint', 'enter');
  textarea.setAttribute('inputmode', 'none');

  // Keys from taps go the way typed keys go, so the game cannot tell them apart.
  function press(keys) {
    term.input(keys, true);
  }

  // Some phone keyboards end a line with an input event alone (key code 229
  // and no Enter key), which xterm.js does not take for Enter. It becomes the
  // Enter key once, after any text that a composition has just committed
  // (xterm.js sends that on the next turn), and the textarea stays as it was.
  textarea.addEventListener('beforeinput', function (event) {
    if (event.inputType !== 'insertLineBreak' && event.inputType !== 'insertParagraph') return;
    event.preventDefault();
    setTimeout(function () {
      press('\r');
      textarea.value = '';
    }, 0);
  }, true);

  // --- Layout ----------------------------------------------------------------
  // xterm.js measures its cells; the fit add-on reads them the same way.
  function cellSize() {
    const cell = term._core._renderService.dimensions.css.cell;
    return { width: cell.width, height: cell.height };
  }

  function scrollBarWidth() {
    const viewport = term._core.viewport;
    return viewport && viewport.scrollBarWidth > 0 ? viewport.scrollBarWidth : 0;
  }

  function useFont(size) {
    if (term.options.fontSize !== size) term.options.fontSize = size;
    return cellSize();
  }

  // The largest font up to 15 px at which all 120 columns fit; where none
  // does, the smallest whose rows are still 12 px tall, for as many columns
  // as that gives.
  function fitTerminal() {
    const bar = scrollBarWidth();
    const width = document.documentElement.clientWidth - 2 * SIDE_PADDING_PX - bar;
    const height = window.innerHeight - controls.offsetHeight - SIDE_PADDING_PX;
    let size = LARGEST_FONT_PX;
    let cell = useFont(size);
    while (cell.width * MOST_COLUMNS > width && size - FONT_STEP_PX > 0) {
      const smaller = useFont(size - FONT_STEP_PX);
      if (smaller.height < SHORTEST_ROW_PX || smaller.width <= 0) break;
      size -= FONT_STEP_PX;
      cell = smaller;
    }
    cell = useFont(size);
    if (cell.width <= 0 || cell.height <= 0) return;
    const cols = Math.min(MOST_COLUMNS, Math.max(FEWEST_COLUMNS, Math.floor(width / cell.width)));
    const rows = Math.max(FEWEST_ROWS, Math.floor(height / cell.height));
    // The box holds the columns and the scroll bar beside them, never over
    // the last column, and is centred in a wider window.
    const boxWidth = Math.ceil(cols * cell.width) + bar;
    holder.style.width = boxWidth + 'px';
    holder.style.height = Math.ceil(rows * cell.height) + 'px';
    controls.style.width = boxWidth + 2 * SIDE_PADDING_PX + 'px';
    if (cols !== term.cols || rows !== term.rows) term.resize(cols, rows);
  }

  // A resize never redraws a screen the game has drawn: the terminal is
  // fitted again when the game clears it for the next screen, and the game
  // reads the new width then.
  let refitPending = false;
  let gameRunning = false;
  fitTerminal();
  window.addEventListener('resize', function () {
    if (gameRunning) refitPending = true;
    else fitTerminal();
  });

  // --- Taps and clicks -------------------------------------------------------
  // The text of the row under `clientY`, or null outside the screen now shown
  // (a row of the scrollback answers nothing).
  function rowTextAt(clientY) {
    const screen = term.element.querySelector('.xterm-screen');
    if (!screen) return null;
    const row = Math.floor((clientY - screen.getBoundingClientRect().top) / cellSize().height);
    if (row < 0 || row >= term.rows) return null;
    const buffer = term.buffer.active;
    const index = buffer.viewportY + row;
    if (index < buffer.baseY) return null;
    const line = buffer.getLine(index);
    return line ? line.translateToString(true) : null;
  }

  let pressWasSpace = false;
  let pressedAt = { x: 0, y: 0 };
  const MOST_TAP_MOVE_PX = 10;  // a finger or mouse that moved further selected or scrolled
  // While the bar fills, a touch anywhere is the space bar, at once: not on
  // release, so the grade is that of the fill under the finger.
  holder.addEventListener('pointerdown', function (event) {
    const game = Module.talvoren;
    pressedAt = { x: event.clientX, y: event.clientY };
    pressWasSpace = Boolean(game && game.inKeyMode() && event.isPrimary);
    if (!pressWasSpace) return;
    event.preventDefault();
    press(' ');
  }, true);

  holder.addEventListener('click', function (event) {
    const game = Module.talvoren;
    if (!game || pressWasSpace || game.inKeyMode()) return;
    if (Math.hypot(event.clientX - pressedAt.x, event.clientY - pressedAt.y) > MOST_TAP_MOVE_PX) return;
    // Two quick taps on the same row are two answers, not a word to select.
    term.clearSelection();
    const text = rowTextAt(event.clientY);
    const entry = text === null ? null : MENU_ENTRY.exec(text);
    // What was half typed is dropped, as Ctrl+U would, before the answer.
    if (entry) press(ERASE_LINE + entry[1] + '\r');
    else if (text !== null && text.trim() === PAUSE) press(ERASE_LINE + '\r');
    else if (game.asksForText()) term.focus();  // the keyboard opens in the tap
  }, true);

  // --- The game --------------------------------------------------------------
  window.Module = {
    print: function (text) { console.log(text); },
    printErr: function (text) { console.error(text); },
    onFirstDraw: function () {
      loading.hidden = true;
      gameRunning = true;
    },
    needsRefit: function () { return refitPending; },
    refit: function () {
      refitPending = false;
      fitTerminal();
    },
    onSavesLoaded: function () {
      exportButton.disabled = false;
      importInput.disabled = false;
    },
    onGameEnd: function () {
      gameRunning = false;
      term.write('\x1b[0m\x1b[?25h\r\n[The game has ended. Reload the page to play again.]\r\n');
    },
    onAbort: function (reason) {
      gameRunning = false;
      term.write('\x1b[0m\x1b[?25h\r\n[The game stopped on an error: ' + reason + ']\r\n');
    },
  };

  // --- The save, in and out --------------------------------------------------
  // Says how a save's transfer went, and gives the keys back to the game.
  function tell(text) {
    saveMessage.textContent = text;
    term.focus();
  }

  exportButton.addEventListener('click', function () {
    const bytes = Module.talvoren.storedSave();
    if (bytes === null) {
      tell('No save to export: this browser holds no save yet.');
      return;
    }
    const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
    const link = document.createElement('a');
    link.href = url;
    link.download = 'save1.txt';
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(function () { URL.revokeObjectURL(url); }, 10000);
    tell('Exported save1.txt (' + bytes.length + ' bytes).');
  });

  importInput.addEventListener('change', async function () {
    const file = importInput.files[0];
    importInput.value = '';
    if (!file) return;
    const game = Module.talvoren;
    if (file.size > LARGEST_IMPORT_BYTES) {
      tell('Not imported: ' + file.name + ' is over 1 MB, which no save is.');
      return;
    }
    let bytes;
    try {
      bytes = new Uint8Array(await file.arrayBuffer());
    } catch (error) {
      tell('Not imported: ' + file.name + ' could not be read.');
      return;
    }
    if (!game.canBeContinued(bytes)) {
      tell('Not imported: ' + file.name + ' is not a save that Load Game can continue.');
      return;
    }
    if (game.storedSave() !== null &&
        !window.confirm('Replace the save stored in this browser with ' + file.name + '?')) {
      tell('Not imported: the stored save is kept.');
      return;
    }
    const problem = await game.importSave(bytes);
    if (problem === null) tell('Imported ' + file.name + ': [4] Load Game continues it.');
    else tell('Not imported: the browser could not store it (' + problem + ').');
  });

  const script = document.createElement('script');
  script.src = 'talvoren.js';
  script.onerror = function () {
    say('Talvoren could not be loaded. Check the connection and reload the page.');
  };
  document.body.appendChild(script);
  term.focus();
})();
