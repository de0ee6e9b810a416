// The page: the plug-in's WebAssembly module behind the JavaScript host, one
// host view drawn in 3D, the options, Ctrl, the view's attributes, the
// heading-pitch plane and the trace, in Japanese or English.
//
// For tests and the curious, window.orbitrix offers:
//   ready          a promise, settled once the first frame is drawn
//   firstFrame     performance.now() when it was
//   camera()       { heading, pitch }: view 1's camera values 5 and 6
//   attribute(k)   view 1's attribute k, or null when it has none
//   projection()   'perspective' or 'orthographic': the camera of the last frame
//                  (null without WebGL)
//   option(name)   an option's value byte in the module's memory
//   dragState()    the drag state in the host's tool context
import createOrbitrix from '../../build/web/orbitrix.js';
import { Host, OPTION_NAMES, View } from './host.js';
import { planeSvg } from './plane.js';
import { Viewport } from './scene.js';
import { chooseLanguage, textsOf } from './texts.js';
import { g9, hex, stepColumns, traceHeading } from './trace.js';

const VIEW = 1;
const TRACE_LENGTH = 60;
const CHOSEN = 'orbitrix.language';

const $ = (id) => document.getElementById(id);

// --- The language: the visitor's last choice, else the browser's ------------

// Storage may be refused (a privacy setting); the page then forgets.
function chosen() {
  try {
    return localStorage.getItem(CHOSEN);
  } catch {
    return null;
  }
}

let language = chooseLanguage(chosen(), navigator.languages ?? [navigator.language]);
let text = textsOf(language);
let redraw = () => {}; // what the page writes itself, once it runs

// Each element marked data-text="key" shows that text, with the blanks in
// its data-blanks (a JSON list); data-label="key" is its aria-label.
function showLanguage() {
  document.documentElement.lang = language;
  for (const e of document.querySelectorAll('[data-text]')) {
    e.textContent = text(e.dataset.text, ...JSON.parse(e.dataset.blanks ?? '[]'));
  }
  for (const e of document.querySelectorAll('[data-label]')) {
    e.setAttribute('aria-label', text(e.dataset.label));
  }
  for (const button of $('languages').children) {
    button.setAttribute('aria-pressed', button.lang === language);
  }
  redraw();
}

// An element's text from the table, kept in the language as it changes.
function setText(e, key, ...blanks) {
  e.dataset.text = key;
  e.dataset.blanks = JSON.stringify(blanks);
  e.textContent = text(key, ...blanks);
}

for (const button of $('languages').children) {
  button.addEventListener('click', () => {
    language = button.lang;
    text = textsOf(language);
    try {
      localStorage.setItem(CHOSEN, language);
    } catch {}
    showLanguage();
  });
}
showLanguage();

function notify(key, ...blanks) {
  $('notice').hidden = false;
  setText($('notice'), key, ...blanks);
}

// The DOM's buttons word has the left button in bit 0, as the host's has;
// e.button numbers the button that changed: 0 left, 1 middle, 2 right.
const BUTTON_BITS = [1, 4, 2, 8, 16];
const changed = (e) => BUTTON_BITS[e.button] ?? 0;

// The first option is on for any value but 0, the others only for 1: a
// switch shows what the tool makes of the byte.
const optionOn = (i, value) => (i === 0 ? value !== 0 : value === 1);

let drawn;
let failed;
window.orbitrix = {
  ready: new Promise((resolve, reject) => ([drawn, failed] = [resolve, reject])),
};

async function start() {
  let redraws = 0;
  // The tool's RefreshViews: the view is drawn afresh at the next frame.
  const onRefresh = () => {
    ++redraws;
    draw();
  };
  // The module loads and compiles while the view gets ready.
  const loading = createOrbitrix();
  let viewport = null;
  try {
    viewport = new Viewport($('view'));
  } catch (error) {
    notify('noWebGL', error.message);
  }

  const host = new Host(await loading, { onRefresh });
  host.start();
  host.views.set(VIEW, View.defined());
  const view = () => host.view(VIEW);
  const registered = host.registered();
  const [w0, w1] = registered.toolId.map(hex);
  setText($('identity'), 'identity', registered.description, `${w0}:${w1}`);

  let count = 0; // events sent, numbering the trace
  let drag = null; // the last drag, for the plane
  const ctrl = { key: false, pointer: false, latch: false };
  const ctrlHeld = () => ctrl.key || ctrl.pointer || ctrl.latch;

  // --- Drawing, at most once a frame ------------------------------------------

  let pending = false;
  const draw = () => {
    if (pending) return;
    pending = true;
    requestAnimationFrame(frame);
  };

  function frame() {
    pending = false;
    const v = view();
    const tempOrtho = v.attributes.get('TempOrtho') ?? null;
    // A view in parallel projection for now, or one not in perspective at all.
    const parallel = tempOrtho === '1' || v.attributes.get('Pers') === '0';
    viewport?.render(v.heading, v.pitch, parallel);
    const uv = v.attributes.get('UV') === '1';
    $('overlay').textContent = text('overlay', g9(v.heading), g9(v.pitch), parallel, uv);
    $('temp-ortho').textContent = tempOrtho === null ? text('none') : `"${tempOrtho}"`;
    $('drag-state').textContent = host.dragState;
    $('redraws').textContent = redraws;
    const words = {
      heading: text('headingAxis'),
      pitch: text('pitchAxis'),
      now: text('cameraNow'),
    };
    $('plane').innerHTML = planeSvg({ h: v.heading, p: v.pitch }, drag, words);
    OPTION_NAMES.forEach((name, i) => {
      $(`option-${name}`).checked = optionOn(i, host.option(i));
    });
    $('attr-UV').checked = v.attributes.get('UV') === '1';
    $('attr-Pers').checked = v.attributes.get('Pers') !== '0';
    for (const [id, on] of [
      ['ctrl-key', ctrl.key],
      ['ctrl-pointer', ctrl.pointer],
    ]) {
      $(id).classList.toggle('on', on);
    }
    $('ctrl-latch').setAttribute('aria-pressed', ctrl.latch);
    if (window.orbitrix.firstFrame === undefined) {
      window.orbitrix.firstFrame = performance.now();
      drawn();
    }
  }

  // --- The trace and the plane's drag, as orbitrix-sim makes them ----------

  function record(step) {
    step.line = ++count;
    const trace = $('trace');
    const row = document.createElement('div');
    row.className = 'step';
    const calls = step.calls.length ? ` ${step.calls.join('; ')}` : '';
    row.innerHTML = '<span class="cols"></span><span class="calls"></span>';
    row.firstChild.textContent = stepColumns(step);
    row.lastChild.textContent = calls;
    trace.append(row);
    while (trace.children.length > TRACE_LENGTH + 1) trace.children[1].remove();
    trace.scrollTop = trace.scrollHeight;

    const at = { h: step.heading, p: step.pitch };
    if (drag?.open && step.event === 'press') {
      drag.path.push(at); // a second press keeps the drag's anchor
    } else if (step.event === 'press' && step.buttons & 1) {
      drag = { open: true, ignored: step.state === 0, path: [at], release: null };
    } else if (drag?.open && step.event === 'move') {
      drag.path.push(at);
    } else if (drag?.open && step.event === 'release') {
      drag.open = false;
      drag.release = {
        from: { h: step.headingBefore, p: step.pitchBefore },
        to: at,
        snapped: step.calls.some((c) => c.startsWith('SetViewCamera')),
        parallel: step.tempOrtho === '1',
      };
    }
  }

  // --- Pointer events: the host's mouse ----------------------------------------

  const canvas = $('view');
  let pointer = null; // the one pointer the host follows, while a button is down
  let last = [0, 0]; // where it was at the last event sent

  // CSS pixels, so that a pixel is a degree whatever the device.
  function send(kind, e, buttons, [x, y] = [Math.round(e.clientX), Math.round(e.clientY)]) {
    ctrl.pointer = e.ctrlKey;
    last = [x, y];
    record(host[kind](VIEW, x, y, { buttons, ctrl: ctrlHeld() }));
    draw();
  }

  canvas.addEventListener('pointerdown', (e) => {
    if (pointer !== null) return; // a second finger: the host has one cursor
    pointer = e.pointerId;
    e.preventDefault();
    send('press', e, e.buttons | changed(e));
    // The drag follows the pointer out of the view, as a host's captured
    // mouse does; without capture it still works inside the view.
    try {
      canvas.setPointerCapture(e.pointerId);
    } catch {}
  });
  canvas.addEventListener('pointermove', (e) => {
    if (e.pointerId !== pointer) return;
    // Another button pressed or let go while one is held comes as a move.
    if (e.button >= 0)
      send(e.buttons & changed(e) ? 'press' : 'release', e, e.buttons | changed(e));
    else send('move', e, e.buttons);
  });
  canvas.addEventListener('pointerup', (e) => {
    if (e.pointerId !== pointer) return;
    pointer = null;
    send('release', e, e.buttons | changed(e));
  });
  // The system took the pointer away (a gesture, another window): for the
  // host that is the button coming up where the pointer was last.
  const cancel = (e) => {
    if (e.pointerId !== pointer) return;
    pointer = null;
    send('release', e, 1, last);
  };
  canvas.addEventListener('pointercancel', cancel);
  canvas.addEventListener('lostpointercapture', cancel);
  canvas.addEventListener('contextmenu', (e) => e.preventDefault());

  // --- The keyboard's Ctrl ------------------------------------------------------

  for (const type of ['keydown', 'keyup']) {
    window.addEventListener(type, (e) => {
      if (e.key !== 'Control') return;
      ctrl.key = type === 'keydown';
      draw();
    });
  }
  window.addEventListener('blur', () => {
    ctrl.key = false;
    draw();
  });
  $('ctrl-latch').addEventListener('click', () => {
    ctrl.latch = !ctrl.latch;
    draw();
  });

  // --- Switches: the option records' value bytes and the view's attributes --

  OPTION_NAMES.forEach((name, i) => {
    const item = document.createElement('li');
    item.innerHTML = `<label><input type="checkbox" role="switch" id="option-${name}" />
      <span class="ja" lang="ja"></span><span class="gloss"></span></label>`;
    item.querySelector('.ja').textContent = registered.labels[i];
    setText(item.querySelector('.gloss'), `gloss${i}`);
    item.title = name;
    item.querySelector('input').addEventListener('change', (e) => {
      host.setOption(i, e.target.checked ? 1 : 0);
      draw();
    });
    $('options').append(item);
  });
  for (const key of ['UV', 'Pers']) {
    $(`attr-${key}`).addEventListener('change', (e) => {
      view().attributes.set(key, e.target.checked ? '1' : '0');
      draw();
    });
  }
  $('reset').addEventListener('click', () => {
    view().setAngles(0, 0);
    view().attributes.delete('TempOrtho');
    drag = null;
    draw();
  });

  const heading = document.createElement('div');
  heading.className = 'step heading';
  heading.textContent = traceHeading('#');
  $('trace').append(heading);
  new ResizeObserver(draw).observe(canvas);

  redraw = draw;
  Object.assign(window.orbitrix, {
    camera: () => ({ heading: view().heading, pitch: view().pitch }),
    attribute: (key) => view().attributes.get(key) ?? null,
    projection: () =>
      viewport ? (viewport.camera.isOrthographicCamera ? 'orthographic' : 'perspective') : null,
    option: (name) => host.option(OPTION_NAMES.indexOf(name)),
    dragState: () => host.dragState,
  });
  draw();
}

start().catch((error) => {
  notify('notStarted', error.message);
  failed(error);
});
