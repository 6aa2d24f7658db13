// The web host's defences, request by request, against the server that tests/browser/run.sh
// started (LEXOR_URL). Each test sends what a hostile page or a rebinding attack could send and
// expects the refusal; the paired allowed requests show that the refusal is the rule at work and
// not a broken server.
import assert from 'node:assert/strict';
import http from 'node:http';
import { before, describe, test } from 'node:test';

const base = new URL(process.env.LEXOR_URL ?? 'http://127.0.0.1:8737/');
const port = Number(base.port);
const ownHost = `127.0.0.1:${port}`;

const EXPECTED_CSP =
  "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; " +
  "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'; " +
  "object-src 'none'";

// A raw request: the path is sent exactly as given (no normalisation of "..") and the Host
// header is ours to choose.
function send({ method = 'GET', path = '/', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const request = http.request({
      host: '127.0.0.1',
      port,
      method,
      path,
      setHost: false,
      headers: { Host: ownHost, ...headers },
    }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({
        status: response.statusCode,
        headers: response.headers,
        body: Buffer.concat(chunks).toString('utf8'),
      }));
    });
    request.on('error', reject);
    if (body !== undefined) request.setHeader('Content-Length', Buffer.byteLength(body));
    request.end(body);
  });
}

let token;

function call(request, headers = {}) {
  return send({
    method: 'POST',
    path: '/LexorPeek',
    headers: { 'Content-Type': 'application/json', 'X-LexorPeek-Token': token, ...headers },
    body: typeof request === 'string' || Buffer.isBuffer(request) ? request : JSON.stringify(request),
  });
}

before(async () => {
  const page = await send();
  assert.equal(page.status, 200);
  token = page.body.match(/<meta name="lexorpeek-token" content="([0-9a-f]+)">/)?.[1];
  assert.ok(token, 'the page carries the token');
});

describe('the page token', () => {
  test('is fresh random hex of at least 128 bits', () => {
    assert.match(token, /^[0-9a-f]{32,}$/);
  });

  test('lets a script call through', async () => {
    const answer = await call({ op: 'dicCount' });
    assert.equal(answer.status, 200);
    assert.equal(typeof JSON.parse(answer.body).result, 'number');
  });

  const offByOne = () => token.slice(0, -1) + (token.at(-1) === '0' ? '1' : '0');
  const refused = [
    ['no token', () => send({ method: 'POST', path: '/LexorPeek', body: '{"op":"dicCount"}' })],
    ['an empty token', () => call({ op: 'dicCount' }, { 'X-LexorPeek-Token': '' })],
    ['a token one character off', () => call({ op: 'dicCount' }, { 'X-LexorPeek-Token': offByOne() })],
    ['a prefix of the token', () => call({ op: 'dicCount' }, { 'X-LexorPeek-Token': token.slice(0, 16) })],
    ['the token twice', () => call({ op: 'dicCount' }, { 'X-LexorPeek-Token': token + token })],
  ];
  for (const [name, request] of refused) {
    test(`is required: ${name} gets 403`, async () => {
      const answer = await request();
      assert.equal(answer.status, 403);
      assert.ok(!('result' in JSON.parse(answer.body)));
    });
  }
});

describe('the Host header (DNS rebinding)', () => {
  const cases = [
    ['127.0.0.1 with our port', () => ownHost, 200],
    ['localhost with our port', () => `localhost:${port}`, 200],
    ['a foreign name with our port', () => `evil.example:${port}`, 403],
    ['a name that ends like ours', () => `evil127.0.0.1:${port}`, 403],
    ['our address with another port', () => `127.0.0.1:${port === 1 ? 2 : port - 1}`, 403],
    ['our address without a port', () => '127.0.0.1', 403],
    ['an empty host', () => '', 403],
  ];
  for (const [name, host, status] of cases) {
    test(`${name} gets ${status} for the page and for script calls`, async () => {
      assert.equal((await send({ headers: { Host: host() } })).status, status);
      assert.equal((await call({ op: 'dicCount' }, { Host: host() })).status, status);
    });
  }
});

describe('the Origin header (cross-site requests)', () => {
  const cases = [
    [`http://127.0.0.1:${port}`, 200],
    [`http://localhost:${port}`, 200],
    ['http://evil.example', 403],
    [`http://evil.example:${port}`, 403],
    [`https://127.0.0.1:${port}`, 403],
    ['null', 403],
  ];
  for (const [origin, status] of cases) {
    test(`${origin} gets ${status} even with the right token`, async () => {
      assert.equal((await call({ op: 'dicCount' }, { Origin: origin })).status, status);
    });
  }
});

describe('files', () => {
  test('the widget files are served with their types', async () => {
    const types = {
      '/': 'text/html', '/index.html': 'text/html', '/widget.css': 'text/css',
      '/widget.js': 'text/javascript', '/lexorpeek.js': 'text/javascript',
      '/favicon.svg': 'image/svg+xml',
    };
    for (const [path, type] of Object.entries(types)) {
      const answer = await send({ path });
      assert.equal(answer.status, 200, path);
      assert.ok(answer.headers['content-type'].startsWith(type), path);
    }
  });

  const outside = [
    '/../../etc/passwd',
    '/../../../../../../etc/passwd',
    '/%2e%2e/%2e%2e/etc/passwd',
    '/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd',
    '/..%2f..%2f..%2fetc%2fpasswd',
    '/widget.js/../../../../etc/passwd',
    '//etc/passwd',
    '/static/index.html',
    '/web_server.cpp',
    '/../web_server.cpp',
    '/%2e%2e/web_server.cpp',
    '/static/',
    '/.git/config',
    '/index.html%00.css',
  ];
  for (const path of outside) {
    test(`${path} is not found`, async () => {
      const answer = await send({ path });
      assert.equal(answer.status, 404);
      assert.doesNotMatch(answer.body, /root:|#include|\[core\]|<html/);
    });
  }
});

describe('headers on every answer', () => {
  const answers = {
    page: () => send(),
    script: () => send({ path: '/lexorpeek.js' }),
    'missing file': () => send({ path: '/nothing-here' }),
    'script call': () => call({ op: 'dicCount' }),
    'refused call': () => call({ op: 'dicCount' }, { 'X-LexorPeek-Token': 'x' }),
    'foreign host': () => send({ headers: { Host: 'evil.example' } }),
    'oversized body': () => call('x'.repeat(70 * 1024)),
  };
  for (const [name, answer] of Object.entries(answers)) {
    test(`${name}: content security policy, nosniff, no referrer`, async () => {
      const { headers } = await answer();
      assert.equal(headers['content-security-policy'], EXPECTED_CSP);
      assert.equal(headers['x-content-type-options'], 'nosniff');
      assert.equal(headers['referrer-policy'], 'no-referrer');
    });
  }
});

describe('malformed script calls', () => {
  test('a body over 64 KiB gets 413', async () => {
    const word = 'a'.repeat(70 * 1024);
    const answer = await call({ op: 'queryWithWord', args: [word] });
    assert.equal(answer.status, 413);
  });

  test('a body without a stated length is refused before it is read', async () => {
    // Node sends a body of unknown length chunked: it could go on without end. (Its own
    // connection: the refused body's rest is not read and would garble the next request.)
    const answer = await new Promise((resolve, reject) => {
      const request = http.request({
        host: '127.0.0.1', port, method: 'POST', path: '/LexorPeek', setHost: false, agent: false,
        headers: { Host: ownHost, 'X-LexorPeek-Token': token, 'Transfer-Encoding': 'chunked' },
      }, (response) => { response.resume(); resolve(response.statusCode); });
      request.on('error', reject);
      request.write('{"op":"queryWithWord","args":["' + 'a'.repeat(100 * 1024));
      request.end('"]}');
    });
    assert.ok(answer === 411 || answer === 413, `status ${answer}`);
  });

  test('a body just under the limit is still answered', async () => {
    const word = 'a'.repeat(60 * 1024);
    const answer = await call({ op: 'queryWithWord', args: [word] });
    assert.equal(answer.status, 200);
    assert.equal(JSON.parse(answer.body).result, false);
  });

  const bad = [
    ['not JSON', 'bad'],
    ['truncated JSON', '{"op":"dicCount"'],
    ['an empty body', ''],
    ['an unknown operation', { op: 'bogus' }],
    ['a member name', { op: '_dicDir' }],
    ['a wrong argument type', { op: 'useNthDic', args: ['x'] }],
    ['too many arguments', { op: 'dicCount', args: [1] }],
    ['invalid UTF-8', Buffer.from([0x7b, 0x22, 0xff, 0xfe, 0x22, 0x7d])],
  ];
  for (const [name, request] of bad) {
    test(`${name} gets a JSON error and the server goes on`, async () => {
      const answer = await call(request);
      assert.equal(answer.status, 200);
      assert.equal(typeof JSON.parse(answer.body).error, 'string');
      const next = await call({ op: 'dicCount' });
      assert.equal(typeof JSON.parse(next.body).result, 'number');
    });
  }

  test('POST anywhere but /LexorPeek is not found', async () => {
    const answer = await send({
      method: 'POST', path: '/index.html',
      headers: { 'X-LexorPeek-Token': token }, body: '{"op":"dicCount"}',
    });
    assert.equal(answer.status, 404);
  });
});
