// The widget page: looks words up as the user types and shows the entries of the chosen
// dictionary.
//
// All calls go through LexorPeek.async. The plug-in object has one cursor, so the calls of one
// look-up must not interleave with those of another: every task runs on one serial queue, and a
// newer look-up makes older ones stop at their next step.
(function () {
  'use strict';

  const PAGE_SIZE = 100;      // entries shown at once; "Show more" fetches the next page
  const TYPING_DELAY_MS = 150;
  const SUITE = 'suite';

  const lexor = window.LexorPeek.async;
  const widget = document.getElementById('widget');
  const chooser = document.getElementById('dictionary');
  const wordField = document.getElementById('word');
  const statusLine = document.getElementById('status');
  const resultList = document.getElementById('results');
  const moreButton = document.getElementById('more');

  let queue = Promise.resolve();
  let generation = 0;          // bumped by every new look-up and every change of dictionary
  let typingTimer = 0;
  let shown = 0;
  let active = -1;

  function serially(task) {
    const run = queue.then(task);
    queue = run.catch(showFailure);
    return queue;
  }

  function setState(state, message) {
    widget.dataset.state = state;
    statusLine.textContent = message;
  }

  function showFailure(error) {
    setState('error', 'LexorPeek cannot answer: ' + (error && error.message ? error.message : error));
  }

  // ---- Rendering entries -----------------------------------------------------------------------

  // Dictionary texts may carry markup by design. Only these elements survive, with only their
  // class; everything is rebuilt with createElement, so no attribute, handler or URL of the
  // fragment reaches the page.
  const KEPT = new Set(['span', 'br', 'b', 'i', 'em', 'strong', 'sub', 'sup', 'small', 'u']);
  // Elements whose content is not text for the reader; dropped with everything inside.
  const DROPPED = new Set([
    'script', 'style', 'template', 'iframe', 'object', 'embed', 'noscript', 'noembed',
    'noframes', 'textarea', 'title', 'svg', 'math', 'xmp', 'select', 'head',
  ]);
  const HTML_NAMESPACE = 'http://www.w3.org/1999/xhtml';
  const MAX_DEPTH = 32;

  function sanitize(html) {
    // A parsed document is inert: its scripts never run and its images never load.
    const parsed = new DOMParser().parseFromString(html, 'text/html');
    const clean = document.createDocumentFragment();
    copyAllowed(parsed.body, clean, 0);
    return clean;
  }

  function copyAllowed(from, to, depth) {
    if (depth > MAX_DEPTH) return;
    for (const node of from.childNodes) {
      if (node.nodeType === Node.TEXT_NODE) {
        to.appendChild(document.createTextNode(node.data));
      } else if (node.nodeType === Node.ELEMENT_NODE) {
        const name = node.localName;
        const isHtml = node.namespaceURI === HTML_NAMESPACE;
        if (isHtml && KEPT.has(name)) {
          const copy = document.createElement(name);
          const classes = node.getAttribute('class');
          if (classes) copy.className = classes;
          copyAllowed(node, copy, depth + 1);
          to.appendChild(copy);
        } else if (isHtml && !DROPPED.has(name)) {
          copyAllowed(node, to, depth + 1);  // an unknown wrapper: keep its text
        }
      }
    }
  }

  function addEntry(html) {
    const item = document.createElement('li');
    item.className = 'entry';
    item.id = 'entry-' + shown;
    item.setAttribute('role', 'option');
    item.setAttribute('aria-selected', 'false');
    item.appendChild(sanitize(html));
    resultList.appendChild(item);
    shown += 1;
  }

  function clearEntries() {
    resultList.replaceChildren();
    shown = 0;
    setActive(-1);
    moreButton.hidden = true;
    wordField.setAttribute('aria-expanded', 'false');
  }

  function setActive(index) {
    const items = resultList.children;
    if (active >= 0 && active < items.length) {
      items[active].classList.remove('active');
      items[active].setAttribute('aria-selected', 'false');
    }
    active = index;
    if (active >= 0 && active < items.length) {
      items[active].classList.add('active');
      items[active].setAttribute('aria-selected', 'true');
      items[active].scrollIntoView({ block: 'nearest' });
      wordField.setAttribute('aria-activedescendant', items[active].id);
    } else {
      wordField.removeAttribute('aria-activedescendant');
    }
  }

  // ---- Look-up ---------------------------------------------------------------------------------

  function lookUpNow() {
    clearTimeout(typingTimer);
    const word = wordField.value;
    const mine = ++generation;
    return serially(async function () {
      if (mine !== generation) return;
      clearEntries();
      if (word === '') {
        setState('idle', 'Type a word to look it up.');
      } else {
        const found = await lexor.queryWithWord(word);
        if (mine !== generation) return;
        if (!found || await lexor.isEOF()) {
          setState('no-match', 'No entries begin with “' + word + '”.');
        } else {
          await showNextPage(mine);
        }
      }
      // Tells an observer (and a test) which word the entries on show belong to.
      if (mine === generation) widget.dataset.word = word;
    });
  }

  // Steps the cursor through up to one page of entries after those already shown.
  async function showNextPage(mine) {
    let count = 0;
    while (count < PAGE_SIZE) {
      if (mine !== generation) return;
      if (await lexor.isEOF()) break;
      const html = await lexor.getRecordAsHTML();
      if (mine !== generation) return;
      if (html !== null) addEntry(html);
      await lexor.moveNext();
      count += 1;
    }
    if (mine !== generation) return;
    const more = !(await lexor.isEOF());
    if (mine !== generation) return;
    moreButton.hidden = !more;
    wordField.setAttribute('aria-expanded', shown > 0 ? 'true' : 'false');
    const noun = shown === 1 ? 'entry' : 'entries';
    setState('results', more ? shown + ' ' + noun + ' shown, more below' : shown + ' ' + noun);
  }

  function showMore() {
    const mine = generation;
    serially(function () { return showNextPage(mine); });
  }

  function lookUpSoon() {
    clearTimeout(typingTimer);
    typingTimer = setTimeout(lookUpNow, TYPING_DELAY_MS);
  }

  function clearAll() {
    clearTimeout(typingTimer);
    wordField.value = '';
    lookUpNow();
  }

  // ---- Dictionaries ----------------------------------------------------------------------------

  function addOption(parent, value, label) {
    const option = document.createElement('option');
    option.value = value;
    option.textContent = label;  // display names may hold '<' and '&': they are text, not markup
    parent.appendChild(option);
  }

  async function listDictionaries() {
    const folder = await lexor.getDicDir();
    if (folder === null) {
      setState('no-folder',
        'No dictionary folder. Put Lexor dictionaries (.dic files) in ~/Library/Lexor, ' +
        'then reload this page.');
      return;
    }
    const count = await lexor.dicCount();   // scans the folder
    const names = await lexor.dicNamesInDir();
    const suiteVersion = await lexor.isAmboraAvailable();
    if (count === 0) {
      setState('no-dictionaries',
        'No dictionaries in ' + folder + '. Add .dic files there, then reload this page.');
      return;
    }
    chooser.replaceChildren();
    if (suiteVersion > 0) {
      const group = document.createElement('optgroup');
      group.label = 'Suite';
      addOption(group, SUITE, 'Ambora suite (English ⇄ Japanese)');
      chooser.appendChild(group);
    }
    const group = document.createElement('optgroup');
    group.label = 'Dictionaries';
    names.forEach(function (name, position) { addOption(group, String(position), name); });
    chooser.appendChild(group);
    chooser.value = suiteVersion > 0 ? SUITE : '0';
    chooser.disabled = false;
    wordField.disabled = false;
    await useChosenDictionary();
    setState('idle', 'Type a word to look it up.');
    wordField.focus();
  }

  function useChosenDictionary() {
    return chooser.value === SUITE ? lexor.useAmbora() : lexor.useNthDic(Number(chooser.value));
  }

  function changeDictionary() {
    generation += 1;  // a look-up still running belongs to the old choice
    serially(useChosenDictionary);
    if (wordField.value !== '') lookUpNow();
  }

  // ---- Keyboard --------------------------------------------------------------------------------

  function onKey(event) {
    const count = resultList.children.length;
    switch (event.key) {
      case 'Enter':
        event.preventDefault();
        lookUpNow();
        break;
      case 'ArrowDown':
        event.preventDefault();
        if (count > 0) setActive(Math.min(active + 1, count - 1));
        break;
      case 'ArrowUp':
        event.preventDefault();
        if (count > 0) setActive(Math.max(active - 1, 0));
        break;
      case 'Escape':
        event.preventDefault();
        clearAll();
        break;
      default:
        break;
    }
  }

  wordField.addEventListener('input', lookUpSoon);
  wordField.addEventListener('keydown', onKey);
  chooser.addEventListener('change', changeDictionary);
  moreButton.addEventListener('click', showMore);
  resultList.addEventListener('click', function (event) {
    const item = event.target.closest('.entry');
    if (item) setActive(Array.prototype.indexOf.call(resultList.children, item));
  });

  serially(listDictionaries);
})();
