// The words orbitrix-sim uses: numbers as C's "%.9g" prints them, values as
// the simulated host's call log writes them, and the columns of its trace.

// A number as printf's "%.9g" prints it: nine significant digits, rounded
// half to even on the exact binary value, without trailing zeros, and in
// exponent form when the exponent is below -4 or above 8.
export function g9(x) {
  if (Number.isNaN(x)) return 'nan';
  if (!Number.isFinite(x)) return x < 0 ? '-inf' : 'inf';
  if (x === 0) return Object.is(x, -0) ? '-0' : '0';
  const sign = x < 0 ? '-' : '';
  // Every single-precision value but the tiniest is exact in 101 digits.
  const [exact, power] = Math.abs(x).toExponential(100).split('e');
  const digits = exact.replace('.', '');
  let kept = BigInt(digits.slice(0, 9));
  const rest = digits.slice(9).replace(/0+$/, '');
  if (rest > '5' || (rest === '5' && kept % 2n === 1n)) kept += 1n;
  let e = Number(power);
  let mantissa = kept.toString();
  if (mantissa.length > 9) ((mantissa = mantissa.slice(0, 9)), (e += 1));
  if (e < -4 || e >= 9) {
    const m = trimmed(`${mantissa[0]}.${mantissa.slice(1)}`);
    return `${sign}${m}e${e < 0 ? '-' : '+'}${String(Math.abs(e)).padStart(2, '0')}`;
  }
  const fixed =
    e >= 0
      ? `${mantissa.slice(0, e + 1)}.${mantissa.slice(e + 1)}`
      : `0.${'0'.repeat(-e - 1)}${mantissa}`;
  return sign + trimmed(fixed);
}

function trimmed(s) {
  return s.includes('.') ? s.replace(/0+$/, '').replace(/\.$/, '') : s;
}

const f32 = new Float32Array(1);
const u32 = new Uint32Array(f32.buffer);

export function floatFromBits(bits) {
  u32[0] = bits;
  return f32[0];
}

export function bitsFromFloat(x) {
  f32[0] = x;
  return u32[0];
}

// A single-precision angle given by its bits, as the trace prints it; the
// bits keep the sign of a NaN, which a JavaScript number loses.
export function degrees(bits) {
  const x = floatFromBits(bits);
  return Number.isNaN(x) ? (bits >>> 31 ? '-nan' : 'nan') : g9(x);
}

export const hex = (v) => `0x${(v >>> 0).toString(16).toUpperCase()}`;
export const quoted = (s) => (s === null ? 'null' : `"${s}"`);

export function traceHeading(first = 'line') {
  return [
    first.padStart(4),
    'view'.padStart(4),
    ' ' + 'event'.padEnd(24),
    'result'.padStart(6),
    'state'.padStart(5),
    'heading'.padStart(9),
    'pitch'.padStart(9),
    ' ' + 'TempOrtho'.padEnd(9),
    'host calls',
  ].join(' ');
}

function eventText(s) {
  let e = s.event;
  if (s.event !== 'switch') e += ` ${s.x},${s.y}`;
  if (s.event !== 'switch' && s.buttons !== 1) e += ` buttons ${s.buttons}`;
  if (s.ctrl) e += ' ctrl';
  return e;
}

function tempOrthoText(s) {
  if (s.tempOrtho === null) return '-';
  return s.tempOrtho === '' ? '""' : s.tempOrtho;
}

// One event's columns before its host calls: line, view, event, result,
// drag state, heading, pitch and TempOrtho after it.
export function stepColumns(s) {
  return [
    String(s.line).padStart(4),
    String(s.view).padStart(4),
    ' ' + eventText(s).padEnd(24),
    String(s.result).padStart(6),
    String(s.state).padStart(5),
    degrees(s.headingBits).padStart(9),
    degrees(s.pitchBits).padStart(9),
    ' ' + tempOrthoText(s).padEnd(9),
  ].join(' ');
}

// The line orbitrix-sim prints for one event, without its line end.
export function stepText(s) {
  return s.calls.length ? `${stepColumns(s)} ${s.calls.join('; ')}` : stepColumns(s);
}
