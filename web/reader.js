// Play by screen reader. xterm.js hides its rows from the accessibility tree
// (and its own screen-reader mode reads at most 20 rows, and every frame of
// the bar), so the page keeps a live region of its own: with "Screen reader"
// on, each screen the game has drawn is put there once, when the game waits
// for an answer, and what a screen gains later (the grade and the damage
// after the bar) is added then. Pictures are named ("A Wasp"), not spelt
// out, and the bar's row is not read; the bar itself is announced once.
'use strict';
window.talvorenReader = function (page) {
  const toggle = document.getElementById('screen-reader');
  const region = document.getElementById('reader');
  const BAR_ROW = /^\[[:#]+\]$/;
  const FRAME_LINE = /^[+-]+$/;
  const PROMPT_ROW = /^>( |$)/;
  const PICTURE_FOLDERS = ['/save', '/usr/share/games/talvoren'];  // the game looks in this order

  let on = page.remembered('screenReader', false);
  let screenId = 0;  // counts the screens the game has cleared
  let readScreen = -1;
  let readLines = 0;

  // A picture's rows as the terminal shows them: cut at its width, each
  // control byte a "?", no trailing blanks.
  function pictureRows(text, columns) {
    const rows = [];
    for (const raw of text.split('\n')) {
      const row = raw.replace(/\r$/, '').replace(/[\x00-\x1f\x7f]/g, '?').slice(0, columns).trimEnd();
      if (row !== '') rows.push(row);
    }
    return rows;
  }

  // The pictures the game may draw, by name, read from where it reads them.
  function pictures() {
    const found = new Map();
    if (typeof FS !== 'object') return found;
    for (const folder of PICTURE_FOLDERS) {
      let names = [];
      try {
        names = FS.readdir(folder);
      } catch (ignored) {
        continue;
      }
      for (const file of names) {
        const match = /^([a-z]+)\.txt$/i.exec(file);
        if (!match || file === 'save1.txt' || found.has(match[1].toLowerCase())) continue;
        try {
          const rows = pictureRows(FS.readFile(folder + '/' + file, { encoding: 'utf8' }), page.term.cols);
          if (rows.length > 0) found.set(match[1].toLowerCase(), rows);
        } catch (ignored) {
          // Not readable: its rows are read as they are.
        }
      }
    }
    return found;
  }

  function named(name) {
    const word = name.charAt(0).toUpperCase() + name.slice(1);
    return (/^[aeiou]/i.test(word) ? 'An ' : 'A ') + word;
  }

  // The lines to read: a run of a picture's rows becomes its name, the
  // bar's row and the bare prompt are left out.
  function spoken(lines) {
    const art = pictures();
    const out = [];
    for (let i = 0; i < lines.length; ++i) {
      const line = lines[i];
      if (BAR_ROW.test(line) || FRAME_LINE.test(line) || line.trim() === '>') continue;
      let pictured = null;
      for (const [name, rows] of art) {
        if (rows[0] === line) pictured = { name: name, rows: rows };
      }
      if (pictured === null) {
        if (line.trim() !== '') out.push(line.trim());
        continue;
      }
      out.push(named(pictured.name));
      // Skip the picture's rows (and the blank rows among them).
      let next = 1;
      while (i + 1 < lines.length && next < pictured.rows.length &&
             (lines[i + 1] === '' || lines[i + 1] === pictured.rows[next])) {
        if (lines[i + 1] !== '') ++next;
        ++i;
      }
    }
    return out;
  }

  function say(lines) {
    if (lines.length === 0) return;
    const block = document.createElement('div');
    for (const line of lines) {
      const paragraph = document.createElement('p');
      paragraph.textContent = line;
      block.appendChild(paragraph);
    }
    region.replaceChildren(block);
  }

  page.on('screenCleared', function () {
    ++screenId;
  });

  // Read once per screen; on the same screen only what it has gained, and
  // never the line being typed.
  page.on('waiting', function () {
    if (!on) return;
    const lines = page.screenLines();
    while (lines.length > 0 && (lines[lines.length - 1] === '' || PROMPT_ROW.test(lines[lines.length - 1]))) lines.pop();
    const from = readScreen === screenId ? readLines : 0;
    if (readScreen === screenId && lines.length <= from) return;
    readScreen = screenId;
    readLines = lines.length;
    say(spoken(lines.slice(from)));
  });

  page.on('keyMode', function (running) {
    if (on && running) say(['The bar fills: press Space to stop it.']);
  });

  function show() {
    toggle.setAttribute('aria-pressed', on ? 'true' : 'false');
    document.body.classList.toggle('screen-reader', on);
    region.hidden = !on;
    if (!on) region.replaceChildren();
  }

  toggle.addEventListener('click', function () {
    on = !on;
    page.remember('screenReader', on);
    readScreen = -1;  // read the screen now shown at the next wait
    show();
    page.layoutChanged();
    if (on && page.game()) {
      const lines = page.screenLines().filter((line) => !PROMPT_ROW.test(line));
      readScreen = screenId;
      readLines = lines.length;
      say(spoken(lines));
    }
  });
  show();
};
