// A whole session through Microsoft's DAP test client on the walk-through's
// echo patch; each value is checked against emuapsctl on the same service
// or against the adapter's own disassembly, and every mismatch is listed.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { DebugClient } = require('@vscode/debugadapter-testsupport');
const f = require('./dap_fixture');
const fs = require('node:fs');
const path = require('node:path');

test('a session on echo: entry, lines, breakpoints, values, set, watch, saturation, back, disassembly', async () => {
  const w = f.walkThrough();
  const asm = path.join(w.dir, 'echo.asm');
  const lines = fs.readFileSync(asm, 'utf8').split('\n');
  const wlLine = lines.findIndex((l) => /^\s*macs\s+wl,/.test(l)) + 1;
  const dc = new DebugClient('env', f.dap, 'fx8010', { env: w.env });
  dc.defaultTimeout = 60000;
  await dc.start();
  const pid = dc._adapterProcess.pid;
  const wrong = [];
  const expect = (what, got, want) => { if (got !== want) wrong.push(`${what}: ${got}, not ${want}`); };
  try {
    const init = await dc.initializeRequest();
    expect('saturation filter', init.body.exceptionBreakpointFilters[0].filter, 'saturation');
    await Promise.all([dc.waitForEvent('initialized'), dc.launchRequest({ image: w.launch.image, program: asm, stopOnEntry: true })]);
    const [entry] = await Promise.all([dc.waitForEvent('stopped'), dc.configurationDoneRequest()]);
    expect('entry reason', entry.body.reason, 'entry');
    const [service] = f.childrenOf(pid);

    // The instruction that writes wl, as the adapter disassembles it.
    const code = (await dc.disassembleRequest({ memoryReference: '0x000', instructionCount: 512 })).body.instructions;
    expect('disassembled instructions', code.length, 512);
    const writesWl = code.find((i) => /^MACS .* wl$/.test(i.instruction));
    assert.ok(writesWl, `an instruction writes wl: ${code.slice(32, 48).map((i) => i.instruction)}`);

    const sources = (await dc.send('loadedSources', {})).body.sources.map((s) => s.path);
    expect('its line, source, loaded sources', `${writesWl.line} ${writesWl.location?.path} ${sources}`,
      `${wlLine} ${asm} ${asm}`);
    const set = (await dc.setBreakpointsRequest({ source: { path: asm }, breakpoints: [{ line: wlLine }, { line: 11 }] }))
      .body.breakpoints;
    expect('verified at', `${set.map((b) => [b.verified, b.line])} ${set[1].message}`,
      `true,${wlLine},false,11 no instruction comes from echo.asm:11; the nearest line with one is 14`);
    const [hit] = await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    expect('break reason', hit.body.reason, 'breakpoint');
    const top = async () => (await dc.stackTraceRequest({ threadId: 1 })).body.stackFrames[0];
    const frame = await top();
    expect('frame at', `${frame.instructionPointerReference} ${frame.line} ${frame.source?.path}`,
      `${writesWl.address} ${wlLine} ${asm}`);
    const samples = /(\d+) samples/.exec(f.ctl(w.dir, pid, 'status'))[1];
    expect('frame name', frame.name, `sample ${samples}`);

    // next goes to the following line, stepBack to the wl line again.
    await Promise.all([dc.waitForEvent('stopped'), dc.nextRequest({ threadId: 1 })]);
    expect('next', `${(await top()).name} ${(await top()).line}`, `sample ${samples} ${wlLine + 1}`);
    await Promise.all([dc.waitForEvent('stopped'), dc.send('stepBack', { threadId: 1 })]);
    const back = await top();
    expect('stepBack', `${back.name} ${back.line} ${back.instructionPointerReference}`,
      `sample ${samples} ${wlLine} ${writesWl.address}`);

    // Continuing from the breakpoint stops there again, a sample on.
    await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    const again = (await dc.stackTraceRequest({ threadId: 1 })).body.stackFrames[0];
    expect('again at', `${again.name} ${again.instructionPointerReference}`,
      `sample ${Number(samples) + 1} ${writesWl.address}`);
    // A condition that holds and a hit count: the third hit, three samples on.
    await dc.setBreakpointsRequest({ source: { path: asm },
      breakpoints: [{ line: wlLine, condition: 'fb < 0.6', hitCondition: '3' }] });
    await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    expect('the third hit', (await top()).name, `sample ${Number(samples) + 4}`);
    await Promise.all([dc.waitForEvent('stopped'), dc.stepOutRequest({ threadId: 1 })]);
    const out = (await dc.stackTraceRequest({ threadId: 1 })).body.stackFrames[0];
    expect('step out ends the sample', `${out.name} ${out.instructionPointerReference}`,
      `sample ${Number(samples) + 5} 0x000`);

    const scopes = (await dc.scopesRequest({ frameId: frame.id })).body.scopes;
    const variables = {};
    for (const s of scopes)
      for (const v of (await dc.variablesRequest({ variablesReference: s.variablesReference })).body.variables)
        variables[v.name] = v;
    for (const name of ['fb', 'wl', 'wet', 'mono', 'rl.a'])
      expect(`variable ${name}`, variables[name] && variables[name].value, f.fractionOf(w.dir, pid, name));
    expect('an output the program writes', variables['OUT_FRONT_L'] && variables['OUT_FRONT_L'].type, '0x020');
    const hover = await dc.evaluateRequest({ expression: 'fb', context: 'hover' });
    expect('hover fb', hover.body.result, f.fractionOf(w.dir, pid, 'fb'));

    await dc.send('setVariable', { variablesReference: 1, name: 'fb', value: '0.25' });
    expect('fb after setVariable', f.fractionOf(w.dir, pid, 'fb'), '0.25');

    // A data breakpoint stops at the instruction that writes wl.
    await dc.setBreakpointsRequest({ source: { path: asm }, breakpoints: [] });
    const info = await dc.send('dataBreakpointInfo', { name: 'wl', variablesReference: 3 });
    await dc.send('setDataBreakpoints', { breakpoints: [{ dataId: info.body.dataId, accessType: 'write' }] });
    const [write] = await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    expect('watch reason', write.body.reason, 'data breakpoint');
    expect('written by', /by instruction (0x\w+)/.exec(write.body.text)?.[1], writesWl.address);
    // Going on to the next write and back again stands where the first one left the chip.
    const written = await top();
    await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    const [reverse] = await Promise.all([dc.waitForEvent('stopped'), dc.send('reverseContinue', { threadId: 1 })]);
    expect('reverse reason', reverse.body.reason, 'data breakpoint');
    const rewritten = await top();
    expect('back at the last write', `${rewritten.name} ${rewritten.instructionPointerReference}`,
      `${written.name} ${written.instructionPointerReference}`);

    // Saturation: the stop names the instruction DBG says saturated.
    await dc.send('setDataBreakpoints', { breakpoints: [] });
    await dc.send('setExceptionBreakpoints', { filters: ['saturation'] });
    for (const [name, value] of [['fb', '0.9'], ['wet', '0.99'], ['dry', '0.99']])
      await dc.send('setExpression', { expression: name, value });
    const [saturated] = await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    expect('saturation reason', saturated.body.reason, 'exception');
    expect('saturated at', /by instruction (0x\w+)/.exec(saturated.body.text)?.[1],
      /saturated at (0x\w+)/.exec(f.ctl(w.dir, pid, 'status'))?.[1]);

    // The external pool as memory: windows agree, and the bytes past its end are unreadable.
    const read = async (offset, count) =>
      (await dc.send('readMemory', { memoryReference: variables['wl'].memoryReference, offset, count })).body;
    const pool = Buffer.from((await read(0, 2 * 131072)).data, 'base64');
    const sound = pool.findIndex((b) => b !== 0);
    expect('the pool holds sound', sound >= 0, true);
    const part = Buffer.from((await read(sound + 3, 21)).data, 'base64');
    expect('an odd window', part.toString('hex'), pool.subarray(sound + 3, sound + 24).toString('hex'));
    const end = await read(2 * 131072 - 4, 10);
    expect('past the pool', `${Buffer.from(end.data, 'base64').length} ${end.unreadableBytes}`, '4 6');

    const steps = await Promise.all([dc.waitForEvent('stopped'), dc.stepInRequest({ threadId: 1 })]);
    expect('step reason', steps[0].body.reason, 'step');

    // With nothing set the chip runs free, its status polled, until a pause.
    await dc.send('setExceptionBreakpoints', { filters: [] });
    await dc.continueRequest({ threadId: 1 });
    await f.eventually('the chip runs', () => /^running/.test(f.ctl(w.dir, pid, 'status')));
    const [paused] = await Promise.all([dc.waitForEvent('stopped'), dc.pauseRequest({ threadId: 1 })]);
    expect('pause reason', paused.body.reason, 'pause');
    expect('paused chip', /^stopped/.test(f.ctl(w.dir, pid, 'status')), true);

    // A reload that moves the lines: the views are stale, a line breakpoint moves with its line.
    await dc.setBreakpointsRequest({ source: { path: asm }, breakpoints: [{ line: wlLine + 1 }] });
    await Promise.all([dc.waitForEvent('stopped'), dc.stepOutRequest({ threadId: 1 })]); // a reload waits for a sample's end
    fs.writeFileSync(asm, `; moved a line down\n${lines.join('\n')}`);
    await Promise.all([dc.waitForEvent('invalidated'), Promise.resolve(f.ctl(w.dir, pid, 'reload'))]);
    const moved = (await dc.disassembleRequest({ memoryReference: writesWl.address, instructionCount: 1 })).body;
    expect('the wl line after the reload', moved.instructions[0].line, wlLine + 1);
    await Promise.all([dc.waitForEvent('stopped'), dc.continueRequest({ threadId: 1 })]);
    expect('the moved breakpoint', (await top()).instructionPointerReference, writesWl.address);
    // A reload of the same source changes no line, yet the values are the reloaded program's.
    await Promise.all([dc.waitForEvent('stopped'), dc.stepOutRequest({ threadId: 1 })]);
    await Promise.all([dc.waitForEvent('invalidated'), Promise.resolve(f.ctl(w.dir, pid, 'reload'))]);

    await dc.disconnectRequest({});
    await f.eventually('the launched service ends with disconnect', () => !f.alive(service));
  } finally {
    dc.stopAdapter();
  }
  assert.deepStrictEqual(wrong, []);
});
