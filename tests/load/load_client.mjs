// Load on the web host: CLIENTS concurrent clients, each with a page session of its own, send
// rounds of calls to a running `lexorpeek serve` for SECONDS (at most MAX_SESSIONS rounds each).
// Checks that no request fails, that every answer (with its own session, even a client's walk
// through a query) equals the one a single client got before the load, and that the server's
// resident memory after warm-up grows by no more than a small bound.
//
//   node load_client.mjs URL SERVER_PID CLIENTS SECONDS
import http from 'node:http';
import fs from 'node:fs';

const [url, pid, clients, seconds] = process.argv.slice(2).map((a, i) => (i ? Number(a) : a));
const MAX_SESSIONS = 5000;
const WARM_UP_MS = Math.min(3000, seconds * 1000 / 4);
const MEMORY_GROWTH_LIMIT_KB = 8 * 1024;
const WORDS = ['a', 'ap', 'apple', 'go', 'goo', 'z', 'りんご', '行', 'Stra', 'nothing'];
const base = new URL(url);
const agent = new http.Agent({ keepAlive: true, maxSockets: clients + 1 });
function request(method, path, body, token = '') {
  return new Promise((resolve, reject) => {
    const headers = { 'Content-Type': 'application/json', Origin: base.origin, 'X-LexorPeek-Token': token };
    const req = http.request({ host: '127.0.0.1', port: base.port, path, method, agent, headers }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, body: Buffer.concat(chunks).toString('utf8') }));
    });
    req.on('error', reject);
    req.end(body);
  });
}

async function send(token, body, what) {
  const res = await request('POST', '/LexorPeek', body, token);
  if (res.status !== 200 || !/^[[{]"?result|^\[/.test(res.body)) throw new Error(`${what}: HTTP ${res.status} ${res.body}`);
  return res.body;
}

const call = (token, op, args) => send(token, JSON.stringify(args === undefined ? { op } : { op, args }), op);

// Loads the page: its token names the client's own session on the server.
async function openPage() {
  const page = await request('GET', '/');
  const found = /<meta name="lexorpeek-token" content="([0-9a-f]+)">/.exec(page.body);
  if (page.status !== 200 || !found) throw new Error(`the page has no token (HTTP ${page.status})`);
  await call(found[1], 'useAmbora');
  return found[1];
}

// One round of a page's calls: the listing, every word consulted, a query walked in one batch.
async function session(token, n) {
  const answers = [];
  const compared = [['dicCount'], ['dicNamesInDir'], ['dicPathsInDir'], ['getDicDir'], ['isAmboraAvailable'],
    ...WORDS.map((w) => ['consult', [w]])];
  for (const [op, args] of compared) answers.push([`${op} ${JSON.stringify(args ?? [])}`, await call(token, op, args)]);
  const word = WORDS[n % WORDS.length];
  const record = ['getRecord', 'getRecordAsText', 'getRecordAsHTML', 'moveNext'];
  const ops = [...record, ...record, ...record, 'isEOF'].map((op) => ({ op }));
  const walk = [{ op: 'queryWithWord', args: [word] }, ...ops];
  answers.push([`walk ${word}`, await send(token, JSON.stringify(walk), `walk ${word}`)]);
  return answers;
}

const residentKb = () => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);

async function main() {
  const reference = new Map();
  const singleToken = await openPage();
  for (let n = 0; n < WORDS.length; ++n) {
    for (const [key, body] of await session(singleToken, n)) reference.set(key, body);
  }

  const started = Date.now();
  let warmKb = 0, peakKb = 0, sessions = 0, mismatches = 0;
  const sampler = setInterval(() => {
    const kb = residentKb();
    if (!warmKb && Date.now() - started >= WARM_UP_MS) warmKb = kb;
    if (warmKb) peakKb = Math.max(peakKb, kb);
  }, 250);
  await Promise.all(Array.from({ length: clients }, async (_, id) => {
    const token = await openPage();
    for (let n = 0; n < MAX_SESSIONS && Date.now() < started + seconds * 1000; ++n, ++sessions) {
      for (const [key, body] of await session(token, id + n)) {
        if (reference.get(key) !== body && mismatches++ < 5)
          console.error(`client ${id}: ${key} answered differently:\n  ${body.slice(0, 200)}\n  expected ${reference.get(key).slice(0, 200)}`);
      }
    }
  }));
  clearInterval(sampler);
  const endKb = residentKb();
  warmKb ||= endKb;
  peakKb = Math.max(peakKb, endKb);
  agent.destroy();

  const growth = peakKb - warmKb;
  console.log(`${clients} clients, ${seconds}s: ${sessions} rounds, ${mismatches} differing answers; ` +
              `VmRSS after warm-up ${warmKb} kB, peak ${peakKb} kB (growth ${growth} kB, limit ${MEMORY_GROWTH_LIMIT_KB} kB)`);
  if (mismatches > 0) throw new Error('answers under load differ from a single client\'s');
  if (sessions < clients) throw new Error('some client finished no round');
  if (growth > MEMORY_GROWTH_LIMIT_KB) throw new Error('the server\'s memory grew under load');
}

main().catch((e) => {
  console.error(`load check failed: ${e.message}`);
  process.exit(1);
});
