// The web host's defences against the server that tests/browser/run.sh started (LEXOR_URL). Each
// row sends what a hostile page or a rebinding attack could send and expects the refusal; the
// allowed rows beside them show that the refusal is the rule at work and not a broken server.
import assert from 'node:assert/strict';
import http from 'node:http';
import { before, describe, test } from 'node:test';

const port = Number(new URL(process.env.LEXOR_URL ?? 'http://127.0.0.1:8737/').port);
const ownHost = `127.0.0.1:${port}`;

// A raw request: the path is sent exactly as given (no normalisation of "..") and the Host header
// is ours to choose.
function send({ method = 'GET', path = '/', headers = {}, body } = {}) {
  return new Promise((resolve, reject) => {
    const request = http.request({
      host: '127.0.0.1', port, method, path, setHost: false, headers: { Host: ownHost, ...headers },
    }, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (part) => { text += part; });
      const { statusCode: status, headers } = response;
      response.on('end', () => resolve({ status, headers, body: text }));
    });
    request.on('error', reject);
    request.end(body);
  });
}

let token;
const call = (request, headers = {}) => send({
  method: 'POST', path: '/LexorPeek',
  headers: { 'Content-Type': 'application/json', 'X-LexorPeek-Token': token, ...headers },
  body: typeof request === 'string' || Buffer.isBuffer(request) ? request : JSON.stringify(request),
});
const count = (headers) => call({ op: 'dicCount' }, headers);

before(async () => {
  token = (await send()).body.match(/<meta name="lexorpeek-token" content="([0-9a-f]+)">/)?.[1];
  assert.match(token ?? '', /^[0-9a-f]{32,}$/, 'the page carries 128 random bits or more');
});

describe('who may call', () => {
  const otherPort = port === 1 ? 2 : port - 1;
  const offByOne = () => token.slice(0, -1) + (token.at(-1) === '0' ? '1' : '0');
  const cases = [
    ['the page\'s own token', () => count(), 200],
    ['no token', () => send({ method: 'POST', path: '/LexorPeek', body: '{"op":"dicCount"}' }), 403],
    ['a token one character off', () => count({ 'X-LexorPeek-Token': offByOne() }), 403],
    ['a prefix of the token', () => count({ 'X-LexorPeek-Token': token.slice(0, 16) }), 403],
  ];
  for (const [host, status] of [[`localhost:${port}`, 200], [`evil.example:${port}`, 403],
    [`evil127.0.0.1:${port}`, 403], [`127.0.0.1:${otherPort}`, 403], ['', 403]]) {
    cases.push([`Host ${host} for the page`, () => send({ headers: { Host: host } }), status]);
    cases.push([`Host ${host} for a call`, () => count({ Host: host }), status]);
  }
  for (const [origin, status] of [[`http://localhost:${port}`, 200], [`http://evil.example:${port}`, 403],
    [`https://127.0.0.1:${port}`, 403], ['null', 403]]) {
    cases.push([`Origin ${origin} with the right token`, () => count({ Origin: origin }), status]);
  }
  for (const [name, request, status] of cases) {
    test(`${name} gets ${status}`, async () => {
      const answer = await request();
      assert.equal(answer.status, status);
      if (status === 403) assert.doesNotMatch(answer.body, /"result"/);
    });
  }
});

test('the widget files are served with their types, and nothing outside them', async () => {
  for (const [path, type] of [['/', 'text/html'], ['/widget.css', 'text/css'], ['/lexorpeek.js', 'text/javascript']]) {
    const answer = await send({ path });
    assert.equal(answer.status, 200, path);
    assert.ok(answer.headers['content-type'].startsWith(type), path);
  }
  for (const path of ['/../../etc/passwd', '/%2e%2e/%2e%2e/etc/passwd', '/..%2f..%2f..%2fetc%2fpasswd',
    '/widget.js/../../../../etc/passwd', '//etc/passwd', '/web_server.cpp', '/index.html%00.css']) {
    const answer = await send({ path });
    assert.equal(answer.status, 404, path);
    assert.doesNotMatch(answer.body, /root:|#include|<html/, path);
  }
  const post = await send({ method: 'POST', path: '/index.html', headers: { 'X-LexorPeek-Token': token }, body: '{}' });
  assert.equal(post.status, 404);
});

test('every answer carries the content security policy, nosniff and no referrer', async () => {
  const csp = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; " +
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'; object-src 'none'";
  for (const answer of [() => send(), () => send({ path: '/nothing-here' }), () => count(),
    () => count({ 'X-LexorPeek-Token': 'x' }), () => send({ headers: { Host: 'evil.example' } })]) {
    const { headers } = await answer();
    assert.equal(headers['content-security-policy'], csp);
    assert.equal(headers['x-content-type-options'], 'nosniff');
    assert.equal(headers['referrer-policy'], 'no-referrer');
  }
});

test('malformed calls get a JSON error and the server goes on', async () => {
  for (const request of ['{"op":"dicCount"', '', { op: '_dicDir' }, { op: 'useNthDic', args: ['x'] },
    Buffer.from([0x7b, 0x22, 0xff, 0xfe, 0x22, 0x7d])]) {
    const answer = await call(request);
    assert.equal(answer.status, 200);
    assert.equal(typeof JSON.parse(answer.body).error, 'string');
  }
  assert.equal(typeof JSON.parse((await count()).body).result, 'number');
});
