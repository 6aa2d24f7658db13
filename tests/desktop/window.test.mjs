// lexorpeek-window driven by WebKitWebDriver: the shared widget scenarios, then what only the
// window does (a second start handing its word over, a fresh LexorPeek for each page, no
// listening socket). run.sh starts it under Xvfb and a private session bus.
import assert from 'node:assert/strict';
import { execFile, execFileSync, spawn, spawnSync } from 'node:child_process';
import { once } from 'node:events';
import { readdirSync, readFileSync, readlinkSync } from 'node:fs';
import { after, before, test } from 'node:test';
import { promisify } from 'node:util';
import { lookUp, openWidget, replIn, scenarios } from '../widget/scenarios.mjs';
import { newSession, processesOf, startDriver } from './webdriver.mjs';

const bin = process.env.LEXOR_BIN_DIR;
const window = `${bin}/lexorpeek-window`;
const url = 'lexorpeek://widget/';
const folder = process.env.LEXOR_DICTIONARY_FOLDER;
const env = { url, folder, repl: replIn(bin, folder) };
let driver, page, portal;

before(async () => {
  // The settings portal says light, over GTK's dark preference (run.sh's settings).
  portal = spawn('/usr/bin/python3', [new URL('settings_portal.py', import.meta.url).pathname, '2'],
    { stdio: ['pipe', 'pipe', 'inherit'] });
  await once(portal.stdout, 'data', { signal: AbortSignal.timeout(10000) });  // "ready"
  driver = await startDriver(Number(process.env.LEXOR_WEBDRIVER_PORT ?? 4480));
  page = await newSession(driver.base, window, ['--automation']);
});

after(async () => {
  await page?.close();
  driver?.stop();
  portal?.stdin.end();
});

for (const [name, scenario] of scenarios) test(name, () => scenario(page, env));

test('a second start hands its word to the running window and exits', async () => {
  await openWidget(page, url);
  await lookUp(page, 'good', () => promisify(execFile)(window, ['--word', 'good'], { timeout: 5000 }));
  assert.equal(await page.evaluate(() => document.querySelector('#results .entry .f1').textContent), 'good');
  // Bytes that are not UTF-8 reach the page as U+FFFD.
  await lookUp(page, 'go\uFFFD', () => promisify(execFile)('sh', ['-c', `"$0" --word "$(printf 'go\\377')"`, window], { timeout: 5000 }));
});

test('--selection looks up the first line of the text last highlighted', async () => {
  await openWidget(page, url);
  execFileSync('xsel', ['--primary', '--input'], { input: '  good \nand more', stdio: ['pipe', 'ignore', 'ignore'] });
  await lookUp(page, 'good', () => promisify(execFile)(window, ['--selection'], { timeout: 5000 }));
});

// A document of the scheme without the widget's script, so that only the test moves the cursor.
test('a reload gives the page a fresh LexorPeek', async () => {
  await page.goto(`${url}favicon.svg`);
  const cursor = () => page.evaluate(() => [LexorPeek.isEOF(), LexorPeek.getRecordAsText()]);
  await page.evaluate(() => LexorPeek.useNthDic(LexorPeek.dicNamesInDir().indexOf('サンプル辞書')));
  assert.equal(await page.evaluate(() => LexorPeek.queryWithWord('gone')), true);
  assert.deepEqual(await cursor(), [false, 'gone<br>go の過去分詞']);
  await page.reload();
  // As a fresh object answers before any choice (the repl's first answers).
  const fresh = await env.repl(['{"op":"isEOF"}', '{"op":"getRecordAsText"}']);
  assert.deepEqual(await cursor(), fresh.map((answer) => answer.result));
});

function listeningPorts(pids) {
  const inodes = new Set();
  for (const pid of pids) {
    for (const fd of readdirSync(`/proc/${pid}/fd`)) {
      try {
        inodes.add(/^socket:\[(\d+)\]$/.exec(readlinkSync(`/proc/${pid}/fd/${fd}`))?.[1]);
      } catch { /* closed meanwhile */ }
    }
  }
  return ['/proc/net/tcp', '/proc/net/tcp6']
    .flatMap((table) => readFileSync(table, 'utf8').trim().split('\n').slice(1))
    .map((line) => line.trim().split(/\s+/))
    .filter((field) => field[3] === '0A' && inodes.has(field[9]))
    .map((field) => parseInt(field[1].split(':')[1], 16));
}

test('nothing of the window listens on a port but the inspector the WebDriver asked for', () => {
  const pids = processesOf(window);
  assert.ok(pids.length >= 2, `the window and its web process: ${pids}`);
  const environ = readFileSync(`/proc/${pids[0]}/environ`, 'utf8').split('\0');
  const inspector = environ.find((v) => v.startsWith('WEBKIT_INSPECTOR_SERVER='));
  const allowed = inspector ? [Number(inspector.split(':').pop())] : [];
  assert.deepEqual(listeningPorts(pids).filter((port) => !allowed.includes(port)), []);
});

test('without a display, --help and --version answer and anything else says why in one line', () => {
  const run = (args) => spawnSync(window, args, { env: { ...process.env, DISPLAY: '', WAYLAND_DISPLAY: '' }, encoding: 'utf8', timeout: 5000 });
  const [help, version, word] = [run(['--help']), run(['--version']), run(['--word', 'go'])];
  assert.deepEqual([help.status, /^usage: lexorpeek-window/.test(help.stdout)], [0, true]);
  assert.deepEqual([version.status, /^lexorpeek-window \d/.test(version.stdout)], [0, true]);
  assert.deepEqual([word.status, word.stderr.trim().split('\n').length], [1, 1]);
});

test('the page follows the settings portal\'s colour scheme, and its changes', async () => {
  assert.ok(await page.evaluate(() => !matchMedia('(prefers-color-scheme: dark)').matches));
  portal.stdin.write('1\n');
  await page.waitForFunction(() => matchMedia('(prefers-color-scheme: dark)').matches);
  portal.stdin.write('2\n');
  await page.waitForFunction(() => !matchMedia('(prefers-color-scheme: dark)').matches);
});

// Last, as it closes the window.
test('the window\'s size is kept for the next start', async () => {
  await page.send('POST', '/window/rect', { width: 600, height: 500 });
  await page.send('DELETE', '/window');
  const kept = readFileSync(`${process.env.XDG_CONFIG_HOME}/lexorpeek/window.ini`, 'utf8');
  assert.deepEqual([/width=(\d+)/.exec(kept)[1], /height=(\d+)/.exec(kept)[1]], ['600', '500']);
});
