// A few plain W3C WebDriver calls over node's fetch; a page object with the methods the shared
// widget scenarios use, named and behaving as Playwright's Page does, so that they run in the
// window too; and the processes a started window runs as.
import { spawn } from 'node:child_process';
import { readdirSync, readFileSync, readlinkSync } from 'node:fs';
import { setTimeout as sleep } from 'node:timers/promises';

const KEYS = { Enter: '\uE007', ArrowDown: '\uE015' };
const DEADLINE_MS = 15000;

// The driver starts the window, which inherits its environment (`env`); `log` collects what the
// window writes on standard error.
export async function startDriver(port, { env = process.env, log = null } = {}) {
  const driver = spawn('WebKitWebDriver', [`--port=${port}`, '--host=127.0.0.1'],
    { env, stdio: ['ignore', 'ignore', log ? 'pipe' : 'ignore'] });
  driver.stderr?.on('data', (chunk) => log.push(...String(chunk).split('\n').filter(Boolean)));
  const base = `http://127.0.0.1:${port}`;
  for (let tries = 0; ; ++tries) {
    try {
      if ((await fetch(`${base}/status`)).ok) break;
    } catch {
      if (tries > 100) throw new Error('WebKitWebDriver did not start');
      await sleep(50);
    }
  }
  return { base, stop: () => driver.kill() };
}

async function call(base, method, path, body) {
  const response = await fetch(base + path, {
    method, headers: { 'content-type': 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body),
    signal: AbortSignal.timeout(DEADLINE_MS),
  });
  const answer = await response.json();
  if (!response.ok) throw new Error(`${method} ${path}: ${JSON.stringify(answer.value)}`);
  return answer.value;
}

// The processes running `binary` and those they started (the engine's web processes, say).
export function processesOf(binary) {
  const parentOf = new Map();
  for (const pid of readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      parentOf.set(pid, readFileSync(`/proc/${pid}/stat`, 'utf8').replace(/^.*\) /, '').split(' ')[1]);
    } catch { /* ended meanwhile */ }
  }
  const found = [...parentOf.keys()].filter((pid) => {
    try { return readlinkSync(`/proc/${pid}/exe`) === binary; } catch { return false; }
  });
  for (let i = 0; i < found.length; ++i) {
    for (const [pid, parent] of parentOf) if (parent === found[i] && !found.includes(pid)) found.push(pid);
  }
  return found;
}

export async function newSession(base, binary, args) {
  const { sessionId } = await call(base, 'POST', '/session', {
    capabilities: { alwaysMatch: { 'webkitgtk:browserOptions': { binary, args } } },
  });
  return new WebDriverPage(base, sessionId);
}

export class WebDriverPage {
  constructor(base, id) { [this.base, this.id] = [base, id]; }

  send(method, path, body) { return call(this.base, method, `/session/${this.id}${path}`, body); }
  close() { return this.send('DELETE', '').catch(() => {}); }
  goto(url) { return this.send('POST', '/url', { url }); }
  reload() { return this.send('POST', '/refresh', {}); }

  // Runs fn(arg) in the page and gives its (awaited) value; a throw in the page throws here.
  async evaluate(fn, arg) {
    const script = `const done = arguments[arguments.length - 1];
      Promise.resolve().then(() => (${fn})(arguments[0])).then(
        (value) => done({ value: value === undefined ? null : value }),
        (error) => done({ error: String(error && error.message || error) }));`;
    const answer = await this.send('POST', '/execute/async', { script, args: [arg ?? null] });
    if ('error' in answer) throw new Error(answer.error);
    return answer.value;
  }

  async waitForFunction(fn, arg) {
    const deadline = Date.now() + DEADLINE_MS;
    for (;;) {
      if (await this.evaluate(fn, arg)) return;
      if (Date.now() > deadline) throw new Error(`waited in vain for ${fn}`);
      await sleep(20);
    }
  }

  // Sends `action` (value, clear, click) to the element `selector` finds.
  async act(selector, action, body = {}) {
    const found = await this.send('POST', '/element', { using: 'css selector', value: selector });
    const element = Object.values(found)[0];  // under the W3C element key
    await this.send('POST', `/element/${element}/${action}`, body);
  }

  type(selector, text) { return this.act(selector, 'value', { text }); }
  press(selector, key) { return this.type(selector, KEYS[key] ?? key); }
  click(selector) { return this.act(selector, 'click'); }

  async fill(selector, value) {
    await this.act(selector, 'clear');
    if (value !== '') await this.type(selector, value);
  }
}
