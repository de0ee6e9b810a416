// Every text of the page a person reads, in Japanese and in English, side by
// side. Not here: the option labels, which are the plug-in's own (decoded from
// code page 932, the same in both languages), and the trace's column names and
// host calls, which are orbitrix-sim's words. A text with blanks to fill is a
// function.

export const LANGUAGES = ['ja', 'en'];

export const TEXTS = {
  title: { ja: 'Orbitrix をブラウザーで試す', en: 'Orbitrix in a browser' },
  help: {
    ja: 'ビューを左ボタン・ペン・指でドラッグすると、押した位置から 1 ピクセルにつき 1 度回ります。両方の角度が 90 度の倍数に近いところで Ctrl を押しながら離すと、その角度にそろいます（2 つ目のオプションを切ると Ctrl なしでも）。',
    en: 'Drag in the view with the left button, a pen or a finger: one degree per pixel from the press. Let go with Ctrl held and both angles near multiples of 90, and they snap (without Ctrl too, once the second option is off).',
  },
  languages: { ja: '表示言語', en: 'Language' },
  identity: {
    ja: (description, tool) => `${description} · ツール ID ${tool}`,
    en: (description, tool) => `${description} · tool ${tool}`,
  },
  viewport: { ja: '3D ビュー 1', en: '3D view 1' },
  overlay: {
    ja: (heading, pitch, parallel, uv) =>
      `ヘディング ${heading}  ピッチ ${pitch}  ${parallel ? '平行投影' : '透視投影'}${uv ? ' · UV ビュー' : ''}`,
    en: (heading, pitch, parallel, uv) =>
      `heading ${heading}  pitch ${pitch}  ${parallel ? 'parallel' : 'perspective'}${uv ? ' · UV view' : ''}`,
  },
  noWebGL: {
    ja: (why) => `このブラウザーではビューを描画できません（${why}）。ツール自体は動いています。`,
    en: (why) => `This browser cannot draw the view (${why}); the tool still runs.`,
  },
  notStarted: {
    ja: (why) => `Orbitrix を起動できませんでした: ${why}`,
    en: (why) => `Orbitrix could not start: ${why}`,
  },

  options: { ja: 'オプション', en: 'Options' },
  // The glosses under the four labels, in the order of registration.
  gloss0: {
    ja: '離したとき、90 度の倍数の角度にそろえる',
    en: 'snap onto right angles on release',
  },
  gloss1: {
    ja: '上がオンのとき、Ctrl を押している間だけそろえる',
    en: 'with the above on: snap only while Ctrl is held',
  },
  gloss2: { ja: 'ピッチを ±90° の範囲に収める', en: 'keep the pitch within ±90°' },
  gloss3: {
    ja: 'そろえたあと、次のドラッグまで平行投影で表示する',
    en: 'after a snap, parallel projection until the next drag',
  },

  ctrlKey: { ja: 'Ctrl キー', en: 'Ctrl key' },
  ctrlPointer: { ja: 'ポインターの ctrlKey', en: "pointer's ctrlKey" },
  ctrlLatch: { ja: 'Ctrl を固定', en: 'hold Ctrl' },

  view: { ja: 'ビュー 1', en: 'View 1' },
  uvGloss: {
    ja: 'テクスチャ空間のビュー。ツールは何もしない',
    en: 'texture space: the tool leaves it alone',
  },
  persGloss: {
    ja: '透視投影。このときだけ回転し、角度をそろえる',
    en: 'perspective: only then does it turn or snap',
  },
  none: { ja: 'なし', en: 'none' },
  dragState: { ja: 'ドラッグ状態', en: 'drag state' },
  redraws: { ja: '再描画', en: 'redraws' },
  reset: { ja: 'カメラを 0, 0 に戻す', en: 'camera to 0, 0' },

  plane: { ja: 'ヘディングとピッチ', en: 'Heading and pitch' },
  planeLabel: {
    ja: 'ヘディングとピッチの平面上のカメラ',
    en: 'the camera in the heading-pitch plane',
  },
  headingAxis: { ja: 'ヘディング（度）', en: 'heading (degrees)' },
  pitchAxis: { ja: 'ピッチ', en: 'pitch' },
  cameraNow: { ja: '現在のカメラ', en: 'the camera now' },
  legendZone: { ja: '両方が近い: 離すとそろう', en: 'both near: a release snaps' },
  legendStripe: { ja: '片方だけ近い', en: 'one near' },
  legendPath: { ja: '今回のドラッグ', en: 'this drag' },
  legendMiss: { ja: 'そろわずそのまま', en: 'stayed' },
  legendSnap: { ja: 'そろった（透視投影・平行投影）', en: 'snapped, perspective or parallel' },

  trace: { ja: 'トレース', en: 'Trace' },
  traceGloss: {
    ja: '直近のイベント。orbitrix-sim と同じ形式で表示',
    en: 'the last events, as orbitrix-sim prints them',
  },
};

// The language to show: the one chosen last time, else the first of the
// browser's preferred languages that the page has, else English.
export function chooseLanguage(chosen, preferred = []) {
  if (LANGUAGES.includes(chosen)) return chosen;
  for (const tag of preferred) {
    const primary = String(tag).toLowerCase().split('-')[0];
    if (LANGUAGES.includes(primary)) return primary;
  }
  return 'en';
}

// The texts of one language, as text(key, ...blanks).
export function textsOf(language) {
  return (key, ...blanks) => {
    const text = TEXTS[key][language];
    return typeof text === 'function' ? text(...blanks) : text;
  };
}
