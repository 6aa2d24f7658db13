// The cases one client could use to take the servers from everyone else, each with another
// client's latency measured beside it and the server's peak resident memory: reported, not
// asserted (the machine decides the figures); what is asserted is that the other client's answers
// come and are right.
//
//   node budget_cases.mjs WEB_URL WEB_PID DICT_PORT DICT_PID
//
//   batch      one page sends 999 consults of a word with thousands of entries in one request
//   pipeline   one DICT client writes 1,170 "MATCH * re ." and reads nothing
//   flood      300 connections that never send a whole request
import assert from 'node:assert/strict';
import fs from 'node:fs';
import net from 'node:net';

const [webUrl, webPid, dictPort, dictPid] = process.argv.slice(2);
const base = new URL(webUrl);
const residentKb = (pid) => Number(/VmRSS:\s+(\d+)/.exec(fs.readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);

async function request(method, path, body = '', token = '') {
  const response = await fetch(new URL(path, base), {
    method, body: method === 'POST' ? body : undefined,
    headers: { 'Content-Type': 'application/json', 'X-LexorPeek-Token': token },
  });
  return { status: response.status, body: await response.text() };
}

async function openPage() {
  const page = await request('GET', '/');
  const token = /name="lexorpeek-token" content="([0-9a-f]+)"/.exec(page.body)?.[1];
  assert.ok(token, `the page carries a token (HTTP ${page.status})`);
  return token;
}

const call = async (token, op, args = []) => request('POST', '/LexorPeek', JSON.stringify({ op, args }), token);

// Peak VmRSS of `pid` while `work` runs, sampled every 50 ms.
async function watchMemory(pid, work) {
  let peak = residentKb(pid);
  const sampler = setInterval(() => { peak = Math.max(peak, residentKb(pid)); }, 50);
  try {
    return { result: await work(), peakKb: Math.max(peak, residentKb(pid)) };
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
  assert.equal((await call(heavy, 'useNthDic', [await position('many1.dic', heavy)])).status, 200);
  await call(other, 'useAmbora');
  const batch = JSON.stringify(Array.from({ length: 999 }, () => ({ op: 'consult', args: ['a'] })));
  const { result, peakKb } = await watchMemory(webPid, async () => {
    const started = performance.now();
    const sent = request('POST', '/LexorPeek', batch, heavy);
    const times = await otherClient(sent, async () => {
      const answer = await call(other, 'consult', ['go']);
      assert.equal(answer.status, 200);
      assert.match(answer.body, /^\{"result":\[".*行く/);
    });
    const answers = JSON.parse((await sent).body);
    return { times, answers, ms: performance.now() - started };
  });
  const refused = result.answers.filter((a) => a.error?.startsWith('request too large')).length;
  report('batch', result.times, peakKb,
    `${result.answers.length - refused} consults answered, ${refused} "request too large", ${result.ms.toFixed(0)} ms`);
}

async function position(file, token) {
  const paths = JSON.parse((await call(token, 'dicPathsInDir')).body).result;
  return paths.indexOf(file);
}

function dictClient() {
  return new Promise((resolve, reject) => {
    const socket = net.connect(Number(dictPort), '127.0.0.1');
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

async function floodCase() {
  const sockets = await Promise.all(Array.from({ length: 300 }, () => new Promise((resolve) => {
    const socket = net.connect(Number(base.port), '127.0.0.1', () => resolve(socket));
    socket.on('error', () => {});
  })));
  for (const socket of sockets.slice(0, 150)) socket.write('GET / HT');
  const { result, peakKb } = await watchMemory(webPid, async () => {
    const times = [];
    let token = null;
    let retries = 0;
    for (let i = 0; i < 21; ++i) {
      const started = performance.now();
      try {
        if (!token) token = await openPage();
        else assert.equal((await call(token, 'consult', ['go'])).status, 200);
        times.push(performance.now() - started);
      } catch (e) {
        ++retries;
      }
    }
    return { times: times.sort((a, b) => a - b), retries };
  });
  for (const socket of sockets) socket.destroy();
  report('flood', result.times, peakKb, `${result.retries} retries among 21 requests`);
}

await batchCase();
await pipelineCase();
await floodCase();
