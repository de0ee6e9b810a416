// The heading-pitch plane, drawn live as orbitrix-sim's picture draws a
// session (sim/svg.cpp): light stripes where one angle is near a multiple of
// 90, dark squares where both are and a release snaps, solid edges for angles
// that still snap and dashed ones for those that do not; the current drag's
// path from a dot; a red ring for a release that stayed, a black ring and an
// arrow to a green (perspective) or purple (parallel) square for one that
// snapped. One degree is the same length on both axes.

const PATH = '#d95f02';
const STRIPE = '#e6eff7';
const ZONE = '#b3d1ea';
const EDGE = '#2166ac';
const MISS = '#c51b1b';
const PERSPECTIVE = '#1b7837';
const PARALLEL = '#7b3294';

// The drawing's own units; the element scales it to its box.
const WIDTH = 400;
const HEIGHT = 260;
const MARGIN = { left: 38, right: 14, top: 8, bottom: 32 };

// The angles from which a release snaps onto the multiple m of 90, as
// whole-degree truncation makes them: [m - 19, m + 20) above zero, the mirror
// image below it, (-20, 20) around it.
export function snapBand(m) {
  if (m > 0) return { low: m - 19, high: m + 20, lowIn: true, highIn: false };
  if (m < 0) return { low: m - 20, high: m + 19, lowIn: false, highIn: true };
  return { low: -20, high: 20, lowIn: false, highIn: false };
}

const finite = (a) => Number.isFinite(a.h) && Number.isFinite(a.p);

// Degrees to drawing units: the points, with room for a whole band beside
// each, out to the next grid line, widened to fill the drawing.
function fit(points) {
  let [hl, hh, pl, ph] = [0, 90, 0, 0];
  for (const a of points.filter(finite)) {
    [hl, hh] = [Math.min(hl, a.h), Math.max(hh, a.h)];
    [pl, ph] = [Math.min(pl, a.p), Math.max(ph, a.p)];
  }
  const f = {
    hLow: Math.floor((hl - 40) / 30) * 30,
    hHigh: Math.ceil((hh + 40) / 30) * 30,
    pLow: Math.floor((pl - 40) / 30) * 30,
    pHigh: Math.ceil((ph + 40) / 30) * 30,
  };
  const w = WIDTH - MARGIN.left - MARGIN.right;
  const h = HEIGHT - MARGIN.top - MARGIN.bottom;
  f.scale = Math.min(w / (f.hHigh - f.hLow), h / (f.pHigh - f.pLow));
  const hExtra = (w / f.scale - (f.hHigh - f.hLow)) / 2;
  const pExtra = (h / f.scale - (f.pHigh - f.pLow)) / 2;
  [f.hLow, f.hHigh, f.pLow, f.pHigh] = [
    f.hLow - hExtra,
    f.hHigh + hExtra,
    f.pLow - pExtra,
    f.pHigh + pExtra,
  ];
  f.x = (deg) => MARGIN.left + (deg - f.hLow) * f.scale;
  f.y = (deg) => MARGIN.top + (f.pHigh - deg) * f.scale;
  return f;
}

// An element's markup; numbers are given to a tenth of a unit.
function el(name, attributes, content = '') {
  const text = (v) => (typeof v === 'number' ? v.toFixed(1) : v);
  const list = Object.entries(attributes).map(([k, v]) => ` ${k}="${text(v)}"`);
  return `<${name}${list.join('')}>${content}</${name}>`;
}

function line(x1, y1, x2, y2, stroke, width, dashed = false) {
  const dash = dashed ? { 'stroke-dasharray': '5 4' } : {};
  return el('line', { x1, y1, x2, y2, stroke, 'stroke-width': width, ...dash });
}
const rect = (x, y, width, height, fill) => el('rect', { x, y, width, height, fill });
const ring = (cx, cy, stroke, fill = 'white') =>
  el('circle', { cx, cy, r: 6, fill, stroke, 'stroke-width': 2.5 });
const label = (x, y, text, anchor) =>
  el('text', { x, y, 'font-size': 11, fill: '#333', 'text-anchor': anchor }, text);

// The multiples of 90 whose bands reach into [low, high]; none when there
// would be too many to draw.
function multiples(low, high) {
  if (high - low > 9000) return [];
  const m = [];
  for (let k = Math.ceil((low - 20) / 90); k * 90 < high + 20; ++k) m.push(k * 90);
  return m;
}

function zones(f) {
  const [x0, x1, y0, y1] = [f.x(f.hLow), f.x(f.hHigh), f.y(f.pLow), f.y(f.pHigh)];
  const hs = multiples(f.hLow, f.hHigh);
  const ps = multiples(f.pLow, f.pHigh);
  let s = '';
  for (const m of hs) {
    const b = snapBand(m);
    s += rect(f.x(b.low), y1, (b.high - b.low) * f.scale, y0 - y1, STRIPE);
  }
  for (const m of ps) {
    const b = snapBand(m);
    s += rect(x0, f.y(b.high), x1 - x0, (b.high - b.low) * f.scale, STRIPE);
  }
  for (const mh of hs) {
    for (const mp of ps) {
      const [h, p] = [snapBand(mh), snapBand(mp)];
      const [l, r, b, t] = [f.x(h.low), f.x(h.high), f.y(p.low), f.y(p.high)];
      s += rect(l, t, r - l, b - t, ZONE);
      s += line(l, b, l, t, EDGE, 1.5, !h.lowIn) + line(r, b, r, t, EDGE, 1.5, !h.highIn);
      s += line(l, b, r, b, EDGE, 1.5, !p.lowIn) + line(l, t, r, t, EDGE, 1.5, !p.highIn);
    }
  }
  return s;
}

function grid(f, words) {
  const step = Math.max(f.hHigh - f.hLow, f.pHigh - f.pLow) > 400 ? 90 : 30;
  const [x0, x1, y0, y1] = [f.x(f.hLow), f.x(f.hHigh), f.y(f.pLow), f.y(f.pHigh)];
  let s = '';
  for (let h = Math.ceil(f.hLow / step) * step; h <= f.hHigh; h += step) {
    s += line(f.x(h), y1, f.x(h), y0, h % 90 === 0 ? '#8a8a8a' : '#d0d0d0', 1);
    s += label(f.x(h), y0 + 13, h, 'middle');
  }
  for (let p = Math.ceil(f.pLow / step) * step; p <= f.pHigh; p += step) {
    s += line(x0, f.y(p), x1, f.y(p), p % 90 === 0 ? '#8a8a8a' : '#d0d0d0', 1);
    s += label(x0 - 4, f.y(p) + 4, p, 'end');
  }
  s += el('rect', { x: x0, y: y1, width: x1 - x0, height: y0 - y1, fill: 'none', stroke: '#333' });
  s += label((x0 + x1) / 2, HEIGHT - 4, words.heading, 'middle');
  const turned = `translate(10 ${((y0 + y1) / 2).toFixed(1)}) rotate(-90)`;
  s += el('text', { transform: turned, 'font-size': 11, 'text-anchor': 'middle' }, words.pitch);
  return s;
}

function dragMarks(f, drag) {
  if (!drag || !drag.path.every(finite)) return '';
  const [start] = drag.path;
  if (drag.ignored) {
    const [x, y] = [f.x(start.h), f.y(start.p)];
    return (
      line(x - 6, y - 6, x + 6, y + 6, '#555', 2.5) + line(x - 6, y + 6, x + 6, y - 6, '#555', 2.5)
    );
  }
  const points = drag.path.map((a) => `${f.x(a.h).toFixed(1)},${f.y(a.p).toFixed(1)}`).join(' ');
  const round = { fill: 'none', 'stroke-linejoin': 'round' };
  let s = el('polyline', { points, stroke: PATH, 'stroke-width': 2.5, ...round });
  s += el('circle', { cx: f.x(start.h), cy: f.y(start.p), r: 3.5, fill: PATH });
  const r = drag.release;
  if (!r || !finite(r.from) || !finite(r.to)) return s;
  const [rx, ry] = [f.x(r.from.h), f.y(r.from.p)];
  if (!r.snapped) return s + ring(rx, ry, MISS);
  const [lx, ly] = [f.x(r.to.h), f.y(r.to.p)];
  s += rect(lx - 5.5, ly - 5.5, 11, 11, r.parallel ? PARALLEL : PERSPECTIVE);
  const length = Math.hypot(lx - rx, ly - ry);
  if (length > 16) {
    // Stopping short of the square.
    const [x2, y2] = [lx - ((lx - rx) * 9) / length, ly - ((ly - ry) * 9) / length];
    const arrow = { stroke: '#222', 'stroke-width': 1.5, 'marker-end': 'url(#plane-arrow)' };
    s += el('line', { x1: rx, y1: ry, x2, y2, ...arrow });
  }
  return s + ring(rx, ry, '#222', 'none');
}

// The plane's SVG markup for the camera now and the last drag: { path: the
// camera at the press and after each move, ignored: the tool did not take
// hold, release: { from, to, snapped, parallel } once let go }. words: { heading,
// pitch, now }, the axes' names and the camera dot's, in the page's language.
export function planeSvg(camera, drag, words) {
  const points = [camera];
  if (drag)
    points.push(...drag.path, ...(drag.release ? [drag.release.from, drag.release.to] : []));
  const f = fit(points);
  const [width, height] = [WIDTH - MARGIN.left - MARGIN.right, HEIGHT - MARGIN.top - MARGIN.bottom];
  const clip = el('clipPath', { id: 'plane-clip' }, rect(MARGIN.left, MARGIN.top, width, height));
  const head = el('path', { d: 'M0,0 L10,5 L0,10 z', fill: '#222' });
  const size = { markerWidth: 7, markerHeight: 7, orient: 'auto' };
  const arrow = el(
    'marker',
    { id: 'plane-arrow', viewBox: '0 0 10 10', refX: 5, refY: 5, ...size },
    head,
  );
  let s = el('defs', {}, clip + arrow) + rect(0, 0, WIDTH, HEIGHT, 'white');
  s += el('g', { 'clip-path': 'url(#plane-clip)' }, zones(f)) + grid(f, words);
  let marks = dragMarks(f, drag);
  // Once let go, the ring or the square is where the camera is.
  if (finite(camera) && !drag?.release) {
    const dot = { r: 4, fill: '#111', stroke: 'white', 'stroke-width': 1.5 };
    const title = el('title', {}, words.now);
    marks += el('circle', { cx: f.x(camera.h), cy: f.y(camera.p), ...dot }, title);
  }
  s += el('g', { 'clip-path': 'url(#plane-clip)' }, marks);
  const frame = { viewBox: `0 0 ${WIDTH} ${HEIGHT}`, 'font-family': 'system-ui, sans-serif' };
  return el('svg', { xmlns: 'http://www.w3.org/2000/svg', ...frame }, s);
}
