// The host application's side of the plug-in, for the page: views with named
// text attributes and an eight-value camera, the six services the tool calls,
// bound into the module's function table, and the tool events as a host sends
// them. Each service keeps the contract of the simulated host (sim/host.cpp)
// and logs every call in its words.
import { bitsFromFloat, degrees, floatFromBits, hex, quoted } from './trace.js';

export const TOOL_ID = [0xaaaa, 0];
export const HOST_VERSION = 0x50600;
// Handed to each button event and passed back by the tool to RefreshViews.
export const REFRESH_TARGET = 0x7e;
// The host's own words in its queries, which the records hand back.
const HOST_ARGS = [0x11, 0x22];
// The instance handle the host passes on; the page loads no resources.
const MODULE_HANDLE = 0x10000000;

const Kind = { plugin: 0, tool: 1, option: 2 };

// The host's tool context: 64 bytes, of which the tool uses the signed 32-bit
// drag state at byte 18.
const CONTEXT_SIZE = 64;
const DRAG_STATE_AT = 18;

// An option record: 25 packed bytes, the label's address at byte 8 and the
// value byte the host writes at byte 24.
const OPTION_LABEL_AT = 8;
const OPTION_VALUE_AT = 24;
export const OPTION_NAMES = [
  'SnapToRightAngles',
  'SnapOnlyWithCtrl',
  'LimitPitch',
  'TemporaryParallel',
];

const EXPORTS = [
  'InitializePluginProc',
  'PluginEntry',
  'GetPluginInfo',
  'ReleasePlugin',
  'GetToolInfo',
  'GetGUIInfo',
  'ToolSwitch',
  'ToolMouseButton',
  'ToolMouseMove',
];

export class View {
  // A view as a session's "view" line defines it; new View() has no
  // attributes at all, as a view the host knows nothing about.
  static defined({ heading = 0, pitch = 0, ortho = false, uv = false } = {}) {
    const v = new View();
    v.attributes.set('Pers', ortho ? '0' : '1');
    v.attributes.set('UV', uv ? '1' : '0');
    v.setAngles(heading, pitch);
    return v;
  }

  constructor() {
    this.attributes = new Map(); // values are byte strings
    this.camera = new Uint32Array(8);
  }

  get heading() {
    return floatFromBits(this.camera[4]);
  }
  get pitch() {
    return floatFromBits(this.camera[5]);
  }
  setAngles(heading, pitch) {
    this.camera[4] = bitsFromFloat(heading);
    this.camera[5] = bitsFromFloat(pitch);
  }
}

export class Host {
  // module: the Emscripten module of the page's build. onRefresh runs when
  // the tool asks for the views to be redrawn.
  constructor(module, { onRefresh = () => {} } = {}) {
    for (const name of EXPORTS) {
      if (typeof module[`_MCP_${name}`] !== 'function') throw new Error(`no export MCP_${name}`);
    }
    this.module = module;
    this.onRefresh = onRefresh;
    this.views = new Map();
    this.log = [];
    this.registrations = [];
    this.context = module._malloc(CONTEXT_SIZE);
    module.HEAPU8.fill(0, this.context, this.context + CONTEXT_SIZE);
  }

  view(id) {
    if (!this.views.has(id)) this.views.set(id, new View());
    return this.views.get(id);
  }

  // Binds the six services, enters the plug-in with the host's version and
  // asks for its identity, its button and its options, as a host does at
  // start-up. Throws when the plug-in refuses or registers too little.
  start() {
    const m = this.module;
    const services = [
      [0, 'iiiiiiii', this.registerInfo],
      [75, 'iiiii', this.getViewAttribute],
      [76, 'iiiii', this.setViewAttribute],
      [108, 'iii', this.refreshViews],
      [110, 'iiiiiiiiii', this.getViewCamera],
      [111, 'iiiiiiiiii', this.setViewCamera],
    ];
    for (const [slot, signature, service] of services) {
      m._MCP_InitializePluginProc(slot, m.addFunction(service.bind(this), signature));
    }
    if (m._MCP_PluginEntry(0, MODULE_HANDLE, HOST_VERSION) !== 1) {
      throw new Error('the plug-in refused the host');
    }
    const [a1, a2] = HOST_ARGS;
    const ok =
      (m._MCP_GetPluginInfo(a1, a2, 0) & 0xff) === 1 &&
      (m._MCP_GetToolInfo(a1, a2, ...TOOL_ID) & 0xff) === 1 &&
      (m._MCP_GetGUIInfo(a1, a2, ...TOOL_ID) & 0xff) === 1;
    if (!ok || this.optionRecords().length !== OPTION_NAMES.length) {
      throw new Error('the plug-in did not register its tool and options');
    }
  }

  // What the plug-in registered: its name, description and tool id, its
  // button's size, and its options' labels decoded from code page 932.
  registered() {
    const r = { name: '', description: '', toolId: [0, 0], button: [0, 0], labels: [] };
    for (const reg of this.registrations) {
      const d = new DataView(reg.bytes.buffer);
      if (reg.kind === Kind.plugin && reg.bytes.length >= 26) {
        r.name = this.text(d.getUint32(0, true));
        r.description = this.text(d.getUint32(4, true));
        r.toolId = [d.getUint32(10, true), d.getUint32(14, true)];
      } else if (reg.kind === Kind.tool && reg.bytes.length >= 8) {
        r.button = [d.getInt32(0, true), d.getInt32(4, true)];
      }
    }
    const shiftJis = new TextDecoder('shift_jis');
    for (const record of this.optionRecords()) {
      const label = this.memory().getUint32(record + OPTION_LABEL_AT, true);
      r.labels.push(shiftJis.decode(this.cString(label)));
    }
    return r;
  }

  // The option records stay in the module's memory: the host reads and
  // writes their value bytes there, as the tool reads them at every event.
  optionRecords() {
    return this.registrations.filter((r) => r.kind === Kind.option).map((r) => r.record);
  }
  option(i) {
    return this.module.HEAPU8[this.optionRecords()[i] + OPTION_VALUE_AT];
  }
  setOption(i, value) {
    this.module.HEAPU8[this.optionRecords()[i] + OPTION_VALUE_AT] = value;
  }

  get dragState() {
    return this.memory().getInt32(this.context + DRAG_STATE_AT, true);
  }

  // The tool events for our tool id, with the cursor and Ctrl the plug-in
  // will read. Each answers what happened, in the fields of a trace step.
  press(view, x, y, options) {
    return this.button('press', 1, view, x, y, options);
  }
  release(view, x, y, options) {
    return this.button('release', 0, view, x, y, options);
  }
  button(name, pressed, view, x, y, { buttons = 1, ctrl = false } = {}) {
    return this.event(name, view, { x, y, buttons, ctrl }, (m) =>
      m._MCP_ToolMouseButton(0, 0, ...TOOL_ID, 0, 0, pressed, buttons, view, REFRESH_TARGET,
        this.context),
    );
  }
  move(view, x, y, { buttons = 1, ctrl = false } = {}) {
    return this.event('move', view, { x, y, buttons, ctrl }, (m) =>
      m._MCP_ToolMouseMove(0, 0, ...TOOL_ID, 0, 0, buttons, view, 0, this.context),
    );
  }
  switchTool(view, { ctrl = false } = {}) {
    return this.event(
      'switch',
      view,
      { x: 0, y: 0, buttons: 0, ctrl },
      (m) => m._MCP_ToolSwitch(0, 0, ...TOOL_ID, 0, 0, this.context) & 0xff,
    );
  }

  event(kind, view, { x, y, buttons, ctrl }, call) {
    const m = this.module;
    const before = this.view(view);
    const step = { event: kind, view, x, y, buttons, ctrl };
    step.headingBefore = before.heading;
    step.pitchBefore = before.pitch;
    const logged = this.log.length;
    m._OrbitrixWebSetCtrl(ctrl ? 1 : 0);
    if (kind !== 'switch') m._OrbitrixWebSetPointer(x, y);
    step.result = call(m);
    const after = this.view(view);
    step.state = this.dragState;
    step.headingBits = after.camera[4];
    step.pitchBits = after.camera[5];
    step.heading = after.heading;
    step.pitch = after.pitch;
    step.tempOrtho = after.attributes.get('TempOrtho') ?? null;
    step.calls = this.log.slice(logged);
    return step;
  }

  // --- The services, called by the plug-in through the function table ------

  registerInfo(w0, w1, a1, a2, kind, record, size) {
    const bytes = this.module.HEAPU8.slice(record, record + (size >>> 0));
    this.registrations.push({ kind: kind >>> 0, record: record >>> 0, bytes });
    const words = [w0, w1, a1, a2].map(hex).join(',');
    this.log.push(`RegisterInfo(${words},${kind >>> 0},record,${size >>> 0})`);
    return 1;
  }

  // With no buffer: the size the value needs, its NUL included, or 0 when
  // the view has no such attribute. With a buffer that large: the value and
  // its NUL written, and that size again; 0 for a smaller buffer.
  getViewAttribute(view, key, buffer, size) {
    const name = key ? this.text(key) : null;
    view >>>= 0;
    this.log.push(
      `GetViewAttribute(${view},${quoted(name)},${buffer ? 'buffer' : 'null'},${size})`,
    );
    const value = name === null ? undefined : this.view(view).attributes.get(name);
    if (value === undefined) return 0;
    const needed = value.length + 1;
    if (!buffer) return needed;
    if (size < needed) return 0;
    const heap = this.module.HEAPU8;
    for (let i = 0; i < value.length; ++i) heap[buffer + i] = value.charCodeAt(i);
    heap[buffer + value.length] = 0;
    return needed;
  }

  setViewAttribute(view, key, value, flag) {
    const name = key ? this.text(key) : null;
    const text = value ? this.text(value) : null;
    view >>>= 0;
    this.log.push(`SetViewAttribute(${view},${quoted(name)},${quoted(text)},${flag})`);
    if (name !== null && text !== null) this.view(view).attributes.set(name, text);
    return 1;
  }

  refreshViews(target, which) {
    this.log.push(`RefreshViews(${hex(target)},${which})`);
    this.onRefresh();
    return 1;
  }

  getViewCamera(view, ...pointers) {
    view >>>= 0;
    this.log.push(`GetViewCamera(${view})`);
    const camera = this.view(view).camera;
    const memory = this.memory();
    pointers.forEach((p, i) => p && memory.setUint32(p >>> 0, camera[i], true));
    return 1;
  }

  // Values 5 and 6, the heading and the pitch, are logged in degrees; the
  // others are opaque and logged as they are.
  setViewCamera(view, ...values) {
    view >>>= 0;
    const texts = values.map((v, i) => (i === 4 || i === 5 ? degrees(v >>> 0) : hex(v)));
    this.log.push(`SetViewCamera(${view},${texts.join(',')})`);
    this.view(view).camera.set(values.map((v) => v >>> 0));
    return 1;
  }

  // --- The module's memory ----------------------------------------------------

  memory() {
    return new DataView(this.module.HEAPU8.buffer);
  }
  cString(address) {
    const heap = this.module.HEAPU8;
    let end = address;
    while (end < heap.length && heap[end] !== 0) ++end;
    return heap.subarray(address, end);
  }
  // A NUL-terminated byte string, one character per byte.
  text(address) {
    return String.fromCharCode(...this.cString(address >>> 0));
  }
}
