// What only the process shows of hostile clients: each bad request one
// error response and the adapter still answering, broken framing a clean
// end, and a client that vanishes ending the service it launched.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const cp = require('node:child_process');
const f = require('./dap_fixture');

// velmora-dap on pipes, its messages collected as they come.
function adapter(env) {
  const child = cp.spawn(f.dap, [], { env });
  const got = [];
  let buffer = Buffer.alloc(0);
  child.stdout.on('data', (data) => {
    buffer = Buffer.concat([buffer, data]);
    for (let end; (end = buffer.indexOf('\r\n\r\n')) >= 0;) {
      const length = Number(/Content-Length: (\d+)/.exec(buffer.subarray(0, end).toString())[1]);
      if (buffer.length < end + 4 + length) break;
      got.push(JSON.parse(buffer.subarray(end + 4, end + 4 + length).toString()));
      buffer = buffer.subarray(end + 4 + length);
    }
  });
  let stderr = '';
  child.stderr.on('data', (d) => { stderr += d; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const send = (text) => child.stdin.write(`Content-Length: ${Buffer.byteLength(text)}\r\n\r\n${text}`);
  const request = (seq, command, args) => send(JSON.stringify({ seq, type: 'request', command, arguments: args }));
  return { child, got, send, request, exited, stderr: () => stderr };
}

test('bad requests each get an error response and broken framing ends the adapter cleanly', async () => {
  const w = f.walkThrough();
  const a = adapter(w.env);
  const rows = [
    ['unknown command', () => a.request(1, 'fly', {})],
    ['launch with a number for program', () => a.request(2, 'launch', { program: 5 })],
    ['breakpoints that are no array', () => a.request(3, 'setInstructionBreakpoints', { breakpoints: 'x' })],
    ['a breakpoint that is no object', () => a.request(4, 'setInstructionBreakpoints', { breakpoints: [7] })],
    ['a reference that is a string', () => a.request(5, 'variables', { variablesReference: 'a' })],
    ['stepping with no service', () => a.request(6, 'stepIn', { threadId: 1 })],
    ['arguments that are a list', () => a.request(7, 'evaluate', [1])],
    ['a body that is not JSON', () => a.send('{"seq": 8, "type": ')],
  ];
  for (const [, send] of rows) send();
  a.request(9, 'threads');
  await f.eventually('an answer to each', () => a.got.length >= rows.length + 1);
  const wrong = [];
  rows.forEach(([label], i) => {
    const r = a.got[i];
    if (r.type !== 'response' || r.success !== false || !r.message) wrong.push(`${label}: ${JSON.stringify(r)}`);
  });
  assert.deepStrictEqual(wrong, []);
  assert.strictEqual(a.got[rows.length].body.threads[0].name, 'DSP');
  a.child.stdin.write('Content-Length: lots\r\n\r\n{}');
  const end = await a.exited;
  assert.deepStrictEqual(end, { code: 1, signal: null }, a.stderr());
  assert.match(a.got.at(-1).message, /broken framing/);
  assert.doesNotMatch(a.stderr(), /Sanitizer|runtime error/);
});

test('a client that vanishes mid-session, or terminates, ends the launched service', async () => {
  const w = f.walkThrough();
  for (const vanish of ['asks terminate', 'closes its end', 'kills the adapter']) {
    const a = adapter(w.env);
    a.request(1, 'initialize', { adapterID: 'fx8010' });
    a.request(2, 'launch', w.launch);
    await f.eventually('the launch', () => a.got.some((m) => m.command === 'launch'), 60000);
    assert.ok(a.got.find((m) => m.command === 'launch').success, JSON.stringify(a.got));
    const [service] = f.childrenOf(a.child.pid);
    assert.ok(f.alive(service));
    if (vanish === 'asks terminate') a.request(3, 'terminate');
    else if (vanish === 'closes its end') a.child.stdin.end();
    else a.child.kill('SIGKILL');
    await f.eventually(`the service ends when the client ${vanish}`, () => !f.alive(service));
    if (vanish === 'asks terminate') {
      await f.eventually('terminated', () => a.got.some((m) => m.event === 'terminated'));
      assert.ok(f.alive(a.child.pid), 'the adapter outlives the service it terminated');
      a.child.stdin.end();
    }
    await a.exited;
  }
});

test('with --port the adapter serves one client over TCP and ends with its disconnect', async () => {
  const { DebugClient } = require('@vscode/debugadapter-testsupport');
  const w = f.walkThrough();
  const port = 20000 + (process.pid % 20000);
  const child = cp.spawn(f.dap, ['--port', String(port)], { env: w.env });
  let stderr = '';
  child.stderr.on('data', (d) => { stderr += d; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  await f.eventually('the adapter listens', () => stderr.includes(`listening on 127.0.0.1:${port}`));
  const dc = new DebugClient('', '', 'fx8010');
  await dc.start(port);
  try {
    assert.strictEqual((await dc.threadsRequest()).body.threads[0].name, 'DSP');
    await dc.disconnectRequest({});
    assert.strictEqual(await exited, 0, stderr);
  } finally {
    dc.stopAdapter();
    child.kill();
  }
});
