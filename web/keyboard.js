// Phone keyboards: they compose words in the terminal's hidden text field
// and commit them with events whose order and timing differ from keyboard to
// keyboard and with the processor's speed. xterm.js sends a committed word
// on a later turn of the event loop, so an Enter that follows at once could
// reach the game first. The page owns the text that keyboards commit
// instead: it sends it at once, as the event that commits it arrives, so it
// always comes whole, once, and before any key that follows.
'use strict';
window.talvorenKeyboard = function (page) {
  const term = page.term;
  const field = term.textarea;
  const DELETE = '\x7f';

  // xterm.js shows the word being composed over the cursor. It is told when
  // a composition starts and changes, never that it ends (it would send the
  // word itself), so the page ends its view. Without that view the page
  // keeps the whole composition to itself.
  const helper = term._core && term._core._compositionHelper;
  const preview = helper && '_isComposing' in helper ? helper : null;
  function endPreview() {
    if (preview === null) return;
    preview._isComposing = false;
    if (preview._compositionView) preview._compositionView.classList.remove('active');
  }

  let composing = false;
  let composedFrom = 0;  // where the word being composed starts in the field

  // Sent text is no longer the field's: it is emptied once the keyboard is
  // done with it, so that each word is composed afresh.
  function emptyFieldSoon() {
    setTimeout(function () {
      if (!composing) field.value = '';
    }, 0);
  }

  function commit(text) {
    composing = false;
    endPreview();
    if (text) page.press(text);
    emptyFieldSoon();
  }

  // Capturing on the terminal's box runs before xterm.js's own handlers on
  // the field, which stopping the event then keeps from seeing it.
  function own(type, handler) {
    page.holder.addEventListener(type, function (event) {
      if (event.target === field) handler(event);
    }, true);
  }

  own('compositionstart', function (event) {
    composing = true;
    composedFrom = field.value.length;
    if (preview === null) event.stopImmediatePropagation();
  });
  own('compositionupdate', function (event) {
    if (preview === null) event.stopImmediatePropagation();
  });
  own('compositionend', function (event) {
    event.stopImmediatePropagation();
    if (!composing) return;  // a key came first and sent the word
    const text = typeof event.data === 'string' ? event.data : field.value.slice(composedFrom);
    commit(text);
  });

  // Key code 229 is a keyboard still at work: its text comes by composition
  // or input events, never from the key. A real key during a composition
  // sends the word first.
  own('keydown', function (event) {
    if (event.keyCode === 229 || event.isComposing) {
      event.stopImmediatePropagation();
      return;
    }
    if (composing) commit(field.value.slice(composedFrom));
  });

  // A composition's own steps are not text. Text that no key sent (a
  // keyboard's suggestion, dictation, an emoji) xterm.js sends at once.
  own('input', function (event) {
    if (!composing && !event.isComposing) {
      emptyFieldSoon();
      return;
    }
    event.stopImmediatePropagation();
  });

  // Backspace and Enter sent as input events alone (key code 229 and no
  // key) are the game's Backspace and Enter, after any word being composed.
  own('beforeinput', function (event) {
    const type = event.inputType;
    if (type === 'insertLineBreak' || type === 'insertParagraph') {
      event.preventDefault();
      if (composing) commit(field.value.slice(composedFrom));
      page.press('\r');
      field.value = '';
    } else if (type === 'deleteContentBackward' && !composing && !event.isComposing) {
      event.preventDefault();
      page.press(DELETE);
    }
  });
};
