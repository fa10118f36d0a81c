// The JavaScript half of the browser back end, run inside the game's module
// before it starts. The page creates the xterm.js terminal as window.term;
// this file feeds the game its keys, shows its output, and keeps the save
// folder in IndexedDB (Emscripten's IDBFS).
Module.talvoren = (function () {
  const saveFolder = '/save';
  const term = window.term;
  const encoder = new TextEncoder();
  let keys = [];  // bytes typed and not yet taken by the game
  let wakeGame = null;
  let storageProblem = null;  // why IndexedDB cannot keep saves, if it cannot

  term.onData(function (data) {
    for (const byte of encoder.encode(data)) keys.push(byte);
    if (wakeGame !== null) {
      const wake = wakeGame;
      wakeGame = null;
      wake();
    }
  });

  function describe(error) {
    if (error === null || error === undefined) return 'unknown error';
    if (typeof error === 'string') return error;
    return error.message || error.name || String(error);
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
    if (storageProblem !== null) return;
    addRunDependency('talvoren-saves');
    try {
      FS.syncfs(true, function (error) {
        if (error) storageProblem = describe(error);
        removeRunDependency('talvoren-saves');
      });
    } catch (error) {
      storageProblem = describe(error);
      removeRunDependency('talvoren-saves');
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

  return {
    pictureFolder: '/usr/share/games/talvoren',
    write: function (bytes) {
      term.write(bytes);
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
      return new Promise(function (resolve) {
        wakeGame = resolve;
      });
    },
    setTitle: function (title) {
      document.title = title;
    },
    // Resolves to null once IndexedDB holds the save folder, else to the reason.
    storeSaves: function () {
      if (storageProblem !== null) return Promise.resolve(storageProblem);
      return new Promise(function (resolve) {
        try {
          FS.syncfs(false, function (error) {
            resolve(error ? describe(error) : null);
          });
        } catch (error) {
          resolve(describe(error));
        }
      });
    },
  };
})();
