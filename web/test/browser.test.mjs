// The page in headless Chromium, driven as a person would: drags with the
// mouse, Ctrl on the keyboard, the options' switches. Leaves the picture
// README.md shows in docs/web.png.
import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { fileURLToPath } from 'node:url';

import { chromium } from 'playwright-core';

import { serve } from '../serve.mjs';

const root = fileURLToPath(new URL('../../', import.meta.url));
const screenshot = process.env.ORBITRIX_SCREENSHOT ?? `${root}docs/web.png`;

let server;
let browser;
let page;

before(async () => {
  server = await serve(`${root}build/web/site`, 0);
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: [
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  page = await browser.newPage({ viewport: { width: 1280, height: 960 } });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.evaluate(() => window.orbitrix.ready);
  assert.deepEqual(errors, []);
});

after(async () => {
  await browser?.close();
  server?.close();
});

const state = () =>
  page.evaluate(() => ({
    ...window.orbitrix.camera(),
    tempOrtho: window.orbitrix.attribute('TempOrtho'),
    projection: window.orbitrix.projection(),
    dragState: window.orbitrix.dragState(),
  }));

// Until the page has drawn what the last event did.
const drawn = () =>
  page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));

// Presses in the view, moves dx, dy pixels in a few steps and lets go.
async function drag(dx, dy, { beforeRelease = async () => {} } = {}) {
  const box = await page.locator('#view').boundingBox();
  const x = Math.round(box.x + box.width / 2 - 60);
  const y = Math.round(box.y + box.height / 2);
  await page.mouse.move(x, y);
  await page.mouse.down();
  await drawn();
  const pressed = await state();
  await page.mouse.move(x + dx, y + dy, { steps: 7 });
  await beforeRelease();
  await page.mouse.up();
  await drawn();
  return pressed;
}

async function resetCamera() {
  await page.click('#reset');
  await drawn();
  assert.deepEqual(await state(), {
    heading: 0,
    pitch: 0,
    tempOrtho: null,
    projection: 'perspective',
    dragState: 0,
  });
}

test('starts at heading 0, pitch 0 in perspective, the options on as registered', async (t) => {
  const { firstFrame, resources } = await page.evaluate(() => ({
    firstFrame: window.orbitrix.firstFrame,
    resources: performance
      .getEntriesByType('resource')
      .concat(performance.getEntriesByType('navigation'))
      .reduce((sum, r) => sum + r.encodedBodySize, 0),
  }));
  t.diagnostic(
    `first frame ${firstFrame.toFixed(0)} ms after navigation; ${resources} bytes fetched`,
  );
  assert.deepEqual(await state(), {
    heading: 0,
    pitch: 0,
    tempOrtho: null,
    projection: 'perspective',
    dragState: 0,
  });
  for (const name of ['SnapToRightAngles', 'SnapOnlyWithCtrl', 'LimitPitch', 'TemporaryParallel']) {
    assert.equal(await page.isChecked(`#option-${name}`), true, name);
    assert.equal(await page.evaluate((n) => window.orbitrix.option(n), name), 1, name);
  }
  assert.equal(await page.textContent('#options li:first-child .ja'), '特定角度にくっつく');
});

test('a drag to 98, -8 with Ctrl held snaps onto 90, 0 in parallel projection', async () => {
  await page.keyboard.down('Control');
  await drag(98, -8, {
    beforeRelease: async () => {
      await drawn();
      assert.deepEqual(await state(), {
        heading: 98,
        pitch: -8,
        tempOrtho: '0',
        projection: 'perspective',
        dragState: 2,
      });
    },
  });
  assert.deepEqual(await state(), {
    heading: 90,
    pitch: 0,
    tempOrtho: '1',
    projection: 'orthographic',
    dragState: 0,
  });
  // The release's trace line, in orbitrix-sim's words.
  const last = await page.textContent('#trace .step:last-child');
  assert.match(last, /release \d+,\d+ ctrl +0 +0 +90 +0 +1 /);
  assert.match(
    last,
    /SetViewCamera\(1,0x0,0x0,0x0,0x0,90,0,0x0,0x0\); SetViewAttribute\(1,"TempOrtho","1",1\); RefreshViews\(0x7E,-1\)$/,
  );
  await page.screenshot({ path: screenshot, fullPage: true });
  await page.keyboard.up('Control');
});

test('the next press goes back to perspective', async () => {
  const pressed = await drag(0, 0);
  assert.equal(pressed.tempOrtho, '0');
  assert.equal(pressed.projection, 'perspective');
});

test('without Ctrl the same drag stays where it was let go', async () => {
  await resetCamera();
  await drag(98, -8);
  assert.deepEqual(await state(), {
    heading: 98,
    pitch: -8,
    tempOrtho: '0',
    projection: 'perspective',
    dragState: 0,
  });
});

test('with SnapToRightAngles switched off from the keyboard, it stays even with Ctrl', async () => {
  await resetCamera();
  await page.focus('#option-SnapToRightAngles');
  await page.keyboard.press('Space');
  assert.equal(await page.isChecked('#option-SnapToRightAngles'), false);
  assert.equal(await page.evaluate(() => window.orbitrix.option('SnapToRightAngles')), 0);
  await page.keyboard.down('Control');
  await drag(98, -8);
  await page.keyboard.up('Control');
  assert.deepEqual(await state(), {
    heading: 98,
    pitch: -8,
    tempOrtho: '0',
    projection: 'perspective',
    dragState: 0,
  });
});

test('a drag goes on outside the view: the pointer is captured', async () => {
  await resetCamera();
  const box = await page.locator('#view').boundingBox();
  const right = Math.round(box.x + box.width + 40) - Math.round(box.x + box.width / 2 - 60);
  await drag(right, 30);
  assert.deepEqual([(await state()).heading, (await state()).pitch], [right, 30]);
});

test('a finger on a screen of pixel ratio 2 turns it one degree per CSS pixel', async () => {
  const touch = await browser.newPage({
    viewport: { width: 800, height: 700 },
    deviceScaleFactor: 2,
    hasTouch: true,
  });
  try {
    await touch.goto(page.url());
    await touch.evaluate(() => window.orbitrix.ready);
    const box = await touch.locator('#view').boundingBox();
    const [x, y] = [Math.round(box.x + 100), Math.round(box.y + 100)];
    const cdp = await touch.context().newCDPSession(touch);
    const finger = (type, points) =>
      cdp.send('Input.dispatchTouchEvent', { type, touchPoints: points });
    await finger('touchStart', [{ x, y }]);
    for (let i = 1; i <= 5; ++i) await finger('touchMove', [{ x: x + 6 * i, y: y + 4 * i }]);
    await finger('touchEnd', []);
    const camera = await touch.evaluate(() => window.orbitrix.camera());
    assert.deepEqual(camera, { heading: 30, pitch: 20 });
  } finally {
    await touch.close();
  }
});
