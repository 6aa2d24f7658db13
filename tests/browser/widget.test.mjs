// The widget page in headless Chromium against the server that run.sh started on the test
// dictionaries (LEXOR_URL) and on an account without a dictionary folder (LEXOR_BARE_URL).
import assert from 'node:assert/strict';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, beforeEach, afterEach, describe, test } from 'node:test';
import { chromium } from 'playwright-core';

const url = process.env.LEXOR_URL ?? 'http://127.0.0.1:8737/';
const bareUrl = process.env.LEXOR_BARE_URL;
const screenshots = process.env.LEXOR_SCREENSHOT_DIR ?? 'build/screenshots';

let profile;
let context;
let page;
let dialogs;
let pageErrors;

before(async () => {
  profile = mkdtempSync(path.join(tmpdir(), 'lexorpeek-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.LEXOR_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
    viewport: { width: 900, height: 760 },
  });
});

after(async () => {
  await context?.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
});

beforeEach(async () => {
  page = await context.newPage();
  dialogs = [];
  pageErrors = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.dismiss(); });
  page.on('pageerror', (error) => pageErrors.push(error.message));
});

afterEach(async () => {
  assert.deepEqual(pageErrors, [], 'no script error on the page');
  await page.close();
});

async function openWidget(address = url) {
  await page.goto(address);
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
}

// Types a word (or presses a key) and waits until the entries on show belong to `word`.
async function lookUp(word, how = 'type') {
  await page.evaluate(() => { delete document.getElementById('widget').dataset.word; });
  if (how === 'type') {
    await page.fill('#word', '');
    await page.locator('#word').pressSequentially(word);  // the debounce does the look-up
  } else {
    await page.fill('#word', word);
    await page.press('#word', 'Enter');
  }
  await page.waitForFunction((w) => document.getElementById('widget').dataset.word === w, word);
}

const entries = () => page.locator('#results .entry');
const headWords = () => page.locator('#results .entry .f1').allTextContents();
const state = () => page.locator('#widget').getAttribute('data-state');

async function choose(label) {
  const value = await page.locator('#dictionary option', { hasText: label }).first()
    .getAttribute('value');
  await page.selectOption('#dictionary', value);
}

describe('the widget', () => {
  test('lists the dictionaries with their display names as text', async () => {
    await openWidget();
    const labels = await page.locator('#dictionary option').allTextContents();
    assert.ok(labels.includes('英<不規則>'), labels.join(' | '));
    assert.ok(labels.includes('(蘭-英&独)'), labels.join(' | '));
    assert.ok(labels.includes('サンプル辞書'));
    assert.ok(labels.some((label) => label.startsWith('Ambora suite')));
    // The names were not read as markup: no element came out of "<不規則>".
    assert.equal(await page.locator('#dictionary *:not(option):not(optgroup)').count(), 0);
    await page.screenshot({ path: path.join(screenshots, 'widget-dictionaries.png') });
  });

  test('looks a word up as it is typed and renders the entry fragments', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('go');
    assert.deepEqual(await headWords(), ['go', 'goal', 'gone']);
    const first = entries().first();
    assert.equal(await first.locator('.f2').textContent(), '[gou]');
    assert.equal(await first.locator('.f4').textContent(), '行く');
    assert.equal(await state(), 'results');
    await page.screenshot({ path: path.join(screenshots, 'widget-go.png') });
  });

  test('follows a dark colour scheme', async () => {
    await page.emulateMedia({ colorScheme: 'dark' });
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('go', 'enter');
    const [background, text] = await page.evaluate(() => {
      const style = getComputedStyle(document.querySelector('.widget'));
      return [style.backgroundColor, style.color];
    });
    const lightness = (rgb) => rgb.match(/\d+/g).slice(0, 3).reduce((a, b) => a + Number(b), 0) / 3;
    assert.ok(lightness(background) < 64, background);
    assert.ok(lightness(text) > 192, text);
    await page.screenshot({ path: path.join(screenshots, 'widget-go-dark.png') });
  });

  test('keeps harmless markup of a translation', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('bold', 'enter');
    assert.equal(await entries().first().locator('.f4 b').textContent(), '太字');
  });

  test('switches dictionaries and looks the word up again', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('go', 'enter');
    await page.evaluate(() => { delete document.getElementById('widget').dataset.word; });
    await choose('英<不規則>');
    await page.waitForFunction(() => document.getElementById('widget').dataset.word === 'go');
    assert.deepEqual(await headWords(), ['go']);
    assert.equal(await entries().first().locator('.f4').textContent(), 'went, gone');
    await choose('(蘭-英&独)');
    await lookUp('gaan', 'enter');
    assert.equal(await entries().first().locator('.f4').textContent(), 'to go; gehen');
  });

  test('in the suite, an English word goes to the English side, a Japanese word to the Japanese', async () => {
    await openWidget();
    assert.equal(await page.inputValue('#dictionary'), 'suite');
    await lookUp('go', 'enter');
    assert.deepEqual(await headWords(), ['go', 'going', 'good']);
    assert.equal(await entries().first().locator('.f4').textContent(), '行く');
    await lookUp('行', 'enter');
    assert.deepEqual(await headWords(), ['行く', '行儀']);
    assert.equal(await entries().first().locator('.f4').textContent(), 'go');
    await page.screenshot({ path: path.join(screenshots, 'widget-suite.png') });
  });

  test('shows a page of entries at a time and more on request', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('many', 'enter');
    assert.equal(await entries().count(), 100);
    assert.ok(await page.locator('#more').isVisible());
    await page.click('#more');
    await page.waitForFunction(() => document.querySelectorAll('#results .entry').length === 150);
    await page.waitForFunction(() => document.getElementById('more').hidden);
    const words = await headWords();
    assert.equal(words[0], 'many000');
    assert.equal(words[149], 'many149');
    assert.equal(new Set(words).size, 150);
  });

  test('moves through the entries with the arrow keys and clears with Escape', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('go', 'enter');
    await page.press('#word', 'ArrowDown');
    await page.press('#word', 'ArrowDown');
    await page.press('#word', 'ArrowDown');
    await page.press('#word', 'ArrowDown');  // stays on the last entry
    await page.press('#word', 'ArrowUp');
    assert.equal(await page.getAttribute('#word', 'aria-activedescendant'), 'entry-1');
    assert.equal(await page.locator('#results .entry.active .f1').textContent(), 'goal');
    await page.press('#word', 'Escape');
    await page.waitForFunction(() => document.getElementById('widget').dataset.word === '');
    assert.equal(await page.inputValue('#word'), '');
    assert.equal(await entries().count(), 0);
  });

  test('says so when nothing matches', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('zzz', 'enter');
    assert.equal(await state(), 'no-match');
    assert.match(await page.textContent('#status'), /No entries begin with “zzz”/);
  });

  test('runs nothing that a dictionary text carries', async () => {
    await openWidget();
    await choose('サンプル辞書');
    await lookUp('xss', 'enter');
    assert.equal(await entries().count(), 4);
    await page.hover('#results .entry >> nth=3');
    await page.waitForTimeout(300);  // time for an image error or a frame to have fired
    assert.equal(await page.evaluate(() => window.__lexorPwned), undefined);
    assert.deepEqual(dialogs, []);
    const dangerous = ['img', 'script', 'svg', 'iframe', 'a', '[onerror]', '[onload]',
      '[onmouseover]', '[style]'].map((s) => `#results ${s}`).join(', ');
    const left = await page.locator(dangerous).evaluateAll((nodes) => nodes.map((n) => n.outerHTML));
    assert.deepEqual(left, []);
    // The text around the markup is still there.
    assert.equal(await page.locator('#results .entry >> nth=0').locator('.f4').textContent(), '画像');
  });

  test('the content security policy stops inline script even outside the sanitizer', async () => {
    await openWidget();
    const ran = await page.evaluate(async () => {
      const holder = document.createElement('div');
      holder.innerHTML = '<img src="x" onerror="window.__lexorPwned = 7">';
      document.body.appendChild(holder);
      await new Promise((resolve) => setTimeout(resolve, 300));
      return window.__lexorPwned;
    });
    assert.equal(ran, undefined);
  });
});

describe('the LexorPeek object of the page', () => {
  test('answers synchronously, as a page written for an in-process bridge expects', async () => {
    await openWidget();
    const answers = await page.evaluate(() => {
      LexorPeek.useNthDic(LexorPeek.dicNamesInDir().indexOf('サンプル辞書'));
      const found = LexorPeek.queryWithWord('go');
      return { found, html: LexorPeek.getRecordAsHTML(), record: LexorPeek.getRecord(),
               names: Object.keys(LexorPeek).filter((k) => k !== 'async').length };
    });
    assert.equal(answers.found, true);
    assert.match(answers.html, /<span class="f1">go<\/span>/);
    assert.equal(answers.record.length, 5);
    assert.equal(answers.names, 16);
  });

  test('offers the same calls as promises and turns protocol errors into Errors', async () => {
    await openWidget();
    const answers = await page.evaluate(async () => {
      const count = await LexorPeek.async.dicCount();
      let syncError = null;
      try { LexorPeek.useNthDic('first'); } catch (e) { syncError = e instanceof Error && e.message; }
      let asyncError = null;
      await LexorPeek.async.queryWithWord().catch((e) => { asyncError = e.message; });
      return { count, syncError, asyncError, frozen: Object.isFrozen(LexorPeek) };
    });
    assert.equal(answers.count, 5);
    assert.ok(answers.syncError, 'a wrong argument type throws');
    assert.ok(answers.asyncError, 'a missing argument rejects');
    assert.equal(answers.frozen, true);
  });
});

describe('without a dictionary folder', { skip: !bareUrl }, () => {
  test('the widget says where dictionaries go', async () => {
    await openWidget(bareUrl);
    assert.equal(await state(), 'no-folder');
    assert.match(await page.textContent('#status'), /~\/Library\/Lexor/);
    assert.ok(await page.locator('#word').isDisabled());
    await page.screenshot({ path: path.join(screenshots, 'widget-no-folder.png') });
  });
});
