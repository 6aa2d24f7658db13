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
//
// Japanese: each look-up's batch also asks "deinflect". A word that is no head word but a
// conjugated form of one (食べました) shows the form's entries first, under a line saying how it
// was reached, at the cost of one more request; a head word that is also a form of another (いた)
// offers that one in a line "also: いる (past)". With the かな switch on, typed romaji becomes kana.
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
  const kanaSwitch = document.getElementById('kana');
  const inflectionLine = document.getElementById('inflection');

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

  // Each fragment is parsed alone into an element of a document that has no window: it is inert
  // (its scripts never run, its images never load), and its unclosed elements end with it. One
  // element serves every entry, far cheaper than a new parser for each; a plain element rather
  // than a template, which WebKit parses three times slower.
  const holder = document.implementation.createHTMLDocument('').createElement('div');

  function sanitize(html) {
    holder.innerHTML = html;
    const clean = document.createDocumentFragment();
    copyAllowed(holder, clean, 0);
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
    hideInflection();
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

  // `typing`: the look-up follows a key, so a last romaji letter may still change.
  function lookUpNow(typing) {
    clearTimeout(typingTimer);
    let word = wordField.value;
    const mine = ++generation;
    if (word !== '') setState('busy', 'Looking up “' + word + '”…');
    return serially(async function () {
      if (mine !== generation) return;
      if (kanaSwitch.checked && ROMAJI.test(word)) {
        const kana = await romajiToKana(word, typing === true);
        if (mine !== generation) return;
        if (wordField.value === word) wordField.value = kana;
        word = kana;
      }
      if (word === '') {
        clearEntries();
        setState('idle', 'Type a word to look it up.');
      } else if (translationSwitch.checked) {
        await searchTranslations(word, mine);
      } else {
        const missExpected = lastMiss !== null && word.startsWith(lastMiss);
        // The query, its first record (is the word a head word?), a page; then what rides along.
        const calls = [{ op: 'queryWithWord', args: [word] }, { op: 'getRecord' }].concat(PAGE_CALLS);
        const riders = (missExpected ? suggestionCalls(word) : []).concat([{ op: 'deinflect', args: [word] }]);
        const answers = await lexor.batch(calls.concat(riders));
        if (mine !== generation) return;
        let found = resultOf(answers[0]);
        let page = readPage(answers.slice(2, calls.length));
        const forms = readForms(answers[answers.length - 1]);
        const first = answers[1].result;
        const isHeadWord = Array.isArray(first) && first[0] === word;
        let formEntries = [];
        if (!isHeadWord && forms.length > 0) {
          const more = await lexor.batch(formCalls(forms[0].word).concat(calls));
          if (mine !== generation) return;
          formEntries = readFormEntries(more, forms[0].word);
          const rest = more.slice(FORM_CALLS_LENGTH);
          found = resultOf(rest[0]);
          page = readPage(rest.slice(2, calls.length));
        }
        if ((!found || page.entries.length === 0) && formEntries.length === 0) {
          lastMiss = word;
          const suggested = missExpected ? answers.slice(calls.length, answers.length - 1)
            : await lexor.batch(suggestionCalls(word));
          if (mine !== generation) return;
          clearEntries();
          showSuggestions(word, readSuggestions(suggested));
        } else {
          lastMiss = null;
          clearEntries();
          showInflection(word, forms, isHeadWord, formEntries.length > 0);
          showPage({ entries: formEntries.concat(found ? page.entries : []), more: found && page.more });
        }
      }
      // Tells an observer (and a test) which word the entries on show belong to, and when they
      // came (a mark on the page's own clock, which polling from outside cannot give).
      if (mine === generation) {
        widget.dataset.word = word;
        performance.mark('lexorpeek-entries', { detail: word });
      }
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
    typingTimer = setTimeout(function () { lookUpNow(true); }, TYPING_DELAY_MS);
  }

  // ---- Japanese: dictionary forms and romaji ----------------------------------------------------

  const FORM_ENTRIES = 10;  // entries of one dictionary form shown at most
  // The best form's query, then for each of its entries whether the cursor is at the end, its
  // head word, its HTML and a step.
  function formCalls(form) {
    const calls = [{ op: 'queryWithWord', args: [form] }];
    for (let i = 0; i < FORM_ENTRIES; ++i) {
      calls.push({ op: 'isEOF' }, { op: 'getRecord' }, { op: 'getRecordAsHTML' }, { op: 'moveNext' });
    }
    return calls;
  }
  const FORM_CALLS_LENGTH = 1 + 4 * FORM_ENTRIES;

  // The HTML of the entries whose head word is the form itself.
  function readFormEntries(answers, form) {
    const html = [];
    for (let i = 0; i < FORM_ENTRIES; ++i) {
      const at = 1 + 4 * i;
      if (answers[at].result !== false) break;
      const record = answers[at + 1].result;
      if (!Array.isArray(record) || record[0] !== form) break;
      html.push(answers[at + 2].result);
    }
    return html;
  }

  // A failed "deinflect" (an old server, say) only means no dictionary forms.
  function readForms(answer) {
    return Array.isArray(answer.result) ? answer.result : [];
  }

  // "食べました → 食べる (polite, past)" above the form's entries, or, for a head word that is
  // also a form of another, "also: いる (past)", which looks that one up. Text, never markup.
  function showInflection(word, forms, isHeadWord, formShown) {
    if (forms.length === 0 || (!isHeadWord && !formShown)) return;
    const form = forms[0];
    const how = ' (' + form.rules.join(', ') + ')';
    if (formShown) {
      inflectionLine.textContent = word + ' → ' + form.word + how;
    } else {
      const also = document.createElement('button');
      also.type = 'button';
      also.className = 'also';
      also.textContent = 'also: ' + form.word + how;
      also.addEventListener('click', function () {
        wordField.value = form.word;
        lookUpNow();
      });
      inflectionLine.replaceChildren(also);
    }
    inflectionLine.hidden = false;
  }

  function hideInflection() {
    inflectionLine.hidden = true;
    inflectionLine.replaceChildren();
  }

  // Romaji to convert: a Latin letter, a long vowel or the long-vowel dash.
  const ROMAJI = /[A-Za-zāīūēōâîûêôĀĪŪĒŌÂÎÛÊÔ-]/;

  // While typing, a last single n may still begin な or にゃ: it waits for the next key.
  async function romajiToKana(text, typing) {
    const held = typing && /(^|[^nN])[nN]$/.test(text) ? text.slice(-1) : '';
    const [answer] = await lexor.batch([{ op: 'toKana', args: [text.slice(0, text.length - held.length)] }]);
    return resultOf(answer) + held;
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
    kanaSwitch.disabled = false;
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
  kanaSwitch.addEventListener('change', function () { if (wordField.value !== '') lookUpNow(); });
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
