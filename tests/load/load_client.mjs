// Load on the web host: CLIENTS concurrent clients send page sessions to a running
// `lexorpeek serve` for SECONDS (and at most MAX_SESSIONS each). Checks that no request fails,
// that every self-contained answer equals the one a single client got before the load, and that
// the server's resident memory after warm-up grows by no more than a small bound.
//
//   node load_client.mjs URL SERVER_PID CLIENTS SECONDS
//
// The server keeps one plug-in object for all its callers, as a page's calls reach it one at a
// time. So the answers compared are those of calls that carry their whole context: the listing
// and "consult", which looks a word up and returns every match at once. Stepping through a query
// (queryWithWord, moveNext, getRecord...) is sent too, but as other clients step the same cursor
// meanwhile, only its success is checked.
import http from 'node:http';
import fs from 'node:fs';

const [url, pidText, clientsText, secondsText] = process.argv.slice(2);
const pid = Number(pidText);
const clients = Number(clientsText);
const seconds = Number(secondsText);
const MAX_SESSIONS = 5000;                 // per client: the run is bounded in count as well
const WARM_UP_MS = Math.min(3000, seconds * 1000 / 4);
const MEMORY_GROWTH_LIMIT_KB = 8 * 1024;   // after warm-up

const base = new URL(url);
const agent = new http.Agent({ keepAlive: true, maxSockets: clients + 1 });
const WORDS = ['a', 'ap', 'apple', 'go', 'goo', 'z', 'りんご', '行', 'Stra', 'nothing'];

function request(method, path, body, headers = {}) {
  return new Promise((resolve, reject) => {
    const req = http.request({
      host: '127.0.0.1', port: base.port, path, method, agent,
      headers: { 'Content-Type': 'application/json', Origin: base.origin, ...headers },
    }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => resolve({ status: res.statusCode, body: Buffer.concat(chunks).toString('utf8') }));
    });
    req.on('error', reject);
    if (body !== undefined) req.end(body); else req.end();
  });
}

let token = '';
async function call(op, args) {
  const body = JSON.stringify(args === undefined ? { op } : { op, args });
  const res = await request('POST', '/LexorPeek', body, { 'X-LexorPeek-Token': token });
  if (res.status !== 200) throw new Error(`${op}: HTTP ${res.status} ${res.body}`);
  const answer = JSON.parse(res.body);
  if (!('result' in answer)) throw new Error(`${op}: ${res.body}`);
  return res.body;
}

// One page session: the listing, every word consulted, and a walk through one query.
async function session(n, answers) {
  const compared = [
    ['dicCount'], ['dicNamesInDir'], ['dicPathsInDir'], ['getDicDir'], ['isAmboraAvailable'],
    ...WORDS.map((w) => ['consult', [w]]),
  ];
  for (const [op, args] of compared) answers.push([`${op} ${JSON.stringify(args ?? [])}`, await call(op, args)]);
  await call('queryWithWord', [WORDS[n % WORDS.length]]);
  for (let i = 0; i < 3; ++i) {
    await call('getRecord');
    await call('getRecordAsText');
    await call('getRecordAsHTML');
    await call('moveNext');
  }
  await call('isEOF');
}

function residentKb() {
  const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
  return Number(/VmRSS:\s+(\d+)/.exec(status)[1]);
}

async function main() {
  const page = await request('GET', '/');
  const found = /<meta name="lexorpeek-token" content="([0-9a-f]+)">/.exec(page.body);
  if (page.status !== 200 || !found) throw new Error('the page has no token');
  token = found[1];

  // The suite is chosen once, before the load; no session changes the choice.
  await call('useAmbora');
  const reference = new Map();
  const single = [];
  await session(0, single);
  for (const [key, body] of single) reference.set(key, body);

  const started = Date.now();
  const deadline = started + seconds * 1000;
  let warmKb = 0;
  let peakKb = 0;
  const sampler = setInterval(() => {
    const kb = residentKb();
    if (Date.now() - started >= WARM_UP_MS && warmKb === 0) warmKb = kb;
    if (warmKb) peakKb = Math.max(peakKb, kb);
  }, 250);

  let sessions = 0;
  let requests = 0;
  let mismatches = 0;
  async function client(id) {
    for (let n = 0; n < MAX_SESSIONS && Date.now() < deadline; ++n) {
      const answers = [];
      await session(id + n, answers);
      requests += answers.length + 14;
      ++sessions;
      for (const [key, body] of answers) {
        if (reference.get(key) !== body) {
          if (mismatches++ < 5) console.error(`client ${id}: ${key} answered differently:\n  ${body.slice(0, 200)}\n  expected ${reference.get(key).slice(0, 200)}`);
        }
      }
    }
  }
  await Promise.all(Array.from({ length: clients }, (_, id) => client(id)));
  clearInterval(sampler);
  const endKb = residentKb();
  if (!warmKb) warmKb = endKb;
  peakKb = Math.max(peakKb, endKb);
  agent.destroy();

  const growth = peakKb - warmKb;
  console.log(`${clients} clients, ${seconds}s: ${sessions} sessions, ${requests} requests, ` +
              `${mismatches} differing answers; VmRSS after warm-up ${warmKb} kB, peak ${peakKb} kB, ` +
              `end ${endKb} kB (growth ${growth} kB, limit ${MEMORY_GROWTH_LIMIT_KB} kB)`);
  if (mismatches > 0) throw new Error('answers under load differ from a single client\'s');
  if (sessions < clients) throw new Error('some client finished no session');
  if (growth > MEMORY_GROWTH_LIMIT_KB) throw new Error('the server\'s memory grew under load');
}

main().catch((e) => {
  console.error(`load check failed: ${e.message}`);
  process.exit(1);
});
