// The JavaScript half of the browser back end, run inside the game's module
// before it starts. The page creates the xterm.js terminal as window.term;
// this file feeds the game its keys, shows its output, tells the page when
// the game wants text or single keys, and keeps the save folder in IndexedDB
// (Emscripten's IDBFS).
Module.talvoren = (function () {
  const saveFolder = '/save';
  const savePath = saveFolder + '/save1.txt';
  const term = window.term;
  const encoder = new TextEncoder();
  let keys = [];  // bytes typed and not yet taken by the game
  let wakeGame = null;
  let storageProblem = null;  // why IndexedDB cannot keep saves, if it cannot
  let keyMode = false;  // the timing bar runs: keys go to the game at once
  let drawn = false;
  let storing = Promise.resolve();  // one copy to IndexedDB at a time

  function type(text) {
    for (const byte of encoder.encode(text)) keys.push(byte);
    if (wakeGame !== null) {
      const wake = wakeGame;
      wakeGame = null;
      wake();
    }
  }
  term.onData(type);

  function describe(error) {
    if (error === null || error === undefined) return 'unknown error';
    if (typeof error === 'string') return error;
    return error.message || error.name || String(error);
  }

  function tellPage(hook, value) {
    if (typeof Module[hook] === 'function') Module[hook](value);
  }

  // Fills the save folder from IndexedDB before the game starts. A browser
  // without IndexedDB (or one that refuses it) still plays; its saves last
  // only until the page is closed, and every save says so.
  function loadSaves() {
    FS.mkdir(saveFolder);
    try {
      FS.mount(IDBFS, {}, saveFolder);
    } catch (error) {
      storageProblem = describe(error);
    }
    FS.chdir(saveFolder);
    if (storageProblem !== null) {
      tellPage('onSavesLoaded');
      return;
    }
    addRunDependency('talvoren-saves');
    const loaded = function () {
      removeRunDependency('talvoren-saves');
      tellPage('onSavesLoaded');
    };
    try {
      FS.syncfs(true, function (error) {
        if (error) storageProblem = describe(error);
        loaded();
      });
    } catch (error) {
      storageProblem = describe(error);
      loaded();
    }
  }

  // Blocking reads and sleeps return from main early (Asyncify), so the run
  // time never sees the game end; Asyncify tells when main really returns.
  function watchForTheEnd() {
    const ended = function (status) {
      if (typeof Module.onGameEnd === 'function') Module.onGameEnd(status);
    };
    if (Asyncify.currData) Asyncify.whenDone().then(ended);
    else ended(EXITSTATUS);
  }

  Module.preRun = Module.preRun || [];
  Module.preRun.push(loadSaves);
  Module.postRun = Module.postRun || [];
  Module.postRun.push(watchForTheEnd);

  // The terminal has drawn everything written so far.
  function drawnSoFar() {
    return new Promise(function (resolve) {
      term.write('', resolve);
    });
  }

  // The game asks for text when it waits for a line on a screen that offers
  // neither a menu nor a pause (the name prompt): only then does a phone's
  // on-screen keyboard open.
  function asksForText() {
    const buffer = term.buffer.active;
    for (let y = 0; y < term.rows; ++y) {
      const line = buffer.getLine(buffer.baseY + y);
      const text = line ? line.translateToString(true) : '';
      if (/^\s*\[\d+\]\s/.test(text) || text.trim() === 'Press ENTER to continue...') return false;
    }
    return true;
  }

  function showKeyboardFor(waiting) {
    const wantsText = waiting && !keyMode && asksForText();
    term.textarea.setAttribute('inputmode', wantsText ? 'text' : 'none');
    if (wantsText) term.focus();
  }

  // A frame of the bar is on screen: the page may follow the fill (a sound),
  // never change it.
  function barFrameDrawn() {
    if (keyMode) tellPage('onBarFrame');
  }

  // Resolves to null once IndexedDB holds the save folder, else to the reason.
  function storeSaves() {
    if (storageProblem !== null) return Promise.resolve(storageProblem);
    const stored = storing.then(function () {
      return new Promise(function (resolve) {
        try {
          FS.syncfs(false, function (error) {
            resolve(error ? describe(error) : null);
          });
        } catch (error) {
          resolve(describe(error));
        }
      });
    });
    storing = stored;
    return stored;
  }

  function storedSave() {
    try {
      return FS.readFile(savePath);
    } catch (error) {
      return null;
    }
  }

  return {
    pictureFolder: '/usr/share/games/talvoren',
    write: function (bytes) {
      if (drawn) {
        term.write(bytes, keyMode ? barFrameDrawn : undefined);
        return;
      }
      drawn = true;
      term.write(bytes, function () { tellPage('onFirstDraw'); });
    },
    type: type,
    asksForText: function () { return !keyMode && asksForText(); },
    inKeyMode: function () { return keyMode; },
    setKeyMode: function (on) {
      keyMode = on;
      showKeyboardFor(false);
      tellPage('onKeyMode', on);
    },
    takeKeys: function (buffer, capacity) {
      const count = Math.min(capacity, keys.length);
      if (count === 0) return 0;
      HEAPU8.set(keys.slice(0, count), buffer);
      keys = keys.slice(count);
      return count;
    },
    keysArrived: function () {
      if (keys.length > 0) return Promise.resolve();
      drawnSoFar().then(function () {
        if (wakeGame === null) return;
        showKeyboardFor(true);
        tellPage('onWaiting');  // the screen is drawn and waits for an answer
      });
      return new Promise(function (resolve) {
        wakeGame = resolve;
      });
    },
    setTitle: function (title) {
      document.title = title;
    },
    needsRefit: function () {
      return typeof Module.needsRefit === 'function' && Module.needsRefit();
    },
    // Fits the terminal to the window once the cleared screen is drawn, so
    // that no row of the old screen is wrapped anew.
    refit: function () {
      return drawnSoFar().then(function () { tellPage('refit'); });
    },
    storeSaves: storeSaves,
    // The save's bytes as stored, or null when there is none.
    storedSave: storedSave,
    // Load Game's own test, run by the game's code on these bytes.
    canBeContinued: function (bytes) {
      const at = _malloc(Math.max(1, bytes.length));
      if (!at) return false;
      HEAPU8.set(bytes, at);
      const yes = _talvorenCanBeContinued(at, bytes.length) !== 0;
      _free(at);
      return yes;
    },
    // Stores `bytes` as the save, as the game's own saves do: the page's copy
    // is replaced, then IndexedDB must hold it; when the browser refuses, the
    // old save comes back. Resolves to null, or to the browser's reason.
    importSave: async function (bytes) {
      const before = storedSave();
      const fresh = saveFolder + '/.save1.txt.import';
      try {
        FS.writeFile(fresh, bytes);
        FS.rename(fresh, savePath);
      } catch (error) {
        try { FS.unlink(fresh); } catch (ignored) { /* never made */ }
        return describe(error);
      }
      const problem = await storeSaves();
      if (problem !== null) {
        try {
          if (before === null) FS.unlink(savePath);
          else FS.writeFile(savePath, before);
        } catch (ignored) {
          // The page's copy stays; IndexedDB still has the old save.
        }
      }
      return problem;
    },
  };
})();
