// Play the bar by ear. With "Sound" on, each frame of the bar plays a short
// tone whose pitch rises with the fill, a brighter, louder one while the
// fill stands in the bar's red (Critical) zone, and a low one once the red
// zone is passed, so a player who cannot see the bar can time the press.
// The sound follows what the terminal shows and never touches the game.
// Web Audio only, no sound files. A browser that keeps audio off until the
// player's first gesture plays nothing until then.
'use strict';
window.talvorenSound = function (page) {
  const toggle = document.getElementById('sound');
  // The terminal's palette: the colour of the first unfilled cell tells the
  // zone the fill stands in.
  const RED = 1;
  const WHITE = 15;
  const TONE_S = 0.04;
  const LOWEST_HZ = 330;
  const HIGHEST_HZ = 990;

  const Audio = window.AudioContext || window.webkitAudioContext;
  let on = Audio ? page.remembered('sound', false) : false;
  let audio = null;

  // Made, or woken, only in a gesture where the browser asks for one.
  function wake() {
    if (!on || !Audio) return;
    try {
      if (audio === null) audio = new Audio();
      if (audio.state === 'suspended') audio.resume().catch(function () {});
    } catch (ignored) {
      audio = null;  // no audio for this page: the bar plays silent
    }
  }

  // The bar's row as drawn: how many cells are filled, of how many, and the
  // colour of the first unfilled cell (null when all are filled).
  function barShown() {
    const buffer = page.term.buffer.active;
    const line = buffer.getLine(buffer.baseY);
    if (!line) return null;
    const text = line.translateToString(true);
    if (!/^\[[:#]+\]/.test(text)) return null;
    const cells = text.indexOf(']') - 1;
    const filled = text.split(':').length - 1;
    const next = filled < cells ? line.getCell(1 + filled) : null;
    const zone = next && next.isFgPalette() ? next.getFgColor() : null;
    return { filled: filled, cells: cells, zone: zone };
  }

  function tone(kind, hz, gain) {
    const oscillator = audio.createOscillator();
    const volume = audio.createGain();
    oscillator.type = kind;
    oscillator.frequency.value = hz;
    const now = audio.currentTime;
    volume.gain.setValueAtTime(gain, now);
    volume.gain.exponentialRampToValueAtTime(0.0001, now + TONE_S);
    oscillator.connect(volume).connect(audio.destination);
    oscillator.start(now);
    oscillator.stop(now + TONE_S);
  }

  page.on('barFrame', function () {
    if (!on || audio === null || audio.state !== 'running') return;
    const bar = barShown();
    if (bar === null) return;
    try {
      if (bar.zone === RED) tone('square', HIGHEST_HZ, 0.12);
      else if (bar.zone === null || bar.zone === WHITE) tone('triangle', LOWEST_HZ / 2, 0.08);
      else tone('sine', LOWEST_HZ + (HIGHEST_HZ - LOWEST_HZ) * bar.filled / bar.cells, 0.08);
    } catch (ignored) {
      // An audio graph the browser refuses: this frame is silent.
    }
  });

  function show() {
    toggle.setAttribute('aria-pressed', on ? 'true' : 'false');
    if (!Audio) {
      toggle.disabled = true;
      toggle.title = 'This browser has no Web Audio.';
    }
  }

  toggle.addEventListener('click', function () {
    on = !on;
    page.remember('sound', on);
    show();
    wake();
  });
  // Any gesture lets a remembered "on" be heard.
  document.addEventListener('pointerdown', wake, true);
  document.addEventListener('keydown', wake, true);
  show();
};
