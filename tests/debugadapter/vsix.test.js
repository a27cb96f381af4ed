// The extension builds into a .vsix with vsce, and the manifest inside it
// names the debugger type and the language, with the grammar it points to.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const cp = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const extension = path.join(process.env.VELMORA_SOURCE_DIR, 'editors/vscode');
const yauzl = require(path.join(extension, 'node_modules/yauzl'));

function entries(file) {
  return new Promise((resolve, reject) => {
    const found = {};
    yauzl.open(file, { lazyEntries: true }, (err, zip) => {
      if (err) return reject(err);
      zip.on('entry', (entry) => zip.openReadStream(entry, (e, stream) => {
        if (e) return reject(e);
        const parts = [];
        stream.on('data', (d) => parts.push(d));
        stream.on('end', () => { found[entry.fileName] = Buffer.concat(parts).toString(); zip.readEntry(); });
      }));
      zip.on('end', () => resolve(found));
      zip.readEntry();
    });
  });
}

test('the .vsix builds and its manifest names the fx8010 debugger and the as10k1 language', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'velmora-vsix-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  const out = path.join(dir, 'velmora-fx8010.vsix');
  cp.execFileSync(path.join(extension, 'node_modules/.bin/vsce'),
    ['package', '--allow-missing-repository', '--out', out], { cwd: extension, stdio: 'pipe' });
  const files = await entries(out);
  assert.match(files['extension.vsixmanifest'], /Microsoft\.VisualStudio\.Code/);
  const manifest = JSON.parse(files['extension/package.json']);
  assert.deepStrictEqual(manifest.contributes.debuggers.map((d) => d.type), ['fx8010']);
  assert.deepStrictEqual(manifest.contributes.languages.map((l) => l.id), ['as10k1']);
  const grammar = manifest.contributes.grammars[0];
  assert.strictEqual(grammar.language, 'as10k1');
  const rules = JSON.parse(files[path.posix.join('extension', grammar.path)]).repository;
  assert.deepStrictEqual(Object.keys(rules).sort(), ['comment', 'directive', 'name', 'number', 'opcode', 'string']);
});
