// Makes Ostrelle-tuner.html: the page's template with its style, its modules bundled into one
// script, the WebAssembly module (itself one script with the binary inside) and the assets as a
// JSON block, so the file opens from a folder or a zip with no request of any kind.
//   node build-page.mjs --module ostrelle-module.js --assets DIR --scenarios DIR --version V --out F
import { build } from 'esbuild';
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { basename, join } from 'node:path';
import { parseArgs } from 'node:util';

const { values: args } = parseArgs({
  options: {
    module: { type: 'string' },
    assets: { type: 'string' },
    scenarios: { type: 'string' },
    version: { type: 'string' },
    out: { type: 'string' },
  },
});
for (const name of ['module', 'assets', 'scenarios', 'version', 'out']) {
  if (!args[name]) throw new Error(`build-page: --${name} is missing`);
}

// Text that may sit inside a <script> element: nothing in it can close the element.
const scriptSafe = (text) => text.replace(/<\/(script)/gi, '<\\/$1').replace(/<!--/g, '<\\!--');

const base64 = (path) => readFileSync(path).toString('base64');
const soundFolder = join(args.assets, 'Radio SFX');
const assets = {
  version: args.version,
  ini: readFileSync(join(args.assets, 'Ostrelle.ini'), 'utf8'),
  radioBed: base64(join(args.assets, 'radio-bed.mp3')),
  sounds: Object.fromEntries(
    readdirSync(soundFolder)
      .filter((name) => name.endsWith('.mp3'))
      .sort()
      .map((name) => [name, base64(join(soundFolder, name))]),
  ),
  scenarios: Object.fromEntries(
    readdirSync(args.scenarios)
      .filter((name) => name.endsWith('.toml'))
      .sort()
      .map((name) => [name, readFileSync(join(args.scenarios, name), 'utf8')]),
  ),
};

const bundle = await build({
  entryPoints: ['page/main.js'],
  bundle: true,
  format: 'iife',
  minify: true,
  target: 'chrome100',
  write: false,
});

const template = readFileSync('page/index.html', 'utf8');
const parts = {
  '/*STYLE*/': readFileSync('page/tuner.css', 'utf8'),
  '/*MODULE*/': scriptSafe(readFileSync(args.module, 'utf8')),
  '/*ASSETS*/': JSON.stringify(assets).replace(/</g, '\\u003c'),
  '/*PAGE*/': scriptSafe(bundle.outputFiles[0].text),
  '@VERSION@': args.version,
};
let page = template;
for (const [marker, text] of Object.entries(parts)) {
  if (!page.includes(marker)) throw new Error(`build-page: page/index.html has no ${marker}`);
  page = page.split(marker).join(text);
}
writeFileSync(args.out, page);
console.log(`${basename(args.out)}: ${(page.length / 1024 / 1024).toFixed(2)} MB`);
