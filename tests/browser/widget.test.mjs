// The widget page in headless Chromium against the servers run.sh started: first the scenarios
// every host shares (tests/widget/scenarios.mjs; tests/desktop runs them in the desktop window),
// then what this page alone is tested for, on the test dictionaries of LEXOR_DICTIONARY_FOLDER
// (LEXOR_URL) and on an account without a dictionary folder (LEXOR_BARE_URL).
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, beforeEach, afterEach, test } from 'node:test';
import { chromium } from 'playwright-core';
import { choose, lookUp as showing, openWidget, replIn, scenarios } from '../widget/scenarios.mjs';

const url = process.env.LEXOR_URL ?? 'http://127.0.0.1:8737/';
const bareUrl = process.env.LEXOR_BARE_URL;
const screenshots = process.env.LEXOR_SCREENSHOT_DIR ?? 'build/screenshots';
const folder = process.env.LEXOR_DICTIONARY_FOLDER;
const env = { url, folder, repl: replIn(process.env.LEXOR_BIN_DIR, folder) };

let browser, page, dialogs, pageErrors, posts;

before(async () => {
  browser = await chromium.launch({
    executablePath: process.env.LEXOR_CHROMIUM ?? '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});

after(() => browser?.close());

beforeEach(async () => {
  page = await browser.newPage({ viewport: { width: 900, height: 760 } });
  [dialogs, pageErrors, posts] = [[], [], []];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('request', (request) => { if (request.method() === 'POST') posts.push(request.url()); });
});

afterEach(async () => {
  assert.deepEqual(pageErrors, [], 'no script error on the page');
  await page.close();
});

const open = (dictionary) => openWidget(page, url, dictionary);

// Sets the field without an input event: a look-up on Enter alone, however slow the key comes.
const setWord = (word, p = page) => p.$eval('#word', (field, w) => { field.value = w; }, word);

const lookUp = (word, p = page) => showing(p, word, async () => {
  await setWord(word, p);
  await p.press('#word', 'Enter');
});

const entries = () => page.locator('#results .entry');
const headWords = () => page.locator('#results .entry .f1').allTextContents();
const suggestions = () => page.locator('#results .suggestion').allTextContents();
const state = () => page.locator('#widget').getAttribute('data-state');

const shot = (name) => page.screenshot({ path: path.join(screenshots, `${name}.png`) });
const firstTranslation = () => entries().first().locator('.f4').textContent();

for (const [name, scenario] of scenarios) test(name, () => scenario(page, env));

test('lists the dictionaries with their display names as text', async () => {
  await open();
  const labels = await page.locator('#dictionary option').allTextContents();
  for (const name of ['英<不規則>', '(蘭-英&独)', 'サンプル辞書']) assert.ok(labels.includes(name), labels.join(' | '));
  assert.ok(labels.some((label) => label.startsWith('Ambora suite')));
  // The names were not read as markup: no element came out of "<不規則>".
  assert.equal(await page.locator('#dictionary *:not(option):not(optgroup)').count(), 0);
  await shot('widget-dictionaries');
});

test('switches dictionaries and looks the word up again', async () => {
  await open('サンプル辞書');
  await lookUp('go');
  await showing(page, 'go', () => choose(page, '英<不規則>'));
  assert.deepEqual(await headWords(), ['go']);
  assert.equal(await firstTranslation(), 'went, gone');
  await choose(page, '(蘭-英&独)');
  await lookUp('gaan');
  assert.equal(await firstTranslation(), 'to go; gehen');
});

test('a conjugated word shows its dictionary form first; a head word offers its other form', async () => {
  await open();
  posts.length = 0;
  await lookUp('食べました');
  assert.equal(await page.textContent('#inflection'), '食べました → 食べる (polite, past)');
  assert.deepEqual(await headWords(), ['食べる']);
  assert.equal(posts.length, 2, 'one request more than a plain look-up');
  await lookUp('いた');
  assert.deepEqual(await headWords(), ['いた']);
  assert.equal(await page.textContent('#inflection .also'), 'also: いる (past)');
  await shot('widget-inflection');
  await showing(page, 'いる', () => page.click('#inflection .also'));
  assert.deepEqual(await headWords(), ['いる']);
  assert.equal(await page.isVisible('#inflection'), false);
});

test('the かな switch, off at first and after the box, turns typed romaji into kana', async () => {
  await open();
  assert.equal(await page.evaluate(() => document.querySelector('input').id), 'word');
  assert.equal(await page.isChecked('#kana'), false);
  await page.check('#kana');
  await showing(page, 'ねこ', () => page.locator('#word').pressSequentially('neko'));
  assert.equal(await page.inputValue('#word'), 'ねこ');
  assert.deepEqual(await headWords(), ['ねこ']);
  await page.uncheck('#kana');
  await lookUp('neko');
  assert.equal(await page.inputValue('#word'), 'neko');
});

test('the switch to search translations is kept for the page', async () => {
  await open('サンプル辞書');
  await page.check('#in-translations');
  await page.reload();
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
  assert.equal(await page.isChecked('#in-translations'), true);
  await page.uncheck('#in-translations');
  await choose(page, 'サンプル辞書');
  await lookUp('go');
  assert.deepEqual(await headWords(), ['go', 'goal', 'gone']);
});

test('shows a page of entries at a time and more on request', async () => {
  await open('サンプル辞書');
  await lookUp('many');
  assert.equal(await entries().count(), 100);
  await page.click('#more');
  await page.waitForFunction(() => document.querySelectorAll('#results .entry').length === 150);
  await page.waitForFunction(() => document.getElementById('more').hidden);
  const words = await headWords();
  assert.deepEqual([words[0], words[149], new Set(words).size], ['many000', 'many149', 150]);
});

test('offers near head words when nothing matches; activating one looks it up', async () => {
  await open('サンプル辞書');
  posts.length = 0;
  await lookUp('manyx');  // nothing one edit away: words that begin with "many"
  assert.deepEqual([posts.length, await state()], [2, 'no-match']);
  assert.deepEqual((await suggestions()).slice(0, 2), ['many000', 'many001']);
  assert.equal((await suggestions()).length, 10);
  await showing(page, 'many001', () => page.click('#results .suggestion >> nth=1'));
  assert.deepEqual(await headWords(), ['many001']);
  await lookUp('zzz');  // nothing near either
  assert.deepEqual([await state(), await page.textContent('#status')], ['no-match', 'No entries begin with “zzz”.']);
  // Typing on past a miss cannot find entries either: one request brings the suggestions.
  await lookUp('gxa');
  posts.length = 0;
  await lookUp('gxal');
  assert.deepEqual([posts.length, await suggestions()], [1, ['goal']]);
});

test('runs nothing that a dictionary text carries, nor inline script at all', async () => {
  await open('サンプル辞書');
  await lookUp('<img src=y onerror=window.__lexorPwned=8>');  // a hostile head word, suggested
  assert.deepEqual(await suggestions(), ['<img src=x onerror=window.__lexorPwned=8>']);
  assert.equal(await page.locator('#results img').count(), 0);
  await lookUp('bold');  // harmless markup of a translation stays
  assert.equal(await entries().first().locator('.f4 b').textContent(), '太字');
  await lookUp('xss');
  assert.equal(await entries().count(), 4);
  await page.hover('#results .entry >> nth=3');
  await page.evaluate(() => {  // outside the sanitizer, the content security policy still holds
    const holder = document.createElement('div');
    holder.innerHTML = '<img src="x" onerror="window.__lexorPwned = 7">';
    document.body.appendChild(holder);
  });
  await page.waitForTimeout(300);  // time for an image error or a frame to have fired
  assert.equal(await page.evaluate(() => window.__lexorPwned), undefined);
  assert.deepEqual(dialogs, []);
  const dangerous = ['img', 'script', 'svg', 'iframe', 'a', '[onerror]', '[onload]',
    '[onmouseover]', '[style]'].map((s) => `#results ${s}`).join(', ');
  assert.deepEqual(await page.locator(dangerous).evaluateAll((nodes) => nodes.map((n) => n.outerHTML)), []);
  assert.equal(await firstTranslation(), '画像');  // the text around the markup is still there
});

test('without a dictionary folder the widget says where dictionaries go', { skip: !bareUrl }, async () => {
  await openWidget(page, bareUrl);
  assert.equal(await state(), 'no-folder');
  assert.match(await page.textContent('#status'), /~\/Library\/Lexor/);
  assert.ok(await page.locator('#word').isDisabled());
  await shot('widget-no-folder');
});

// Everything the card holds stays inside it, and the card inside the window, at widget widths.
test('fits a widget-sized window from 320 to 480 px wide, light and dark', async () => {
  for (const colorScheme of ['light', 'dark']) {
    await page.emulateMedia({ colorScheme });
    for (const width of [320, 360, 420, 480]) {
      await page.setViewportSize({ width, height: 640 });
      await open();
      for (const word of ['go', 'gox']) {  // entries, then suggestions
        await lookUp(word);
        const outside = await page.evaluate(() => {
          const card = document.getElementById('widget').getBoundingClientRect();
          const out = [];
          if (document.documentElement.scrollWidth > window.innerWidth) out.push('the page scrolls sideways');
          if (card.left < 0 || card.right > window.innerWidth) out.push('the card');
          for (const element of document.querySelectorAll('#widget *')) {
            const box = element.getBoundingClientRect();
            if (box.width === 0 || element.closest('.visually-hidden')) continue;
            if (box.left < card.left - 0.5 || box.right > card.right + 0.5) out.push(element.id || element.className || element.localName);
          }
          return out;
        });
        assert.deepEqual(outside, [], `${width} px, ${colorScheme}, ${word}`);
        if (width === 320) await shot(`widget-320-${colorScheme}-${word}`);
      }
    }
  }
});

test('a page whose session was given up for newer pages reloads once, keeping word and dictionary', async () => {
  await open('サンプル辞書');
  await lookUp('many0');
  const chosen = await page.$eval('#dictionary', (chooser) => chooser.value);
  // As many pages as the server keeps sessions for, served after this one.
  for (let i = 0; i < 64; ++i) assert.equal((await fetch(url)).status, 200);
  const reloaded = page.waitForEvent('load');
  await setWord('many01');
  await page.press('#word', 'Enter');
  await reloaded;
  await page.waitForFunction(() => document.getElementById('widget').dataset.word === 'many01');
  const kept = [await page.$eval('#dictionary', (chooser) => chooser.value),
    await page.inputValue('#word'), new URL(page.url()).hash, await entries().count()];
  assert.deepEqual(kept, [chosen, 'many01', '', 10]);
});

test('one request per look-up, and the status line never counts the entries of another word', async () => {
  await open('サンプル辞書');
  await page.evaluate(() => {
    window.__mismatches = [];
    const results = document.getElementById('results');
    new MutationObserver(() => {
      const shown = results.children.length;
      const status = document.getElementById('status').textContent;
      const counted = /^(\d+) entr/.exec(status);
      if (shown > 0 && counted && Number(counted[1]) !== shown) window.__mismatches.push(`${shown}: ${status}`);
    }).observe(results, { childList: true });
  });
  posts.length = 0;
  await lookUp('many');
  assert.equal(posts.length, 1);
  await lookUp('go');
  assert.equal(await page.textContent('#status'), '3 entries');
  assert.deepEqual(await page.evaluate(() => window.__mismatches), []);
  assert.equal(posts.length, 2);
});
