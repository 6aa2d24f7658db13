// The widget's scenarios, written once and run in every host that shows the page: Chromium
// against the web host (tests/browser/widget.test.mjs, through Playwright) and the desktop window
// (tests/desktop, through WebKitWebDriver). A page here needs only goto, evaluate,
// waitForFunction, type, fill, press and click, as Playwright's Page has them.
//
// `env` gives the page's address (url), the test dictionaries' folder (folder) and repl(lines),
// the answers of `lexorpeek repl` to the same requests in the same account.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import path from 'node:path';

// The answers of `lexorpeek repl` (from `bin`) to request lines, in the account whose dictionary
// folder is `folder` (HOME/Library/Lexor).
export function replIn(bin, folder) {
  const home = path.resolve(folder, '../..');
  return (lines) => new Promise((resolve, reject) => {
    const child = spawn(`${bin}/lexorpeek`, ['--quiet', 'repl'], {
      stdio: ['pipe', 'pipe', 'inherit'], env: { ...process.env, HOME: home },
    });
    let out = '';
    child.stdout.on('data', (chunk) => { out += chunk; });
    child.on('error', reject);
    child.on('close', () => resolve(out.trim().split('\n').map((line) => JSON.parse(line))));
    child.stdin.end(lines.join('\n') + '\n');
  });
}

export async function openWidget(page, url, dictionary) {
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
  if (dictionary) await choose(page, dictionary);
}

export async function choose(page, label) {
  await page.evaluate((name) => {
    const chooser = document.getElementById('dictionary');
    chooser.value = Array.from(chooser.options).find((o) => o.textContent.includes(name)).value;
    chooser.dispatchEvent(new Event('change'));
  }, label);
}

// Waits until the entries on show belong to `word`, after `act` has asked for them.
export async function lookUp(page, word, act) {
  await page.evaluate(() => { delete document.getElementById('widget').dataset.word; });
  await act();
  await page.waitForFunction((w) => document.getElementById('widget').dataset.word === w, word);
}

const texts = (page, selector) =>
  page.evaluate((s) => Array.from(document.querySelectorAll(s), (e) => e.textContent), selector);

// Each call as [name, ...args]; the same sequence is run three times, synchronously, as
// promises and as one batch, from the same starting choice.
function contractCalls(folder) {
  return [
    ['dicCount'], ['getDicDir'], ['dicPathsInDir'], ['dicNamesInDir'], ['isAmboraAvailable'],
    ['useNthDic', 0], ['queryWithWord', 'go'], ['getRecord'], ['getRecordAsText'],
    ['getRecordAsHTML'], ['moveNext'], ['isEOF'], ['consult', 'go'], ['useAmbora'],
    ['queryWithWord', '行'], ['getRecordAsHTML'], ['removeDictionaries'], ['isEOF'], ['getRecord'],
    ['addDictionary', `${folder}/sample1.dic`], ['queryWithWord', 'gone'], ['getRecord'],
    ['useNthDic', 99], ['queryWithWord', 'go'],
    // Refused calls: each answers the protocol's error and changes nothing.
    ['useNthDic', 'first'], ['useNthDic', 1.5], ['queryWithWord'], ['queryWithWord', 'a', 'b'],
    ['addDictionary', 7], ['consult', null],
  ];
}

export const scenarios = [
  ['the page\'s LexorPeek answers as the repl does: synchronously, as promises and in a batch',
    async (page, env) => {
      await openWidget(page, env.url);
      const calls = contractCalls(env.folder).map(([op, ...args]) => ({ op, args }));
      const inPage = await page.evaluate(async (list) => {
        const failed = (e) => (e instanceof Error ? { error: e.message } : { notAnError: String(e) });
        const now = list.map(({ op, args }) => {
          try {
            return { result: LexorPeek[op](...args) };
          } catch (e) {
            return failed(e);
          }
        });
        const later = [];
        for (const { op, args } of list) {
          later.push(await LexorPeek.async[op](...args).then((result) => ({ result }), failed));
        }
        const batch = await LexorPeek.async.batch(list);
        const refused = await LexorPeek.async.batch([]).then(() => 'answered', failed);
        const shape = [Object.keys(LexorPeek).length, Object.isFrozen(LexorPeek)];
        return { answers: [...now, ...later, batch, refused], shape };
      }, calls);
      const lines = calls.map((call) => JSON.stringify(call));
      const repl = await env.repl([...lines, ...lines, JSON.stringify(calls), '[]']);
      assert.deepEqual(inPage.answers, repl);
      // The sixteen operations, the two of full-text search, and `async`; none can be replaced.
      assert.deepEqual(inPage.shape, [19, true]);
    }],

  ['typing, Enter and the arrow keys look up and step; a miss offers "Did you mean"',
    async (page, env) => {
      await openWidget(page, env.url, 'サンプル辞書');
      await lookUp(page, 'go', () => page.type('#word', 'go'));  // the pause after typing looks up
      assert.deepEqual(await texts(page, '#results .entry .f1'), ['go', 'goal', 'gone']);
      await page.press('#word', 'ArrowDown');
      await page.press('#word', 'ArrowDown');
      assert.deepEqual(await texts(page, '#results .entry.active .f1'), ['goal']);
      await page.fill('#word', 'gonee');
      await lookUp(page, 'gonee', () => page.press('#word', 'Enter'));
      assert.match((await texts(page, '#status'))[0], /No entries begin with “gonee”. Did you mean/);
      assert.deepEqual(await texts(page, '#results .suggestion'), ['gone']);
      await page.press('#word', 'ArrowDown');
      await lookUp(page, 'gone', () => page.press('#word', 'Enter'));
      assert.deepEqual(await texts(page, '#results .entry .f1'), ['gone']);
    }],

  ['the full-text switch searches the translations, hits marked', async (page, env) => {
    await openWidget(page, env.url, 'サンプル辞書');
    await page.click('#in-translations');
    await page.fill('#word', '過去分詞');
    await lookUp(page, '過去分詞', () => page.press('#word', 'Enter'));  // builds the index first
    assert.deepEqual(await texts(page, '#results .entry .f1'), ['gone']);
    assert.deepEqual(await texts(page, '#results .entry .f4 mark'), ['過去分詞']);
    await page.click('#in-translations');
  }],
];
