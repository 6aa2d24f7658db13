// The desktop window's speed, by the page's own clock, driven by WebKitWebDriver on the demo
// folder (bench/window_timing.sh starts it under Xvfb). Reports the median, p95 and worst of:
//   document  Enter's keydown to the word's entries in the document (the widget's data-word)
//   frame     Enter's keydown to the next animation frame after that
//   look-up CPU  the web process's main-thread CPU time a look-up (the batch, the entries put in
//             place, style, layout and paint), which the machine's other load does not inflate
//   pair      one queryWithWord + getRecordAsHTML, from 2,000 pairs in a loop in the page
//   pair CPU  the same from the web process's main thread's CPU time over 20,000 pairs, which the
//             machine's other load does not inflate
//   hand-over a second `lexorpeek-window --word WORD`: started to exited, and to WORD's entries
//   start     `lexorpeek-window --automation --word peek` started (by WebKitWebDriver) to its
//             entries in the page: the page's clock at the first poll that finds them, so an
//             upper bound by up to one poll
//
// With LEXOR_WINDOW_SCREENSHOT=FILE.png it also saves the view showing "peek" (docs/window.png).
//
//   node bench/window_timing.mjs BINARY [ROUNDS]
import { execFile } from 'node:child_process';
import { readdirSync, readFileSync, readlinkSync, writeFileSync } from 'node:fs';
import { setTimeout as sleep } from 'node:timers/promises';
import { promisify } from 'node:util';
import { lookUp } from '../tests/widget/scenarios.mjs';
import { newSession, startDriver } from '../tests/desktop/webdriver.mjs';

const [binary, roundsArg] = process.argv.slice(2);
const rounds = Number(roundsArg ?? 5);
// English and Japanese, hits and a miss (which asks for "Did you mean" in a second request).
const WORDS = ['a', 'go', 'the', 'water', 'light', 'peek', '猫', '行く', 'あか', '日本', '食べる', 'zzxq'];
const PAIR_CALLS = 2000;
const CPU_PAIR_CALLS = 20000;

// The engine's web process that the window started: JavaScript runs on its main thread.
function webProcess() {
  const stat = (pid) => readFileSync(`/proc/${pid}/stat`, 'utf8');
  const pids = readdirSync('/proc').filter((name) => /^\d+$/.test(name));
  const windowPid = pids.find((pid) => { try { return readlinkSync(`/proc/${pid}/exe`) === binary; } catch { return false; } });
  return pids.find((pid) => {
    try { return / \(WebKitWebProces\) /.test(stat(pid)) && stat(pid).replace(/^.*\) /, '').split(' ')[1] === windowPid; } catch { return false; }
  });
}
const cpuNanoseconds = (pid) => Number(readFileSync(`/proc/${pid}/schedstat`, 'utf8').split(' ')[0]);

const pairLoop = ([words, count]) => {
  LexorPeek.useAmbora();
  const start = performance.now();
  for (let i = 0; i < count; ++i) {
    LexorPeek.queryWithWord(words[i % words.length]);
    LexorPeek.getRecordAsHTML();
  }
  return ((performance.now() - start) * 1000) / count;
};

const summary = (values, digits = 1) => {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (q) => sorted[Math.min(sorted.length - 1, Math.ceil(sorted.length * q) - 1)];
  return `median ${at(0.5).toFixed(digits)}, p95 ${at(0.95).toFixed(digits)}, worst ${sorted.at(-1).toFixed(digits)} (${sorted.length} trials)`;
};

const driver = await startDriver(Number(process.env.LEXOR_WEBDRIVER_PORT ?? 4481));
try {
  const page = await newSession(driver.base, binary, ['--automation']);
  await page.goto('lexorpeek://widget/');
  await page.waitForFunction(() => document.getElementById('widget').dataset.state !== 'loading');
  await page.evaluate(() => {
    document.getElementById('word').addEventListener('keydown', () => { window.__key = performance.now(); }, true);
    window.__watch = (word) => {
      window.__timing = null;
      const widget = document.getElementById('widget');
      const observer = new MutationObserver(() => {
        if (widget.dataset.word !== word) return;
        observer.disconnect();
        const inDocument = performance.now();
        requestAnimationFrame(() => {
          window.__timing = { document: inDocument - window.__key, frame: performance.now() - window.__key };
        });
      });
      observer.observe(widget, { attributes: true, attributeFilter: ['data-word'] });
    };
  });
  const documentTimes = [], frameTimes = [];
  const web = webProcess();
  const lookUpsBegun = cpuNanoseconds(web);
  for (let round = 0; round < rounds; ++round) {
    for (const word of WORDS) {
      await page.evaluate((w) => {
        delete document.getElementById('widget').dataset.word;
        document.getElementById('word').value = w;
        window.__watch(w);
      }, word);
      await page.press('#word', 'Enter');
      await page.waitForFunction(() => window.__timing !== null);
      const timing = await page.evaluate(() => window.__timing);
      documentTimes.push(timing.document);
      frameTimes.push(timing.frame);
    }
  }
  const lookUpCpu = (cpuNanoseconds(web) - lookUpsBegun) / 1e6 / (rounds * WORDS.length);
  if (process.env.LEXOR_WINDOW_SCREENSHOT) {
    await page.fill('#word', 'peek');
    await lookUp(page, 'peek', () => page.press('#word', 'Enter'));
    await page.press('#word', 'ArrowDown');
    writeFileSync(process.env.LEXOR_WINDOW_SCREENSHOT, Buffer.from(await page.send('GET', '/screenshot'), 'base64'));
  }
  const pairs = [], cpuPairs = [];
  for (let round = 0; round < rounds; ++round) {
    pairs.push(await page.evaluate(pairLoop, [WORDS, PAIR_CALLS]));
    const before = cpuNanoseconds(web);
    await page.evaluate(pairLoop, [WORDS, CPU_PAIR_CALLS]);
    cpuPairs.push((cpuNanoseconds(web) - before) / 1000 / CPU_PAIR_CALLS);
  }
  const exits = [], handOvers = [];
  for (let round = 0; round < rounds; ++round) {
    const word = WORDS[round % WORDS.length];
    await page.evaluate(() => { delete document.getElementById('widget').dataset.word; });
    const begun = Date.now();
    await promisify(execFile)(binary, ['--word', word]);
    exits.push(Date.now() - begun);
    await page.waitForFunction((w) => document.getElementById('widget').dataset.word === w, word);
    const [origin, now] = await page.evaluate(() => [performance.timeOrigin, performance.now()]);
    handOvers.push(origin + now - begun);
  }
  await page.close();
  await sleep(500);  // the window's process ends with its session

  const starts = [], pageStarts = [];
  for (let round = 0; round < rounds; ++round) {
    const begun = Date.now();
    const started = await newSession(driver.base, binary, ['--automation', '--word', 'peek']);
    await started.waitForFunction(() => document.getElementById('widget')?.dataset.word === 'peek');
    // When the entries came, by the page's mark: the wait's polling adds nothing to the figure.
    const [origin, shown] = await started.evaluate(() => [
      performance.timeOrigin,
      performance.getEntriesByName('lexorpeek-entries').at(-1).startTime,
    ]);
    starts.push(origin + shown - begun);
    pageStarts.push(origin - begun);
    await started.close();
    await sleep(500);
  }
  console.log(`Enter -> entries in the document, ms: ${summary(documentTimes)}`);
  console.log(`Enter -> next frame, ms: ${summary(frameTimes)}`);
  console.log(`  web process CPU a look-up (the bench's polling included), ms: ${lookUpCpu.toFixed(2)}`);
  console.log(`queryWithWord + getRecordAsHTML, us a pair: ${summary(pairs, 2)} of ${PAIR_CALLS} pairs`);
  console.log(`  by CPU time, us a pair: ${summary(cpuPairs, 2)} of ${CPU_PAIR_CALLS} pairs`);
  console.log(`hand-over: second start -> exited, ms: ${summary(exits, 0)}; -> entries: ${summary(handOvers, 0)}`);
  console.log(`start with --word peek -> its entries, ms: ${summary(starts, 0)}`);
  console.log(`  of which start -> the page's navigation, ms: ${summary(pageStarts, 0)}`);
} finally {
  driver.stop();
}
