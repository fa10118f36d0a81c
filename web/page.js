// The page around the game: it says what it is doing until the terminal
// draws, fits the xterm.js terminal to the window, turns taps and clicks
// into the keys the game asks for, and carries the save in and out of the
// browser. Taps (touch.js), phone keyboards (keyboard.js), the screen
// reader (reader.js) and the bar's sound (sound.js) plug into it through
// `page`; offline play and new releases are release.js's.
'use strict';
(function () {
  // The game's frames are 120 columns wide: a wider window gains nothing, a
  // narrower one gets a smaller font first, then fewer columns, and the game
  // fits its screens to them.
  const MOST_COLUMNS = 120;
  const FEWEST_COLUMNS = 40;
  // A phone held upright keeps its text readable and gives up columns
  // instead: the game fits its screens to any width.
  const PHONE_FONT_PX = 14;
  const PHONE_FEWEST_COLUMNS = 20;
  const uprightPhone = window.matchMedia('(pointer: coarse) and (max-width: 480px)');
  const FEWEST_ROWS = 24;
  const FONT_FAMILY = 'DejaVu Sans Mono, Menlo, Consolas, monospace';
  const LARGEST_FONT_PX = 15;
  const SHORTEST_ROW_PX = 12;  // smaller rows are hard to read and to tap
  const FONT_STEP_PX = 0.5;
  const SIDE_PADDING_PX = 8;
  const USUAL_SCROLL_BAR_PX = 15;
  const LARGEST_IMPORT_BYTES = 1024 * 1024;  // a save is about 100 bytes

  let refitPending = false;  // the window changed while a screen is shown
  let gameRunning = false;
  let letterCanvas;  // measures letters for the font's guess; null if none

  const loading = document.getElementById('loading');
  const holder = document.getElementById('terminal');
  const controls = document.getElementById('controls');
  const answers = document.getElementById('answers');
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

  // The terminal starts at the size it will be fitted to, so that xterm.js
  // lays out and draws its rows once, not once at 120 columns and 15 px and
  // again at each smaller font tried. Its scroll bar is 15 px wide, or
  // counted so where it overlays the rows, as on phones.
  const start = firstSize(roomForTerminal(USUAL_SCROLL_BAR_PX));
  const term = new Terminal({
    cols: start.cols,
    rows: start.rows,
    convertEol: true,
    cursorBlink: true,
    fontFamily: FONT_FAMILY,
    fontSize: start.font,
    scrollback: 1000,
    // The game's colours on a black background, as in a console, each with
    // a contrast of at least 4.5:1. The bar's green fill and its cyan, red
    // and white zones also differ in lightness, not only in hue.
    theme: {
      background: '#000000',
      foreground: '#ffffff',
      black: '#000000',
      red: '#f23535',
      green: '#3cd23c',
      yellow: '#e5e510',
      blue: '#5c8cff',
      magenta: '#e070e0',
      cyan: '#80f0ff',
      white: '#e5e5e5',
      brightBlack: '#8a8a8a',
      brightRed: '#ff6e6e',
      brightGreen: '#5ef05e',
      brightYellow: '#ffff60',
      brightBlue: '#86a8ff',
      brightMagenta: '#ff8cff',
      brightCyan: '#a0ffff',
      brightWhite: '#ffffff',
    },
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
  textarea.setAttribute('aria-label', 'Your answer');
  // Tab leaves the terminal for the page's controls: in the game a Tab only
  // separates words, so nothing is lost.
  term.attachCustomKeyEventHandler(function (event) {
    return event.key !== 'Tab';
  });

  // Keys from taps go the way typed keys go, so the game cannot tell them apart.
  function press(keys) {
    term.input(keys, true);
  }

  // The page's parts listen for what the game does: 'waiting' (the screen is
  // drawn and the game waits for a line), 'keyMode' (the bar starts or ends,
  // with true or false), 'barFrame' (a frame of the bar is drawn) and
  // 'screenCleared'.
  const listeners = {};
  function on(name, listener) {
    (listeners[name] = listeners[name] || []).push(listener);
  }
  function emit(name, value) {
    for (const listener of listeners[name] || []) listener(value);
  }

  // A setting kept between visits; with storage blocked, the default.
  function remembered(name, fallback) {
    try {
      const value = window.localStorage.getItem('talvoren.' + name);
      return value === null ? fallback : value === 'on';
    } catch (ignored) {
      return fallback;
    }
  }
  function remember(name, value) {
    try {
      window.localStorage.setItem('talvoren.' + name, value ? 'on' : 'off');
    } catch (ignored) {
      // Storage blocked: the setting lasts until the page is closed.
    }
  }

  // The rows of the screen the game drew last, from its first row (kept by
  // a marker set where the game cleared the screen, so that a screen taller
  // than the terminal is whole) to the cursor's row.
  let screenStart = null;
  term.parser.registerCsiHandler({ final: 'J' }, function (params) {
    if (params[0] !== 2) return false;
    if (screenStart !== null) screenStart.dispose();
    screenStart = term.registerMarker(0);
    emit('screenCleared');
    return false;  // xterm.js clears it as usual
  });
  function screenLines() {
    const buffer = term.buffer.active;
    const last = buffer.baseY + buffer.cursorY;
    let first = screenStart !== null && !screenStart.isDisposed ? screenStart.line : buffer.baseY;
    if (first < 0 || first > last) first = buffer.baseY;
    const lines = [];
    for (let y = first; y <= last; ++y) {
      const line = buffer.getLine(y);
      lines.push(line ? line.translateToString(true).trimEnd() : '');
    }
    return lines;
  }

  const page = {
    term: term,
    holder: holder,
    answers: answers,
    press: press,
    on: on,
    remembered: remembered,
    remember: remember,
    screenLines: screenLines,
    importing: false,  // a save is on its way in: taps wait
    game: function () { return window.Module && Module.talvoren; },
    // The page's own layout changed (a panel shown or hidden): the terminal
    // is fitted again between screens, as after a resize.
    layoutChanged: function () { layoutChanged(); },
  };
  for (const part of ['talvorenKeyboard', 'talvorenTouch', 'talvorenReader', 'talvorenSound']) {
    if (typeof window[part] === 'function') window[part](page);
  }

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

  // The width and height the terminal's cells may fill beside a scroll bar
  // `bar` pixels wide, and whether this is a phone held upright.
  function roomForTerminal(bar) {
    return {
      phone: uprightPhone.matches,
      bar: bar,
      width: document.documentElement.clientWidth - 2 * SIDE_PADDING_PX - bar,
      height: window.innerHeight - controls.offsetHeight - answers.offsetHeight - SIDE_PADDING_PX,
    };
  }

  // The largest font in whole steps up to 15 px whose 120 columns fit, told
  // from one cell measured at another font: a monospace cell is as wide as
  // its font is large. Never under the phone's 14 px.
  function fontForWidth(cell, font, room) {
    const fits = room.width * font / (cell.width * MOST_COLUMNS) + 1e-6;
    const size = Math.floor(fits / FONT_STEP_PX) * FONT_STEP_PX;
    const least = room.phone ? PHONE_FONT_PX : FONT_STEP_PX;
    return Math.min(LARGEST_FONT_PX, Math.max(least, size));
  }

  // A cell as xterm.js measures it (a canvas's letter, its rows rounded up
  // to whole device pixels), or null without a canvas. Measuring there costs
  // no layout and no redraw of the terminal.
  function canvasCell(size) {
    if (letterCanvas === null) return null;
    try {
      if (letterCanvas === undefined) {
        const canvas = typeof OffscreenCanvas === 'function' ? new OffscreenCanvas(1, 1) : document.createElement('canvas');
        letterCanvas = canvas.getContext('2d');
      }
      letterCanvas.font = size + 'px ' + FONT_FAMILY;
      const letter = letterCanvas.measureText('W');
      const ratio = window.devicePixelRatio || 1;
      const height = Math.ceil((letter.fontBoundingBoxAscent + letter.fontBoundingBoxDescent) * ratio) / ratio;
      return letter.width > 0 && height > 0 ? { width: letter.width, height: height } : null;
    } catch (ignored) {
      letterCanvas = null;
      return null;
    }
  }

  // The font the terminal will likely be fitted to, from a cell measured at
  // `font`: the widest that fits, or larger where its rows would be too short.
  function likelyFont(cell, font, room) {
    let size = fontForWidth(cell, font, room);
    while (rowsTooShort(size) && size < LARGEST_FONT_PX) size += FONT_STEP_PX;
    return size;
  }

  // Whether a canvas says that rows at this font are too short.
  function rowsTooShort(size) {
    const cell = canvasCell(size);
    return cell !== null && cell.height < SHORTEST_ROW_PX;
  }

  // The font, columns and rows the terminal will likely be fitted to; the
  // fitting after the terminal opens corrects a wrong guess.
  function firstSize(room) {
    const largest = canvasCell(LARGEST_FONT_PX);
    const font = largest === null ? LARGEST_FONT_PX : likelyFont(largest, LARGEST_FONT_PX, room);
    const cell = canvasCell(font);
    if (cell === null) return { font: LARGEST_FONT_PX, cols: MOST_COLUMNS, rows: FEWEST_ROWS };
    return Object.assign({ font: font }, columnsAndRows(cell, room));
  }

  // As many columns and rows of `cell` as `room` holds, within the bounds.
  function columnsAndRows(cell, room) {
    const fewest = room.phone ? PHONE_FEWEST_COLUMNS : FEWEST_COLUMNS;
    return {
      cols: Math.min(MOST_COLUMNS, Math.max(fewest, Math.floor(room.width / cell.width))),
      rows: Math.max(FEWEST_ROWS, Math.floor(room.height / cell.height)),
    };
  }

  // The largest font up to 15 px at which all 120 columns fit; where none
  // does, the smallest whose rows are still 12 px tall (14 px text on a phone
  // held upright), for as many columns as that gives. The font is told from
  // the cell now shown, then checked: xterm.js measures and redraws at every
  // font it is given, which on a phone's processor takes a tenth of a second.
  function fitTerminal() {
    const room = roomForTerminal(scrollBarWidth());
    let cell = cellSize();
    if (cell.width <= 0 || cell.height <= 0) return;
    let size = likelyFont(cell, term.options.fontSize, room);
    cell = useFont(size);
    const least = room.phone ? PHONE_FONT_PX : FONT_STEP_PX;
    while (cell.width * MOST_COLUMNS > room.width && size - FONT_STEP_PX >= least &&
           !rowsTooShort(size - FONT_STEP_PX)) {
      const smaller = useFont(size - FONT_STEP_PX);
      if (smaller.height < SHORTEST_ROW_PX || smaller.width <= 0) break;
      size -= FONT_STEP_PX;
      cell = smaller;
    }
    // Rows too short to read or tap: a larger font, even at fewer columns.
    while (cell.height < SHORTEST_ROW_PX && size < LARGEST_FONT_PX) {
      size += FONT_STEP_PX;
      cell = useFont(size);
    }
    cell = useFont(size);
    if (cell.width <= 0 || cell.height <= 0) return;
    const { cols, rows } = columnsAndRows(cell, room);
    // The box holds the columns and the scroll bar beside them, never over
    // the last column, and is centred in a wider window.
    const boxWidth = Math.ceil(cols * cell.width) + room.bar;
    holder.style.width = boxWidth + 'px';
    holder.style.height = Math.ceil(rows * cell.height) + 'px';
    controls.style.width = boxWidth + 2 * SIDE_PADDING_PX + 'px';
    answers.style.width = controls.style.width;
    if (cols !== term.cols || rows !== term.rows) term.resize(cols, rows);
  }

  // A resize never redraws a screen the game has drawn: the terminal is
  // fitted again when the game clears it for the next screen, and the game
  // reads the new width then.
  fitTerminal();
  function layoutChanged() {
    if (gameRunning) refitPending = true;
    else fitTerminal();
  }
  window.addEventListener('resize', layoutChanged);

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
    onWaiting: function () { emit('waiting'); },
    onKeyMode: function (on) { emit('keyMode', on); },
    onBarFrame: function () { emit('barFrame'); },
    onAbort: function (reason) {
      gameRunning = false;
      term.write('\x1b[0m\x1b[?25h\r\n[The game stopped on an error: ' + reason + ']\r\n');
    },
  };

  // --- The save, in and out --------------------------------------------------
  // Says how a save's transfer went, and gives the keys back to the game.
  function tell(text) {
    saveMessage.textContent = text;
    layoutChanged();  // a message of more lines leaves the terminal fewer rows
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

  // While a file is read, checked and stored, taps on the game wait, so that
  // no answer starts a save in the middle of the import.
  importInput.addEventListener('change', async function () {
    const file = importInput.files[0];
    importInput.value = '';
    if (!file || page.importing) return;
    page.importing = true;
    saveMessage.textContent = 'Importing ' + file.name + '…';
    try {
      await importFile(file);
    } finally {
      page.importing = false;
    }
  });

  async function importFile(file) {
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
  }

  const script = document.createElement('script');
  script.src = 'talvoren.js';
  script.onerror = function () {
    say('Talvoren could not be loaded. Check the connection and reload the page.');
  };
  document.body.appendChild(script);
  term.focus();
})();
