// The page's server: files from its folder and nothing else, and a file's
// gzipped copy to a browser that takes gzip.
import assert from 'node:assert/strict';
import { mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { gunzipSync, gzipSync } from 'node:zlib';

import { acceptsGzip, serve } from '../serve.mjs';

const JS = 'export const x = 1;\n';
let folder;
let server;

before(async () => {
  folder = mkdtempSync(join(tmpdir(), 'orbitrix-serve-'));
  mkdirSync(join(folder, 'site'));
  writeFileSync(join(folder, 'site/index.html'), '<!doctype html>\n');
  writeFileSync(join(folder, 'site/main.js'), JS);
  writeFileSync(join(folder, 'site/main.js.gz'), gzipSync(JS));
  writeFileSync(join(folder, 'secret.txt'), 'outside\n');
  mkdirSync(join(folder, 'site2'));
  writeFileSync(join(folder, 'site2/secret.txt'), 'beside\n');
  server = await serve(join(folder, 'site'), 0);
});

after(() => {
  server?.close();
  rmSync(folder, { recursive: true, force: true });
});

// The raw answer: status, headers and body bytes as sent.
function get(path, headers = {}, method = 'GET') {
  return new Promise((done, fail) => {
    const options = { host: '127.0.0.1', port: server.address().port, path, method, headers };
    request(options, (response) => {
      const chunks = [];
      response.on('data', (c) => chunks.push(c));
      response.on('end', () =>
        done({
          status: response.statusCode,
          headers: response.headers,
          body: Buffer.concat(chunks),
        }),
      );
    })
      .on('error', fail)
      .end();
  });
}

describe('a file with a gzipped copy', () => {
  test('goes out gzipped to a browser that takes gzip, with the type of the file', async () => {
    const r = await get('/main.js', { 'Accept-Encoding': 'gzip, deflate, br' });
    assert.equal(r.status, 200);
    assert.equal(r.headers['content-encoding'], 'gzip');
    assert.equal(r.headers['content-type'], 'text/javascript; charset=utf-8');
    assert.equal(r.headers.vary, 'Accept-Encoding');
    assert.equal(Number(r.headers['content-length']), r.body.length);
    assert.equal(gunzipSync(r.body).toString(), JS);
  });

  test('goes out as it is otherwise, and says that it varies', async () => {
    for (const accept of [undefined, 'br', 'gzip;q=0', 'identity']) {
      const r = await get('/main.js', accept ? { 'Accept-Encoding': accept } : {});
      assert.equal(r.headers['content-encoding'], undefined, accept);
      assert.equal(r.headers.vary, 'Accept-Encoding', accept);
      assert.equal(r.body.toString(), JS, accept);
    }
  });

  test('HEAD gives the length of what GET would send, and no body', async () => {
    const r = await get('/main.js', { 'Accept-Encoding': 'gzip' }, 'HEAD');
    assert.equal(Number(r.headers['content-length']), gzipSync(JS).length);
    assert.equal(r.body.length, 0);
  });
});

test('a file without a copy goes out as it is, without Vary', async () => {
  const r = await get('/', { 'Accept-Encoding': 'gzip' });
  assert.equal(r.status, 200);
  assert.equal(r.headers['content-encoding'], undefined);
  assert.equal(r.headers.vary, undefined);
  assert.equal(r.body.toString(), '<!doctype html>\n');
});

test('nothing outside the folder, nothing missing, no other method', async () => {
  for (const path of ['/../secret.txt', '/%2e%2e/secret.txt', '/nothing.js', '/%E0%A4%A']) {
    assert.equal((await get(path)).status, 404, path);
  }
  assert.equal((await get('/main.js', {}, 'POST')).status, 405);
});

// The URL parser folds '..' away before the server looks, but not an
// encoded slash: these paths leave the folder only once decoded, into its
// parent or into a sibling whose name begins with the folder's.
test('a path that leaves the folder once decoded is not served', async () => {
  for (const path of [
    '/..%2fsecret.txt',
    '/%2e%2e%2fsecret.txt',
    '/main.js%2f..%2f..%2fsecret.txt',
    '/..%2fsite2%2fsecret.txt',
    '/..%5csecret.txt',
  ]) {
    const r = await get(path);
    assert.equal(r.status, 404, path);
    assert.doesNotMatch(r.body.toString(), /outside|beside/, path);
  }
});

test('Accept-Encoding takes gzip when it names it without q=0', () => {
  const takes = ['gzip', 'GZIP', 'deflate, gzip;q=0.5', 'x-gzip', ' gzip ; q=1'];
  const refuses = ['', 'br, deflate', 'gzip;q=0', 'gzip; q=0.000', 'gzipped'];
  for (const h of takes) assert.equal(acceptsGzip(h), true, h);
  for (const h of refuses) assert.equal(acceptsGzip(h), false, h);
});
