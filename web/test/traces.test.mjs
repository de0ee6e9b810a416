// The three builds of the plug-in held against each other on the bundled
// session scripts: the session player compiled to WebAssembly must print the
// native player's trace byte for byte, and the page's JavaScript host, driving
// the page's own module, must log the same host calls and reach the same
// cameras as the simulated host.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { readFileSync, readdirSync } from 'node:fs';
import { describe, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import createOrbitrix from '../../build/web/orbitrix.js';
import { Host, OPTION_NAMES, View } from '../src/host.js';
import { g9, stepText, traceHeading } from '../src/trace.js';

const root = fileURLToPath(new URL('../../', import.meta.url));
const nativePlayer = process.env.ORBITRIX_PLAY ?? `${root}build/native/orbitrix-play`;
const wasmPlayer = `${root}build/web/orbitrix-play.js`;
const examples = readdirSync(`${root}examples`)
  .filter((f) => f.endsWith('.session'))
  .map((f) => `examples/${f}`);

function play(command, args) {
  const run = spawnSync(command, args, { cwd: root, encoding: 'utf8' });
  assert.equal(run.stderr, '', `${command} ${args.join(' ')} wrote to stderr`);
  assert.equal(run.status, 0, `${command} ${args.join(' ')} exited ${run.status}`);
  return run.stdout;
}

const native = new Map(examples.map((e) => [e, play(nativePlayer, [e])]));

describe('the session player built as WebAssembly', () => {
  for (const example of examples) {
    test(`prints the native trace of ${example}`, () => {
      const wasm = play(process.execPath, [wasmPlayer, example]);
      assert.ok(wasm.includes(traceHeading()), 'no trace heading');
      // Line for line first, so that a difference names its line.
      const want = native.get(example).split('\n');
      wasm.split('\n').forEach((line, i) => assert.equal(line, want[i], `line ${i + 1}`));
      assert.equal(wasm, native.get(example));
    });
  }
});

// The words of one script line, up to a # outside quotes.
function words(line) {
  const found = [];
  const pattern = /"([^"]*)"|(#)|([^\s"#]+)/g;
  for (const m of line.matchAll(pattern)) {
    if (m[2]) break;
    found.push(m[1] ?? m[3]);
  }
  return found;
}

// Plays a script's events through the JavaScript host. The host follows its
// contract only, so scripts that make it misbehave are refused.
function playThroughHost(host, text) {
  const steps = [];
  let view = 0;
  let ctrl = false;
  text.split('\n').forEach((line, index) => {
    const w = words(line);
    if (!w.length || w[0] === 'expect') return;
    const number = (s) => (s === 'nan' ? NaN : Number(s));
    const field = (name) => (w.includes(name) ? w[w.indexOf(name) + 1] : undefined);
    switch (w[0]) {
      case 'view':
        view = Number(w[1]);
        host.views.set(
          view,
          View.defined({
            heading: number(field('heading') ?? 0),
            pitch: number(field('pitch') ?? 0),
            ortho: w.includes('ortho'),
            uv: w.includes('uv'),
          }),
        );
        return;
      case 'option': {
        const named = (n, k) => n.toLowerCase() === w[1].toLowerCase() || w[1] === `${k + 1}`;
        host.setOption(OPTION_NAMES.findIndex(named), Number(w[2]));
        return;
      }
      case 'ctrl':
        ctrl = w[1] === 'down';
        return;
      case 'switch':
        steps.push({ line: index + 1, ...host.switchTool(view, { ctrl }) });
        return;
      case 'press':
      case 'move':
      case 'release': {
        if (field('view')) view = Number(field('view'));
        const buttons = Number(field('buttons') ?? 1);
        const x = Number(w[1]);
        const y = Number(w[2]);
        steps.push({ line: index + 1, ...host[w[0]](view, x, y, { buttons, ctrl }) });
        return;
      }
      default:
        throw new Error(`line ${index + 1}: ${w[0]} is not played through the page's host`);
    }
  });
  return steps;
}

async function startedHost() {
  const wasmBinary = readFileSync(`${root}build/web/orbitrix.wasm`);
  const host = new Host(await createOrbitrix({ wasmBinary }));
  host.start();
  return host;
}

describe("the page's JavaScript host", () => {
  test('sees what the simulated host sees registered', async () => {
    const r = (await startedHost()).registered();
    const text = native.get('examples/tour.session');
    assert.ok(text.startsWith(`plug-in      ${r.name}\ndescription  ${r.description}\n`));
    assert.match(
      text,
      new RegExp(`tool id      0x${r.toolId[0].toString(16).toUpperCase()}:0x${r.toolId[1]}\n`),
    );
    assert.match(text, new RegExp(`button       ${r.button[0]} x ${r.button[1]}\n`));
    // The labels as the host shows them, decoded from code page 932.
    assert.deepEqual(r.labels, [
      '特定角度にくっつく',
      '（↑がオンの時）Ctrlを押した時のみ作動',
      '上下回転に制限をかける',
      '一時平行投影する',
    ]);
  });

  // views.session makes the host answer badly on purpose, which the page's
  // host never does.
  for (const example of examples.filter((e) => !e.endsWith('views.session'))) {
    test(`calls and cameras as the simulated host's in ${example}`, async () => {
      const steps = playThroughHost(await startedHost(), readFileSync(`${root}${example}`, 'utf8'));
      const want = native
        .get(example)
        .split('\n')
        .filter((l) => /^ *\d+ +\d+  (press|move|release|switch)/.test(l));
      assert.equal(steps.length, want.length);
      steps.forEach((s, i) => assert.equal(stepText(s), want[i]));
    });
  }
});

test('angles print as C prints them with %.9g', () => {
  const printed = {
    1.001953125: '1.00195312', // a tie, rounded to even
    19.9: '19.8999996',
    '-71.5': '-71.5',
    123456789: '123456792',
    1e9: '1e+09',
    0.0001: '9.99999975e-05',
    0.00012345: '0.000123449994',
    3.4e38: '3.39999995e+38',
    1.5e-45: '1.40129846e-45',
  };
  for (const [x, text] of Object.entries(printed)) assert.equal(g9(Math.fround(Number(x))), text);
  assert.equal(g9(-0), '-0');
  assert.equal(g9(-Infinity), '-inf');
});
