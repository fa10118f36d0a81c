// Offline play and new releases: registers the service worker (sw.js), which
// keeps one release of the site for offline play and checks at each visit
// for a newer one. When a newer release takes over, a page whose player has
// not yet pressed a key or tapped reloads into it; a page with a game in
// progress says that a new release is ready and offers to reload, and only
// the player's choice reloads it. Service workers run only on https and
// localhost pages; elsewhere, or where the browser keeps no site data, the
// page plays as it always has.
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
  reloadButton.addEventListener('click', function () { window.location.reload(); });
  laterButton.addEventListener('click', function () { notice.hidden = true; });

  try {
    if (!window.isSecureContext || !('serviceWorker' in navigator)) return;
    // A page that a release served sees the next one take over (the first
    // release takes over no page: the first visit is served by the network).
    navigator.serviceWorker.addEventListener('controllerchange', function () {
      if (played) notice.hidden = false;
      else window.location.reload();
    });
    window.addEventListener('load', function () {
      navigator.serviceWorker.register('sw.js', { updateViaCache: 'none' }).catch(function () {});
    });
  } catch (ignored) {
    // Storage blocked: no offline copy and no updates but the server's.
  }
})();
