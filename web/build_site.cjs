// Lays out the static site from the built game and the page's files:
//   node build_site.cjs <site> <page folder> <game folder> <xterm folder> <npm folder> <version> <page file...>
// Every script and style sheet (.js, .css: the page's, xterm.js's and the
// game's) is minified with esbuild, the page's scripts are preloaded from its
// head; other files are copied as they are. The service worker is
// written from sw.js.in with the SHA-256 of every file it caches, and each
// file but the pictures (already compressed) gets a .br and a .gz beside it
// for hosts that serve them. Files of earlier builds that the site no longer
// has are removed, so the folder is exactly the site.
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const [site, pageFolder, gameFolder, xtermFolder, npmFolder, version, ...pageFiles] = process.argv.slice(2);
if (!version || pageFiles.length === 0) {
  console.error('usage: build_site.cjs <site> <page folder> <game folder> <xterm folder> <npm folder> <version> <page file...>');
  process.exit(2);
}
const esbuild = require(path.join(path.resolve(npmFolder), 'node_modules', 'esbuild'));

const LOADERS = { '.js': 'js', '.css': 'css' };
const PRECOMPRESSED = new Set(['.png']);  // gains nothing from another pass

// The page's scripts run one after another, but a slow network should not
// fetch them one after another: the head asks for each of them at once.
function preloadScripts(html) {
  const links = [...html.matchAll(/<script src="([^"]+)"><\/script>/g)]
    .map((script) => `<link rel="preload" href="${script[1]}" as="script">\n`);
  return html.replace('</head>', () => links.join('') + '</head>');
}

// Writes one file of the site: minified when it is a script or a style sheet.
function layOut(name, from) {
  const loader = LOADERS[path.extname(name)];
  let bytes = fs.readFileSync(from);
  if (name === 'index.html') bytes = Buffer.from(preloadScripts(bytes.toString('utf8')));
  if (loader) {
    bytes = Buffer.from(esbuild.transformSync(bytes.toString('utf8'), { loader, minify: true, legalComments: 'inline' }).code);
  }
  fs.writeFileSync(path.join(site, name), bytes);
  return bytes;
}

function sha256(bytes) {
  return crypto.createHash('sha256').update(bytes).digest('hex');
}

// The service worker caches these files under the release's name: the
// version and a hash over every file's name and SHA-256.
function writeServiceWorker(hashes) {
  const listed = Object.keys(hashes).map((name) => name + ' ' + hashes[name] + '\n').join('');
  const template = fs.readFileSync(path.join(pageFolder, 'sw.js.in'), 'utf8');
  const text = template
    .replace('@TALVOREN_VERSION@', () => version)
    .replace('@SITE_HASH@', () => sha256(listed).slice(0, 16))
    .replace('@SITE_HASHES@', () => JSON.stringify(hashes, null, 2));
  fs.writeFileSync(path.join(site, 'sw.js'), text);
}

function compress(name) {
  const bytes = fs.readFileSync(path.join(site, name));
  const brotli = zlib.brotliCompressSync(bytes, {
    params: {
      [zlib.constants.BROTLI_PARAM_QUALITY]: zlib.constants.BROTLI_MAX_QUALITY,
      [zlib.constants.BROTLI_PARAM_SIZE_HINT]: bytes.length,
    },
  });
  fs.writeFileSync(path.join(site, name + '.br'), brotli);
  fs.writeFileSync(path.join(site, name + '.gz'), zlib.gzipSync(bytes, { level: 9 }));
  return [name + '.br', name + '.gz'];
}

function main() {
  fs.mkdirSync(site, { recursive: true });
  const sources = new Map();
  for (const name of pageFiles) sources.set(name, path.join(pageFolder, name));
  sources.set('xterm.js', path.join(xtermFolder, 'lib', 'xterm.js'));
  sources.set('xterm.css', path.join(xtermFolder, 'css', 'xterm.css'));
  sources.set('talvoren.js', path.join(gameFolder, 'talvoren.js'));
  sources.set('talvoren.wasm', path.join(gameFolder, 'talvoren.wasm'));

  const hashes = {};
  for (const [name, from] of sources) hashes[name] = sha256(layOut(name, from));
  writeServiceWorker(hashes);

  const kept = new Set([...sources.keys(), 'sw.js']);
  for (const name of [...kept]) {
    if (!PRECOMPRESSED.has(path.extname(name))) compress(name).forEach((made) => kept.add(made));
  }
  for (const name of fs.readdirSync(site)) {
    if (!kept.has(name)) fs.rmSync(path.join(site, name), { recursive: true, force: true });
  }
}

main();
