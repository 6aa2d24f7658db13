// Windows started for one test each: one given a word to show, then windows missing what they
// read (no dictionary folder, an empty one, a page extension that does not load).
import assert from 'node:assert/strict';
import { cpSync, mkdirSync, mkdtempSync, rmSync, symlinkSync } from 'node:fs';
import { setTimeout as sleep } from 'node:timers/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { openWidget } from '../widget/scenarios.mjs';
import { newSession, processesOf, startDriver } from './webdriver.mjs';

const bin = process.env.LEXOR_BIN_DIR;
const port = Number(process.env.LEXOR_WEBDRIVER_PORT ?? 4480) + 1;
const url = 'lexorpeek://widget/';
const status = (page) => page.evaluate(() => [document.getElementById('widget').dataset.state,
  document.getElementById('status').textContent]);

// A scratch folder, removed when the test `t` ends.
function scratch(t, name) {
  const folder = mkdtempSync(path.join(tmpdir(), name));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

async function withWindow(binary, env, log, body, args = []) {
  const driver = await startDriver(port, { env: { ...process.env, ...env }, log });
  const page = await newSession(driver.base, binary, ['--automation', ...args]);
  try {
    await body(page);
  } finally {
    await page.close();
    driver.stop();
    // The next test's window must not find this one still registered on the bus.
    for (let tries = 0; tries < 100 && processesOf(binary).length; ++tries) await sleep(50);
  }
}

test('started with --word, the window opens on the word\'s entries', async () => {
  await withWindow(`${bin}/lexorpeek-window`, {}, null, async (page) => {
    await page.waitForFunction(() => document.getElementById('widget')?.dataset.word === '行く');
    assert.equal(await page.evaluate(() => document.querySelector('#results .f1').textContent), '行く');
    // No settings portal runs here: GTK's own preference (run.sh's settings: dark) decides.
    assert.equal(await page.evaluate(() => matchMedia('(prefers-color-scheme: dark)').matches), true);
  }, ['--word', '行く']);
});

test('a missing, then an empty dictionary folder shows the page\'s own empty state', async (t) => {
  const home = scratch(t, 'lexorpeek-bare-');
  await withWindow(`${bin}/lexorpeek-window`, { HOME: home }, null, async (page) => {
    await openWidget(page, url);
    assert.equal((await status(page))[0], 'no-folder');
    mkdirSync(path.join(home, 'Library/Lexor'), { recursive: true });
    await openWidget(page, url);
    assert.equal((await status(page))[0], 'no-dictionaries');
  });
});

test('without its page extension the window says so on the page and in one log line', async (t) => {
  const prefix = scratch(t, 'lexorpeek-prefix-');
  const log = [];
  mkdirSync(path.join(prefix, 'bin'));
  cpSync(`${bin}/lexorpeek-window`, path.join(prefix, 'bin/lexorpeek-window'));
  symlinkSync(path.resolve(bin, '../share'), path.join(prefix, 'share'));
  await withWindow(path.join(prefix, 'bin/lexorpeek-window'), {}, log, async (page) => {
    await page.goto(url);
    const [state, message] = await status(page);
    assert.deepEqual([state, /extension did not load/.test(message)], ['error', true]);
  });
  assert.equal(log.filter((line) => line.includes('page extension did not load')).length, 1);
});
