// The web host under clients that hold connections: slow and silent ones, idle ones, too many,
// a stop signal, a taken port. Against the servers tests/browser/run.sh started: LEXOR_URL with
// the default limits and LEXOR_FAST_URL with short deadlines and room for 8 connections; the stop
// and the port are tried on servers started here.
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import net from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { after, describe, test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';

const portOf = (url) => Number(new URL(url).port);
const port = portOf(process.env.LEXOR_URL ?? 'http://127.0.0.1:8737/');
const fastPort = process.env.LEXOR_FAST_URL && portOf(process.env.LEXOR_FAST_URL);
const bin = process.env.LEXOR_BIN_DIR;

const sockets = [];
after(() => { for (const socket of sockets) socket.destroy(); });

// A raw connection that remembers what came back and whether it was closed.
function connect(to) {
  return new Promise((resolve, reject) => {
    const socket = net.connect(to, '127.0.0.1');
    sockets.push(socket);
    Object.assign(socket, { received: '', isClosed: false });
    socket.gone = new Promise((done) => socket.once('close', () => { socket.isClosed = true; done(); }));
    socket.on('data', (data) => { socket.received += data.toString('latin1'); });
    socket.on('error', () => {});
    socket.once('connect', () => resolve(socket));
    socket.once('error', reject);
  });
}

const get = (to, target = '/widget.css', extra = '') => `GET ${target} HTTP/1.1\r\nHost: 127.0.0.1:${to}\r\n${extra}\r\n`;
const answers = (socket) => socket.received.match(/HTTP\/1\.1 \d+/g) ?? [];

async function until(condition, what, ms = 5000) {
  for (const end = Date.now() + ms; !condition(); await sleep(20)) {
    if (Date.now() > end) assert.fail(`still waiting for ${what}`);
  }
}

async function exchange(to, request) {
  const socket = await connect(to);
  socket.write(request);
  await until(() => answers(socket).length > 0 && socket.received.includes('\r\n\r\n'), 'an answer');
  return socket;
}

// Each test is bounded: a server that kept a connection open would fail it, not hang the run.
const bounded = { timeout: 20000 };

test('200 dripping and 100 silent connections, past the bound, leave another client served', bounded, async () => {
  const head = get(port, '/');
  const drippers = await Promise.all(Array.from({ length: 200 }, () => connect(port)));
  await Promise.all(Array.from({ length: 100 }, () => connect(port)));  // silent
  let sent = 0;
  const drip = setInterval(() => { sent += 1; for (const s of drippers) if (!s.isClosed) s.write(head[sent]); }, 2000);
  for (const s of drippers) s.write(head[0]);
  try {
    const times = [];
    const timed = async (request) => {
      const started = performance.now();
      const socket = await exchange(port, request);
      times.push(performance.now() - started);
      socket.destroy();
      return socket.received;
    };
    const token = /name="lexorpeek-token" content="([0-9a-f]+)"/.exec(await timed(head))?.[1];
    assert.ok(token);
    for (let i = 0; i < 20; ++i) {
      const body = JSON.stringify({ op: 'consult', args: ['go'] });
      const answer = await timed(`POST /LexorPeek HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\nX-LexorPeek-Token: ${token}\r\n` +
        `Content-Length: ${body.length}\r\n\r\n${body}`);
      assert.match(answer, /^HTTP\/1\.1 200/);
    }
    times.sort((a, b) => a - b);
    console.log(`# slow clients: page load and 20 calls, p99 ${times[Math.ceil(times.length * 0.99) - 1].toFixed(1)} ms`);
  } finally {
    clearInterval(drip);
  }
});

// A client that goes on sending its body after the answer has come, its own side left open:
// were the connection closed at the 413, the rest of the body would meet a reset and the sending
// fail.
test('a body past the bound is read and dropped, so its sender gets the 413', bounded, async () => {
  const socket = net.connect({ port, host: '127.0.0.1', allowHalfOpen: true });
  sockets.push(socket);
  const closed = new Promise((done) => socket.once('close', done));
  let [failure, received] = [null, ''];
  socket.on('error', (error) => { failure = error.code; });
  socket.on('data', (data) => { received += data; });
  socket.write(`POST /LexorPeek HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\n`
    + `Content-Type: application/json\r\nContent-Length: ${12 * 65536}\r\n\r\n`);
  for (let i = 0; i < 12; ++i) {
    await sleep(20);
    socket.write('x'.repeat(65536));
  }
  socket.end();
  await closed;
  assert.deepEqual([failure, received.split('\r\n')[0]], [null, 'HTTP/1.1 413 Payload Too Large']);
});

describe('deadlines and the connection bound', { skip: !fastPort }, () => {
  test('a silent connection and one that drips are closed at the request deadline', bounded, async () => {
    const silent = await connect(fastPort);
    const dripper = await connect(fastPort);
    const head = get(fastPort);
    let sent = 0;
    const drip = setInterval(() => { if (!dripper.isClosed) dripper.write(head[sent++]); }, 100);
    try {
      await Promise.all([silent.gone, dripper.gone]);
    } finally {
      clearInterval(drip);
    }
    assert.ok(sent < head.length, 'closed before its head was complete');
    assert.deepEqual(answers(dripper), []);
  });

  test('past the bound the connection waiting longest for its client makes room', bounded, async () => {
    const answered = [];
    for (let i = 0; i < 4; ++i) answered.push(await exchange(fastPort, get(fastPort)));
    const waiting = await Promise.all(Array.from({ length: 4 }, () => connect(fastPort)));
    for (const socket of waiting) socket.write('GE');
    const newcomer = await exchange(fastPort, get(fastPort));
    await answered[0].gone;
    assert.deepEqual([...answered, ...waiting, newcomer].map((s) => s.isClosed),
      [true, false, false, false, false, false, false, false, false]);
    for (const socket of [...answered, newcomer]) socket.destroy();
    // Eight connections, none answered: the one that has been slowest to send its request goes.
    const full = await Promise.all(Array.from({ length: 4 }, () => connect(fastPort)));
    for (const socket of full) socket.write('GE');
    await sleep(100);  // the server has taken them
    assert.deepEqual(answers(await exchange(fastPort, get(fastPort))), ['HTTP/1.1 200']);
    await until(() => waiting.some((s) => s.isClosed), 'the oldest to be closed');
    assert.equal(waiting.filter((s) => s.isClosed).length, 1);
    assert.deepEqual(full.map((s) => s.isClosed), Array(4).fill(false));
    for (const socket of [...waiting, ...full]) socket.destroy();
  });

  test('twenty silent sockets on eight places cost a page load nothing', bounded, async () => {
    for (let i = 0; i < 20; ++i) await connect(fastPort);
    await sleep(100);
    assert.deepEqual(answers(await exchange(fastPort, get(fastPort, '/'))), ['HTTP/1.1 200']);
  });
});

describe('the process', { skip: !bin }, () => {
  const home = mkdtempSync(path.join(tmpdir(), 'lexorpeek-serve-'));
  after(() => rmSync(home, { recursive: true, force: true }));

  function serve(args) {
    const child = spawn(path.join(bin, 'lexorpeek'), ['serve', ...args], { env: { ...process.env, HOME: home } });
    Object.assign(child, { out: '', err: '' });
    child.stdout.on('data', (d) => { child.out += d; });
    child.stderr.on('data', (d) => { child.err += d; });
    child.ended = new Promise((done) => child.once('exit', (code, signal) => done({ code, signal })));
    return child;
  }

  test('SIGTERM stops the server whatever its connections are doing; a taken port is refused', bounded, async () => {
    const server = serve(['--port', '0']);
    try {
      await until(() => /^http:\/\/127\.0\.0\.1:\d+\/$/m.test(server.out), 'the address');
      const taken = portOf(server.out.trim());
      const second = serve(['--port', String(taken)]);
      assert.deepEqual(await second.ended, { code: 1, signal: null });
      assert.match(second.err, new RegExp(`port ${taken} is in use`));

      const busy = await Promise.all(Array.from({ length: 20 }, () => connect(taken)));
      for (const socket of busy) socket.write('GET / HT');
      await exchange(taken, get(taken));  // left idle
      server.kill('SIGTERM');
      const stopped = await Promise.race([server.ended, sleep(2000, 'still running 2 s after SIGTERM')]);
      assert.deepEqual(stopped, { code: 0, signal: null });
    } finally {
      server.kill('SIGKILL');
    }
  });
});
