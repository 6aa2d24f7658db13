// The LexorPeek object of the page: the sixteen script operations of the dictionary plug-in (and
// the full-text search the hosts add), bridged to the server that served this page.
//
// LexorPeek.NAME(...) answers synchronously, so a page written for an in-process bridge
// (`if (LexorPeek.queryWithWord("go")) show(LexorPeek.getRecordAsHTML())`) works unchanged.
// LexorPeek.async.NAME(...) makes the same call and answers with a Promise, which keeps the page
// responsive. A call the server refuses throws (or rejects with) an Error saying why.
//
// LexorPeek.async.batch(calls) sends up to 1,000 calls, each {op, args}, in one request; the
// server carries them out in order and the Promise gives their answers in order, each
// {result: ...} or {error: "..."} (an error does not stop the calls after it). Besides the sixteen,
// a batch may carry the protocol's additions, such as matchWords.
//
// Each page served has a session of its own, named by the token in the page. A session ends when
// it has been idle for 30 minutes; the page must then be reloaded.
(function () {
  'use strict';

  const OPERATIONS = [
    'addDictionary', 'removeDictionaries', 'consult', 'queryWithWord', 'moveNext', 'isEOF',
    'getRecord', 'getRecordAsText', 'getRecordAsHTML', 'getDicDir', 'dicCount',
    'dicPathsInDir', 'dicNamesInDir', 'useNthDic', 'useAmbora', 'isAmboraAvailable',
    // Full-text search of the entries' texts, which the hosts add.
    'searchText', 'searchProgress',
  ];
  const ENDPOINT = '/LexorPeek';
  const TOKEN_HEADER = 'X-LexorPeek-Token';

  // The server puts a fresh token into the page it serves; calls without it are refused.
  const tokenElement = document.querySelector('meta[name="lexorpeek-token"]');
  const token = tokenElement ? tokenElement.getAttribute('content') : '';

  function requestBody(op, args) {
    return JSON.stringify({ op: op, args: Array.prototype.slice.call(args) });
  }

  function answerOf(status, text) {
    try {
      return JSON.parse(text);
    } catch (e) {
      throw new Error('LexorPeek: unreadable answer (HTTP ' + status + ')');
    }
  }

  function resultOf(status, text) {
    const answer = answerOf(status, text);
    if (answer !== null && typeof answer === 'object' && 'error' in answer) {
      throw new Error(String(answer.error));
    }
    if (status !== 200 || answer === null || typeof answer !== 'object' || !('result' in answer)) {
      throw new Error('LexorPeek: unexpected answer (HTTP ' + status + ')');
    }
    return answer.result;
  }

  function callNow(op, args) {
    const xhr = new XMLHttpRequest();
    xhr.open('POST', ENDPOINT, false);
    xhr.setRequestHeader('Content-Type', 'application/json');
    xhr.setRequestHeader(TOKEN_HEADER, token);
    try {
      xhr.send(requestBody(op, args));
    } catch (e) {
      throw new Error('LexorPeek: the server cannot be reached');
    }
    return resultOf(xhr.status, xhr.responseText);
  }

  async function post(body) {
    let response;
    try {
      response = await fetch(ENDPOINT, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json', [TOKEN_HEADER]: token },
        body: body,
        cache: 'no-store',
        credentials: 'same-origin',
      });
    } catch (e) {
      throw new Error('LexorPeek: the server cannot be reached');
    }
    return { status: response.status, text: await response.text() };
  }

  async function callLater(op, args) {
    const { status, text } = await post(requestBody(op, args));
    return resultOf(status, text);
  }

  async function batch(calls) {
    const body = JSON.stringify(Array.prototype.map.call(calls, function (call) {
      return { op: call.op, args: call.args ? Array.prototype.slice.call(call.args) : [] };
    }));
    const { status, text } = await post(body);
    const answer = answerOf(status, text);
    if (answer !== null && typeof answer === 'object' && 'error' in answer) throw new Error(String(answer.error));
    if (status !== 200 || !Array.isArray(answer)) {
      throw new Error('LexorPeek: unexpected answer (HTTP ' + status + ')');
    }
    return answer;
  }

  const bridge = {};
  const later = {};
  for (const op of OPERATIONS) {
    bridge[op] = function () { return callNow(op, arguments); };
    later[op] = function () { return callLater(op, arguments); };
  }
  later.batch = batch;
  bridge.async = Object.freeze(later);

  Object.defineProperty(window, 'LexorPeek', {
    value: Object.freeze(bridge),
    enumerable: true,
    writable: false,
    configurable: false,
  });
})();
