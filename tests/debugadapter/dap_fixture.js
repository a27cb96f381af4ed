// What the adapter's end-to-end tests share: the built programs, a
// walk-through patch assembled afresh, emuapsctl on the adapter's private
// service, and waiting on a condition with a deadline.
'use strict';
const assert = require('node:assert');
const cp = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const programs = process.env.VELMORA_PROGRAM_DIR;
const source = process.env.VELMORA_SOURCE_DIR;
const dap = path.join(programs, 'velmora-dap');
const env = { ...process.env };

// The folders the tests made go when the test process ends.
const made = [];
process.on('exit', () => made.forEach((dir) => fs.rmSync(dir, { recursive: true, force: true })));

// A runtime folder of the test's own, and the walk-through's echo.asm
// assembled in it with its names.
function walkThrough() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-dap-test-'));
  made.push(dir);
  fs.chmodSync(dir, 0o700);
  fs.copyFileSync(path.join(source, 'driver/images/echo.asm'), path.join(dir, 'echo.asm'));
  cp.execFileSync('as10k1', ['-o', 'echo.emu10k1', 'echo.asm'], { cwd: dir, stdio: 'ignore' });
  const dump = cp.execFileSync('as10k1', ['-d', 'gti', '-o', 'echo.emu10k1', 'echo.asm'], { cwd: dir });
  fs.writeFileSync(path.join(dir, 'echo.dbg'), dump);
  return {
    dir,
    env: { ...env, XDG_RUNTIME_DIR: dir },
    launch: {
      program: path.join(dir, 'echo.emu10k1'),
      names: path.join(dir, 'echo.dbg'),
      image: path.join(source, 'driver/images/demo.chip'),
    },
  };
}

// emuapsctl on the service the adapter with pid launched.
function ctl(dir, adapterPid, ...args) {
  return cp.execFileSync(path.join(programs, 'emuapsctl'), args, {
    env: { ...env, XDG_RUNTIME_DIR: path.join(dir, `velmora-dap-${adapterPid}`) },
  }).toString().trim();
}

// The fraction emuapsctl get shows of one register.
function fractionOf(dir, adapterPid, name) {
  const m = /= \S+ \S+ ([^\s:]+)/.exec(ctl(dir, adapterPid, 'get', name)); // before a unit
  assert.ok(m, `get ${name} answers a value`);
  return m[1];
}

function childrenOf(pid) {
  const tasks = `/proc/${pid}/task`;
  return fs.readdirSync(tasks).flatMap((t) =>
    fs.readFileSync(`${tasks}/${t}/children`, 'utf8').split(' ').filter(Boolean).map(Number));
}

function alive(pid) {
  try {
    return !/^\S+ \(.*\) Z/.test(fs.readFileSync(`/proc/${pid}/stat`, 'utf8'));
  } catch {
    return false;
  }
}

async function eventually(what, condition, ms = 60000) {
  const deadline = Date.now() + ms;
  while (!condition()) {
    if (Date.now() > deadline) assert.fail(`${what} within ${ms / 1000} s`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

module.exports = { dap, env, walkThrough, ctl, fractionOf, childrenOf, alive, eventually };
