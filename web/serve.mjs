// Serves a folder of static files on 127.0.0.1 and nothing else: no
// directory listings, no files outside the folder, GET and HEAD only. A file
// with a gzipped copy beside it (FILE.gz) goes out as that copy to a browser
// that accepts gzip.
//
//   node web/serve.mjs [FOLDER] [PORT]      (defaults: build/web/site 8000)
import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.gz': 'application/gzip',
};

// Whether an Accept-Encoding header takes gzip: named, and not with q=0.
export function acceptsGzip(header = '') {
  return header.split(',').some((coding) => {
    const [name, ...params] = coding.split(';').map((s) => s.trim().toLowerCase());
    const q = params.find((p) => p.startsWith('q='));
    return (name === 'gzip' || name === 'x-gzip') && !(q && Number(q.slice(2)) === 0);
  });
}

// A file's size, or -1 when it is not a file (or no longer there).
function sizeOf(file) {
  try {
    const stat = statSync(file);
    return stat.isFile() ? stat.size : -1;
  } catch {
    return -1;
  }
}

// The file a request path names inside root, or null.
function fileFor(root, url) {
  let path;
  try {
    path = decodeURIComponent(new URL(url, 'http://host').pathname);
  } catch {
    return null;
  }
  if (path.includes('\0')) return null;
  let file = resolve(join(root, path));
  if (file !== root && !file.startsWith(root + sep)) return null;
  try {
    if (statSync(file).isDirectory()) file = join(file, 'index.html');
    return statSync(file).isFile() ? file : null;
  } catch {
    return null;
  }
}

// Starts serving; port 0 picks a free one. Resolves to the listening server.
export function serve(folder, port = 8000) {
  const root = resolve(folder);
  const server = createServer((request, response) => {
    if (request.method !== 'GET' && request.method !== 'HEAD') {
      response.writeHead(405, { Allow: 'GET, HEAD' }).end();
      return;
    }
    const file = fileFor(root, request.url);
    if (!file) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
      return;
    }
    const headers = {
      'Content-Type': TYPES[extname(file)] ?? 'text/plain; charset=utf-8',
      // A rebuilt page is fetched afresh at the next load.
      'Cache-Control': 'no-cache',
    };
    let body = file;
    if (sizeOf(`${file}.gz`) >= 0) {
      headers.Vary = 'Accept-Encoding';
      if (acceptsGzip(request.headers['accept-encoding'])) {
        body = `${file}.gz`;
        headers['Content-Encoding'] = 'gzip';
      }
    }
    // Gone since it was found, as when the site is being rebuilt.
    const size = sizeOf(body);
    if (size < 0) {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
      return;
    }
    headers['Content-Length'] = size;
    response.writeHead(200, headers);
    if (request.method === 'HEAD') response.end();
    else
      createReadStream(body)
        .on('error', () => response.destroy())
        .pipe(response);
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [folder = 'build/web/site', port = '8000'] = process.argv.slice(2);
  const server = await serve(folder, Number(port));
  console.log(`serving ${folder} on http://127.0.0.1:${server.address().port}/ (Ctrl-C stops)`);
}
