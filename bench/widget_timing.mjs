// The widget's speed as a user meets it, in headless Chromium against a running `lexorpeek serve`
// on the demo folder (bench/widget_timing.sh starts both). Reports, per measure, the median, p95
// and worst of its trials:
//   enter   Enter pressed to a full first page of entries (100, or all when fewer) on screen
//   typing  the last key of a word typed at 40 ms a key to its entries on screen
//   requests  script requests a look-up made
// "On screen" is the first animation frame after the page marks the entries as the word's.
//
//   node bench/widget_timing.mjs URL [ROUNDS]
import { createRequire } from 'node:module';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const require = createRequire(new URL('../tests/browser/package.json', import.meta.url));
const { chromium } = require('playwright-core');

const [url, roundsArg] = process.argv.slice(2);
const rounds = Number(roundsArg ?? 5);
const ENTER_WORDS = ['a', 'go', 'in', 're', 'un', 'co', 'st', 'ma', 'be', 'the'];
const TYPED_WORDS = ['work', 'make', 'stand', 'light', 'house', 'water'];

const profile = mkdtempSync(path.join(tmpdir(), 'lexorpeek-bench-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.LEXOR_CHROMIUM ?? '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
  viewport: { width: 420, height: 720 },
});

try {
  const page = await context.newPage();
  let posts = 0;
  page.on('request', (request) => { if (request.method() === 'POST') posts += 1; });
  await page.goto(url);
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
  await page.evaluate(() => {
    const field = document.getElementById('word');
    field.addEventListener('keydown', () => { window.__lastKey = performance.now(); }, true);
    // Resolves with the time of the first frame after the entries of `word` are in place.
    window.__shown = (word) => new Promise((resolve) => {
      const widget = document.getElementById('widget');
      const observer = new MutationObserver(() => {
        if (widget.dataset.word !== word) return;
        observer.disconnect();
        requestAnimationFrame(() => resolve({ at: performance.now(), entries: document.querySelectorAll('#results .entry').length }));
      });
      observer.observe(widget, { attributes: true, attributeFilter: ['data-word'] });
    });
  });

  const reset = () => page.evaluate(() => {
    delete document.getElementById('widget').dataset.word;
    document.getElementById('word').value = '';
  });

  const enter = [], typing = [], requests = [];
  for (let round = 0; round < rounds; ++round) {
    for (const word of ENTER_WORDS) {
      await reset();
      await page.evaluate((w) => { document.getElementById('word').value = w; }, word);
      const shown = page.evaluate((w) => window.__shown(w), word);
      const before = posts;
      await page.keyboard.press('Enter');
      const { at, entries } = await shown;
      enter.push(at - await page.evaluate(() => window.__lastKey));
      requests.push(posts - before);
      if (round === 0 && entries !== 100) console.error(`note: "${word}" shows ${entries} entries`);
    }
    for (const word of TYPED_WORDS) {
      await reset();
      await page.waitForTimeout(200);
      const shown = page.evaluate((w) => window.__shown(w), word);
      const before = posts;
      await page.locator('#word').pressSequentially(word, { delay: 40 });
      const { at } = await shown;
      typing.push(at - await page.evaluate(() => window.__lastKey));
      requests.push(posts - before);
    }
  }

  const summary = (values) => {
    const sorted = [...values].sort((a, b) => a - b);
    const at = (q) => sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * q) - 1)];
    return `median ${at(0.5).toFixed(1)}, p95 ${at(0.95).toFixed(1)}, worst ${sorted.at(-1).toFixed(1)} (${sorted.length} trials)`;
  };
  console.log(`enter  -> 100 entries shown, ms: ${summary(enter)}`);
  console.log(`typing -> entries shown after the last key, ms: ${summary(typing)}`);
  console.log(`requests per look-up: ${summary(requests).replace(/\.0/g, '')}`);
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
