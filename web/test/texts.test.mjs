// The page's texts: both languages for every one, the page's marked elements
// all in the table, and the language a visitor gets.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';

import { LANGUAGES, TEXTS, chooseLanguage, textsOf } from '../src/texts.js';

const JAPANESE = /[\u3041-\u30ff\u4e00-\u9fff]/;

test('every text is in both languages, and the Japanese is Japanese', () => {
  for (const [key, text] of Object.entries(TEXTS)) {
    assert.deepEqual(Object.keys(text).sort(), [...LANGUAGES].sort(), key);
    assert.equal(typeof text.ja, typeof text.en, key);
    const [ja, en] = [textsOf('ja')(key, 'A', 'B', true, true), textsOf('en')(key, 'A', 'B')];
    assert.match(ja, JAPANESE, key);
    assert.doesNotMatch(en, JAPANESE, key);
  }
});

test("the page's marked elements all have their text in the table", () => {
  const html = readFileSync(new URL('../index.html', import.meta.url), 'utf8');
  const keys = [...html.matchAll(/data-(?:text|label)="([^"]*)"/g)].map((m) => m[1]);
  assert.ok(keys.length > 20, `only ${keys.length} marked`);
  for (const key of keys) assert.ok(key in TEXTS, `${key} is not in the table`);
});

test('a visitor gets the language chosen last, else the first of theirs the page has', () => {
  const cases = [
    [null, ['ja-JP', 'en-US'], 'ja'],
    [null, ['en-US', 'ja'], 'en'],
    [null, ['fr-FR', 'JA'], 'ja'],
    [null, ['fr-FR', 'de'], 'en'],
    [null, [], 'en'],
    [null, ['jav'], 'en'], // Javanese is not Japanese
    ['en', ['ja-JP'], 'en'],
    ['ja', ['en-US'], 'ja'],
    ['xx', ['ja-JP'], 'ja'], // something else stored: as if nothing were
  ];
  for (const [chosen, preferred, language] of cases) {
    assert.equal(chooseLanguage(chosen, preferred), language, `${chosen} ${preferred}`);
  }
});
