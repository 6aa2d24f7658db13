// Load on the web host: CLIENTS concurrent clients, each with a page session, send rounds of calls
// to a running `lexorpeek serve` for SECONDS (and at most MAX_SESSIONS rounds each). Checks that no
// request fails, that every self-contained answer equals the one a single client got before the
// load, and that the server's resident memory after warm-up grows by no more than a small bound.
// Then the cases one client could use to take a server from everyone else, each with another
// client's latency and the server's peak memory reported (the machine decides the figures) and
// the other client's answers checked:
//   batch      one page sends 999 consults of a word with thousands of entries in one request
//   pipeline   one DICT client writes 1,170 "MATCH * re ." and reads nothing
//
//   node load_client.mjs URL SERVER_PID CLIENTS SECONDS DICT_PORT DICT_PID
import assert from 'node:assert/strict';
import http from 'node:http';
import fs from 'node:fs';
import net from 'node:net';

const [url, pid, clients, seconds, dictPort, dictPid] = process.argv.slice(2).map((a, i) => (i ? Number(a) : a));
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

// One round of a page's calls: the listing, every word consulted, and a walk through one query
// in one batch.
async function session(token, n, answers) {
  const compared = [['dicCount'], ['dicNamesInDir'], ['dicPathsInDir'], ['getDicDir'], ['isAmboraAvailable'],
    ...WORDS.map((w) => ['consult', [w]])];
  for (const [op, args] of compared) answers.push([`${op} ${JSON.stringify(args ?? [])}`, await call(token, op, args)]);
  const word = WORDS[n % WORDS.length];
  const walk = [{ op: 'queryWithWord', args: [word] }];
  for (let i = 0; i < 3; ++i) {
    for (const op of ['getRecord', 'getRecordAsText', 'getRecordAsHTML', 'moveNext']) walk.push({ op });
  }
  walk.push({ op: 'isEOF' });
  answers.push([`walk ${word}`, await send(token, JSON.stringify(walk), `walk ${word}`)]);
}

const residentKb = (of = pid) => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${of}/status`, 'utf8'))[1]);

async function load() {
  const reference = new Map();
  const singleToken = await openPage();
  for (let n = 0; n < WORDS.length; ++n) {
    const single = [];
    await session(singleToken, n, single);
    for (const [key, body] of single) reference.set(key, body);
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
      const answers = [];
      await session(token, id + n, answers);
      for (const [key, body] of answers) {
        if (reference.get(key) !== body && mismatches++ < 5) {
          console.error(`client ${id}: ${key} answered differently:\n  ${body.slice(0, 200)}\n  expected ${reference.get(key).slice(0, 200)}`);
        }
      }
    }
  }));
  clearInterval(sampler);
  const endKb = residentKb();
  warmKb ||= endKb;
  peakKb = Math.max(peakKb, endKb);

  const growth = peakKb - warmKb;
  console.log(`${clients} clients, ${seconds}s: ${sessions} rounds, ${mismatches} differing answers; ` +
              `VmRSS after warm-up ${warmKb} kB, peak ${peakKb} kB (growth ${growth} kB, limit ${MEMORY_GROWTH_LIMIT_KB} kB)`);
  if (mismatches > 0) throw new Error('answers under load differ from a single client\'s');
  if (sessions < clients) throw new Error('some client finished no round');
  if (growth > MEMORY_GROWTH_LIMIT_KB) throw new Error('the server\'s memory grew under load');
}

// Peak VmRSS of `of` while `work` runs, sampled every 50 ms.
async function watchMemory(of, work) {
  let peak = residentKb(of);
  const sampler = setInterval(() => { peak = Math.max(peak, residentKb(of)); }, 50);
  try {
    return { result: await work(), peakKb: Math.max(peak, residentKb(of)) };
  } finally {
    clearInterval(sampler);
  }
}

// Another client's calls until `done` resolves: their latencies in ms, sorted.
async function otherClient(done, once) {
  const times = [];
  let finished = false;
  done.then(() => { finished = true; });
  while (!finished || times.length < 5) {
    const started = performance.now();
    await once();
    times.push(performance.now() - started);
  }
  return times.sort((a, b) => a - b);
}

const at = (times, q) => times[Math.min(times.length - 1, Math.ceil(times.length * q) - 1)].toFixed(1);
const report = (name, times, peakKb, extra) => console.log(
  `${name}: another client's ${times.length} calls p50 ${at(times, 0.5)} ms, p99 ${at(times, 0.99)} ms, ` +
  `max ${times[times.length - 1].toFixed(1)} ms; server peak VmRSS ${peakKb} kB; ${extra}`);

async function batchCase() {
  const heavy = await openPage();
  const other = await openPage();
  await call(heavy, 'useNthDic', [JSON.parse(await call(heavy, 'dicPathsInDir')).result.indexOf('many1.dic')]);
  const batch = JSON.stringify(Array.from({ length: 999 }, () => ({ op: 'consult', args: ['a'] })));
  const { result, peakKb } = await watchMemory(pid, async () => {
    const started = performance.now();
    const sent = send(heavy, batch, 'the batch');
    const times = await otherClient(sent, async () => {
      assert.match(await call(other, 'consult', ['go']), /^\{"result":\[".*行く/);
    });
    return { times, answers: JSON.parse(await sent), ms: performance.now() - started };
  });
  const refused = result.answers.filter((a) => a.error?.startsWith('request too large')).length;
  report('batch', result.times, peakKb,
    `${result.answers.length - refused} consults answered, ${refused} "request too large", ${result.ms.toFixed(0)} ms`);
}

function dictClient() {
  return new Promise((resolve, reject) => {
    const socket = net.connect(dictPort, '127.0.0.1');
    socket.text = '';
    socket.on('data', (d) => { socket.text += d.toString('utf8'); });
    socket.once('connect', () => resolve(socket));
    socket.once('error', reject);
  });
}

async function until(condition, ms = 5000) {
  for (const end = Date.now() + ms; !condition();) {
    if (Date.now() > end) throw new Error('no answer');
    await new Promise((r) => setTimeout(r, 2));
  }
}

async function pipelineCase() {
  const silent = await dictClient();
  silent.pause();  // reads nothing: the kernel's buffers fill, then the server's bound holds
  silent.write('MATCH * re .\r\n'.repeat(1170));
  const other = await dictClient();
  await until(() => other.text.includes('\r\n'));
  let stop;
  const stopped = new Promise((r) => { stop = r; });
  const { result: times, peakKb } = await watchMemory(dictPid, async () => {
    setTimeout(stop, 2000);
    return otherClient(stopped, async () => {
      other.text = '';
      other.write('DEFINE * go\r\n');
      await until(() => /\r\n250 ok|\r\n552 /.test(other.text));
      assert.match(other.text, /^150 /);
    });
  });
  silent.destroy();
  other.destroy();
  report('pipeline', times, peakKb, 'the non-reading client held open');
}

try {
  await load();
  await batchCase();
  await pipelineCase();
  agent.destroy();
} catch (e) {
  console.error(`load check failed: ${e.message}`);
  process.exit(1);
}
