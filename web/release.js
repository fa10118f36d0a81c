// Offline play and new releases: registers the service worker (sw.js), which
// keeps one release of the site for offline play and checks at each visit
// for a newer one. A page that is still loading, or whose player has not yet
// pressed a key or tapped, moves to a waiting release at once by reloading;
// a page with a game in progress says that a new release is ready and offers
// to reload, and only the player's choice reloads it. Service workers run
// only on https and localhost pages; elsewhere, or where the browser keeps no
// site data, the page plays as it always has.
'use strict';
(function () {
  const notice = document.getElementById('release-notice');
  const reloadButton = document.getElementById('release-reload');
  const laterButton = document.getElementById('release-later');

  // Any key, tap or typed text may be part of a game: from then on only
  // the player reloads the page.
  let played = false;
  for (const type of ['keydown', 'pointerdown', 'input', 'compositionstart']) {
    window.addEventListener(type, function () { played = true; }, { capture: true, once: true });
  }

  let chosen = false;  // the player asked for the new release
  let waiting = null;  // a verified release that waits to take over

  function reload() {
    window.location.reload();
  }

  laterButton.addEventListener('click', function () { notice.hidden = true; });
  reloadButton.addEventListener('click', function () {
    chosen = true;
    if (waiting) waiting.postMessage('take-over');
    else reload();  // another page has let it take over already
  });

  // A release is waiting while an older one serves this page: a page with
  // nothing to lose asks it to take over, others tell the player.
  function offer(worker) {
    if (!navigator.serviceWorker.controller) return;
    waiting = worker;
    if (!played) worker.postMessage('take-over');
    else notice.hidden = false;
  }

  async function register() {
    const registration = await navigator.serviceWorker.register('sw.js', { updateViaCache: 'none' });
    if (registration.waiting) offer(registration.waiting);
    registration.addEventListener('updatefound', function () {
      const worker = registration.installing;
      if (!worker) return;
      worker.addEventListener('statechange', function () {
        if (worker.state === 'installed') offer(worker);
      });
    });
  }

  try {
    if (!window.isSecureContext || !('serviceWorker' in navigator)) return;
    navigator.serviceWorker.addEventListener('controllerchange', function () {
      // The new release serves the site from now on. This page still runs
      // the old one: it reloads unless a game may be in progress.
      waiting = null;
      if (chosen || !played) reload();
      else notice.hidden = false;
    });
    window.addEventListener('load', function () {
      register().catch(function () {});
    });
  } catch (ignored) {
    // Storage blocked: no offline copy and no updates but the server's.
  }
})();
