// The widget scenarios every host shares (tests/widget/scenarios.mjs), here in headless Chromium
// against the web host that run.sh started (LEXOR_URL on the dictionaries of
// LEXOR_DICTIONARY_FOLDER); tests/desktop runs them in the desktop window.
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { chromium } from 'playwright-core';
import { replIn, scenarios } from '../widget/scenarios.mjs';

const folder = process.env.LEXOR_DICTIONARY_FOLDER;
const env = { url: process.env.LEXOR_URL, folder, repl: replIn(process.env.LEXOR_BIN_DIR, folder) };
let profile, context;

before(async () => {
  profile = mkdtempSync(path.join(tmpdir(), 'lexorpeek-chromium-'));
  context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.LEXOR_CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run'],
  });
});

after(async () => {
  await context?.close();
  if (profile) rmSync(profile, { recursive: true, force: true });
});

for (const [name, scenario] of scenarios) {
  test(name, async () => {
    const page = await context.newPage();
    try {
      await scenario(page, env);
    } finally {
      await page.close();
    }
  });
}
