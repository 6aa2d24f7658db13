// The documentation's picture of the window: starts lexorpeek-window through WebKitWebDriver
// (under Xvfb, as bench/window_timing.sh does), looks WORD up and saves the view.
//
//   node tests/desktop/capture.mjs BINARY WORD OUTPUT.png
import { writeFileSync } from 'node:fs';
import { lookUp, openWidget } from '../widget/scenarios.mjs';
import { newSession, startDriver } from './webdriver.mjs';

const [binary, word, output] = process.argv.slice(2);
const driver = await startDriver(Number(process.env.LEXOR_WEBDRIVER_PORT ?? 4482));
try {
  const page = await newSession(driver.base, binary, ['--automation']);
  await openWidget(page, 'lexorpeek://widget/');
  await page.fill('#word', word);
  await lookUp(page, word, () => page.press('#word', 'Enter'));
  await page.press('#word', 'ArrowDown');
  writeFileSync(output, Buffer.from(await page.send('GET', '/screenshot'), 'base64'));
  await page.close();
} finally {
  driver.stop();
}
