// The widget page: looks words up as the user types and shows the entries of the chosen
// dictionary.
//
// All calls go through LexorPeek.async, a page of entries in one batched request: the query, then
// the entries as HTML with the cursor's steps between them. The page's session has one cursor, so
// the requests of one look-up must not interleave with those of another: every task runs on one
// serial queue, and what a look-up brings back is dropped when a newer one has begun.
//
// When nothing begins with the word, the list offers near head words instead ("Did you mean").
// A look-up that finds entries is one request. One that finds nothing asks for the suggestions in
// a second request, unless the word extends the word that missed before it: nothing can begin
// with it either, so its batch asks for them at once.
(function () {
  'use strict';

  const PAGE_SIZE = 100;      // entries shown at once; "Show more" fetches the next page
  // Short enough that the entries follow the last key closely, long enough that keys typed in a
  // run make one look-up.
  const TYPING_DELAY_MS = 60;
  const SUITE = 'suite';
  const SUGGESTIONS = 10;     // near words offered when nothing matches
  // Full-text search: how many entries one search shows, how often the page asks how far a
  // missing index has got, and where the switch is remembered for the page.
  const TEXT_SEARCH_LIMIT = 100;
  const INDEX_POLL_MS = 250;
  const INDEX_BUILDING = 'index building';
  const SWITCH_KEY = 'lexorpeek.inTranslations';

  const lexor = window.LexorPeek.async;
  const widget = document.getElementById('widget');
  const chooser = document.getElementById('dictionary');
  const wordField = document.getElementById('word');
  const statusLine = document.getElementById('status');
  const resultList = document.getElementById('results');
  const moreButton = document.getElementById('more');
  const translationSwitch = document.getElementById('in-translations');

  let queue = Promise.resolve();
  let generation = 0;          // bumped by every new look-up and every change of dictionary
  let typingTimer = 0;
  let shown = 0;
  let active = -1;
  let lastMiss = null;         // the last word that found nothing on this choice of dictionary

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
    const message = error && error.message ? error.message : String(error);
    if (message.includes(RELOAD_HINT) && reloadKeepingWord()) return;
    setState('error', 'LexorPeek cannot answer: ' + message);
  }

  // ---- A session the server has ended ----------------------------------------------------------

  // The server ends a page's session when it has been idle long, or gives it up for a newer page,
  // and then answers "reload the page". The widget reloads by itself, once, carrying the word and
  // the chosen dictionary over in the address's fragment, so that the user loses nothing.
  const RELOAD_HINT = 'reload the page';
  const RELOAD_AGAIN_AFTER_MS = 10000;  // a page reloaded this recently shows the error instead
  const carried = new URLSearchParams(location.hash.slice(1));
  if (location.hash) history.replaceState(null, '', location.pathname + location.search);

  function reloadKeepingWord() {
    if (Date.now() - Number(carried.get('at') || 0) < RELOAD_AGAIN_AFTER_MS) return false;
    const kept = new URLSearchParams({ word: wordField.value, dictionary: chooser.value,
      at: String(Date.now()) });
    history.replaceState(null, '', '#' + kept.toString());
    location.reload();
    return true;
  }

  // ---- Rendering entries -----------------------------------------------------------------------

  // Dictionary texts may carry markup by design. Only these elements survive, with only their
  // class; everything is rebuilt with createElement, so no attribute, handler or URL of the
  // fragment reaches the page.
  // <mark> is the full-text search's highlight of a hit.
  const KEPT = new Set(['span', 'br', 'b', 'i', 'em', 'strong', 'sub', 'sup', 'small', 'u', 'mark']);
  // Elements whose content is not text for the reader; dropped with everything inside.
  const DROPPED = new Set([
    'script', 'style', 'template', 'iframe', 'object', 'embed', 'noscript', 'noembed',
    'noframes', 'textarea', 'title', 'svg', 'math', 'xmp', 'select', 'head',
  ]);
  const HTML_NAMESPACE = 'http://www.w3.org/1999/xhtml';
  const MAX_DEPTH = 32;

  // Each fragment is parsed alone into a template of a document that has no window: it is inert
  // (its scripts never run, its images never load), and its unclosed elements end with it. One
  // template serves every entry, far cheaper than a new parser for each.
  const holder = document.implementation.createHTMLDocument('').createElement('template');

  function sanitize(html) {
    holder.innerHTML = html;
    const clean = document.createDocumentFragment();
    copyAllowed(holder.content, clean, 0);
    holder.innerHTML = '';
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
    resultList.setAttribute('aria-label', 'Entries');
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

  // The calls that fetch up to one page of entries from the cursor on: while not at the end, the
  // entry as HTML and a step; then whether more remain.
  const PAGE_CALLS = (function () {
    const calls = [];
    for (let i = 0; i < PAGE_SIZE; ++i) {
      calls.push({ op: 'isEOF' }, { op: 'getRecordAsHTML' }, { op: 'moveNext' });
    }
    calls.push({ op: 'isEOF' });
    return Object.freeze(calls);
  })();

  function resultOf(answer) {
    if ('error' in answer) throw new Error(String(answer.error));
    return answer.result;
  }

  // The entries' HTML in the answers to PAGE_CALLS, and whether more remain.
  function readPage(answers) {
    const entries = [];
    for (let i = 0; i < PAGE_SIZE; ++i) {
      if (resultOf(answers[3 * i])) return { entries: entries, more: false };
      entries.push(resultOf(answers[3 * i + 1]));
      resultOf(answers[3 * i + 2]);
    }
    return { entries: entries, more: !resultOf(answers[3 * PAGE_SIZE]) };
  }

  // Near head words, in the dictionary's order: those one edit away, else those that begin with
  // the word less its last character. They change no cursor, so they can ride in any batch.
  function suggestionCalls(word) {
    const calls = [{ op: 'matchWords', args: ['lev', word, SUGGESTIONS] }];
    const shorter = Array.from(word).slice(0, -1).join('');
    if (shorter !== '') calls.push({ op: 'matchWords', args: ['prefix', shorter, SUGGESTIONS] });
    return calls;
  }

  // A failed match (a damaged dictionary, say) only means no suggestions.
  function readSuggestions(answers) {
    for (const answer of answers) {
      if (Array.isArray(answer.result) && answer.result.length > 0) {
        return Array.from(new Set(answer.result)).slice(0, SUGGESTIONS);
      }
    }
    return [];
  }

  // Head words are dictionary data: they go in as text, never as markup.
  function showSuggestions(word, suggestions) {
    if (suggestions.length === 0) {
      setState('no-match', 'No entries begin with “' + word + '”.');
      return;
    }
    resultList.setAttribute('aria-label', 'Suggestions');
    suggestions.forEach(function (suggestion, index) {
      const item = document.createElement('li');
      item.className = 'suggestion';
      item.id = 'suggestion-' + index;
      item.setAttribute('role', 'option');
      item.setAttribute('aria-selected', 'false');
      item.dataset.suggestion = suggestion;
      item.textContent = suggestion;
      resultList.appendChild(item);
    });
    wordField.setAttribute('aria-expanded', 'true');
    setState('no-match', 'No entries begin with “' + word + '”. Did you mean:');
  }

  function lookUpSuggestion(item) {
    wordField.value = item.dataset.suggestion;
    lookUpNow();
  }

  function lookUpNow() {
    clearTimeout(typingTimer);
    const word = wordField.value;
    const mine = ++generation;
    if (word !== '') setState('busy', 'Looking up “' + word + '”…');
    return serially(async function () {
      if (mine !== generation) return;
      if (word === '') {
        clearEntries();
        setState('idle', 'Type a word to look it up.');
      } else if (translationSwitch.checked) {
        await searchTranslations(word, mine);
      } else {
        const missExpected = lastMiss !== null && word.startsWith(lastMiss);
        const calls = [{ op: 'queryWithWord', args: [word] }].concat(PAGE_CALLS);
        const answers = await lexor.batch(missExpected ? calls.concat(suggestionCalls(word)) : calls);
        if (mine !== generation) return;
        const found = resultOf(answers[0]);
        const page = readPage(answers.slice(1, calls.length));
        if (!found || page.entries.length === 0) {
          lastMiss = word;
          const suggested = missExpected ? answers.slice(calls.length)
            : await lexor.batch(suggestionCalls(word));
          if (mine !== generation) return;
          clearEntries();
          showSuggestions(word, readSuggestions(suggested));
        } else {
          lastMiss = null;
          clearEntries();
          showPage(page);
        }
      }
      // Tells an observer (and a test) which word the entries on show belong to.
      if (mine === generation) widget.dataset.word = word;
    });
  }

  // Full-text search: the entries whose translation or example holds the words, hits marked.
  // While the dictionary's index is being built the status line shows how far it has got, and
  // the search is asked again until it answers; a newer look-up ends the wait.
  async function searchTranslations(word, mine) {
    for (;;) {
      const [answer] = await lexor.batch([{ op: 'searchText', args: [word, TEXT_SEARCH_LIMIT] }]);
      if (mine !== generation) return;
      if (!('error' in answer)) {
        clearEntries();
        if (answer.result.length === 0) {
          setState('no-match', 'No translations hold “' + word + '”.');
        } else {
          showPage({ entries: answer.result, more: false });
        }
        return;
      }
      if (answer.error !== INDEX_BUILDING) {
        clearEntries();
        setState('no-match', String(answer.error).replace(/^searchText: /, ''));
        return;
      }
      const [progress] = await lexor.batch([{ op: 'searchProgress' }]);
      if (mine !== generation) return;
      const counts = resultOf(progress);
      setState('busy', counts
        ? 'Indexing translations: ' + counts[0].toLocaleString() + ' of ' + counts[1].toLocaleString() + ' entries…'
        : 'Indexing translations…');
      await new Promise(function (resolve) { setTimeout(resolve, INDEX_POLL_MS); });
      if (mine !== generation) return;
    }
  }

  // Adds a page of entries after those shown; the count in the status line changes with them.
  function showPage(page) {
    for (const html of page.entries) {
      if (html !== null) addEntry(html);
    }
    moreButton.hidden = !page.more;
    wordField.setAttribute('aria-expanded', shown > 0 ? 'true' : 'false');
    const noun = shown === 1 ? 'entry' : 'entries';
    setState('results', page.more ? shown + ' ' + noun + ' shown, more below' : shown + ' ' + noun);
  }

  function showMore() {
    const mine = generation;
    serially(async function () {
      if (mine !== generation) return;
      const answers = await lexor.batch(PAGE_CALLS);
      if (mine === generation) showPage(readPage(answers));
    });
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
    // dicCount scans the folder; the listing after it reads the scan.
    const answers = await lexor.batch([{ op: 'getDicDir' }, { op: 'dicCount' },
      { op: 'dicNamesInDir' }, { op: 'isAmboraAvailable' }]);
    const [folder, count, names, suiteVersion] = answers.map(resultOf);
    if (folder === null) {
      setState('no-folder',
        'No dictionary folder. Put Lexor dictionaries (.dic files) in ~/Library/Lexor, ' +
        'then reload this page.');
      return;
    }
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
    const keptChoice = carried.get('dictionary');
    if (Array.prototype.some.call(chooser.options, (option) => option.value === keptChoice)) {
      chooser.value = keptChoice;
    }
    chooser.disabled = false;
    wordField.disabled = false;
    translationSwitch.disabled = false;
    await useChosenDictionary();
    setState('idle', 'Type a word to look it up.');
    wordField.focus();
    const keptWord = carried.get('word');
    if (keptWord) {
      wordField.value = keptWord;
      lookUpNow();
    }
  }

  function useChosenDictionary() {
    return chooser.value === SUITE ? lexor.useAmbora() : lexor.useNthDic(Number(chooser.value));
  }

  function changeDictionary() {
    generation += 1;  // a look-up still running belongs to the old choice
    lastMiss = null;
    serially(useChosenDictionary);
    if (wordField.value !== '') lookUpNow();
  }

  // ---- Keyboard --------------------------------------------------------------------------------

  function onKey(event) {
    const count = resultList.children.length;
    switch (event.key) {
      case 'Enter':
        event.preventDefault();
        if (active >= 0 && resultList.children[active].dataset.suggestion !== undefined) {
          lookUpSuggestion(resultList.children[active]);
        } else {
          lookUpNow();
        }
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

  function switchSearch() {
    try {
      sessionStorage.setItem(SWITCH_KEY, translationSwitch.checked ? '1' : '0');
    } catch (e) {
      // storage refused: the switch still works for this view of the page
    }
    wordField.placeholder = translationSwitch.checked ? 'Words in translations…' : 'Type a word…';
    if (wordField.value !== '') lookUpNow();
  }

  try {
    translationSwitch.checked = sessionStorage.getItem(SWITCH_KEY) === '1';
  } catch (e) {
    translationSwitch.checked = false;
  }
  if (translationSwitch.checked) wordField.placeholder = 'Words in translations…';

  wordField.addEventListener('input', lookUpSoon);
  translationSwitch.addEventListener('change', switchSearch);
  wordField.addEventListener('keydown', onKey);
  chooser.addEventListener('change', changeDictionary);
  moreButton.addEventListener('click', showMore);
  resultList.addEventListener('click', function (event) {
    const item = event.target.closest('.entry, .suggestion');
    if (!item) return;
    if (item.classList.contains('suggestion')) {
      lookUpSuggestion(item);
    } else {
      setActive(Array.prototype.indexOf.call(resultList.children, item));
    }
  });

  serially(listDictionaries);
})();
