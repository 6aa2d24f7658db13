// Makes the documentation's picture (docs/widget.png): opens the page in headless Chromium,
// chooses the dictionary whose name holds DICTIONARY (else keeps the default), looks WORD up and
// saves the widget. Playwright comes from the browser tests' modules (tests/browser/run.sh
// installs them).
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const browserTests = new URL('../tests/browser/package.json', import.meta.url);
const { chromium } = createRequire(browserTests)('playwright-core');

const [address, word, output, scheme = 'light', dictionary] = process.argv.slice(2);
if (!address || !word || !output) {
  console.error('usage: node scripts/capture-widget.mjs URL WORD OUTPUT.png [light|dark] '
    + '[DICTIONARY]');
  process.exit(2);
}

const profile = mkdtempSync(path.join(tmpdir(), 'lexorpeek-capture-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.LEXOR_CHROMIUM ?? '/usr/bin/chromium',
  headless: true, viewport: { width: 820, height: 640 }, deviceScaleFactor: 2,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  colorScheme: scheme === 'dark' ? 'dark' : 'light',
});
try {
  const page = await context.newPage();
  await page.goto(address);
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
  if (dictionary) {
    const value = await page.locator('#dictionary option', { hasText: dictionary }).first()
      .getAttribute('value');
    await page.selectOption('#dictionary', value);
  }
  await page.fill('#word', word);
  await page.press('#word', 'Enter');
  await page.waitForFunction((w) => document.getElementById('widget').dataset.word === w, word);
  await page.press('#word', 'ArrowDown');
  await page.locator('#widget').screenshot({ path: output });
} finally {
  await context.close();
  rmSync(profile, { recursive: true, force: true });
}
