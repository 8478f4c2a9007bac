// What the browser tests share: where the page and the simulator are, and a page opened and ready.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const tunerPath =
  process.env.OSTRELLE_TUNER ?? join(root, 'build/web/tuner/Ostrelle-tuner.html');
export const simPath = process.env.OSTRELLE_SIM ?? join(root, 'build/native/sim/ostrelle-sim');
export const screenshots = join(root, 'build/browser');

// Opens the page from file:// and waits until window.ostrelle is ready; fails on any request the
// page makes to anything but itself and on any error it throws.
export async function openTuner(page) {
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on('request', (request) => {
    if (
      !request.url().startsWith('file://') &&
      !request.url().startsWith('data:') &&
      !request.url().startsWith('blob:')
    ) {
      problems.push(`request: ${request.url()}`);
    }
  });
  await page.goto(pathToFileURL(tunerPath).href);
  await page.evaluate(() => window.ostrelleReady);
  return problems;
}

// What `ostrelle-sim command args...` writes into the files it is told to, read back: outputs maps
// an option (--trace, --csv) to the text written.
export function runSim(command, args, options) {
  const folder = mkdtempSync(join(tmpdir(), 'ostrelle-browser-'));
  try {
    const paths = Object.fromEntries(
      options.map((option) => [option, join(folder, option.slice(2))]),
    );
    execFileSync(
      simPath,
      [command, ...args, ...options.flatMap((option) => [option, paths[option]])],
      {
        stdio: ['ignore', 'ignore', 'inherit'],
      },
    );
    return Object.fromEntries(
      options.map((option) => [option, readFileSync(paths[option], 'utf8')]),
    );
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}

// What ostrelle-sim prints on stdout and stderr, and its exit status, run in folder.
export function simOutput(args, folder) {
  const stdio = ['ignore', 'pipe', 'pipe'];
  const done = spawnSync(simPath, args, { cwd: folder, encoding: 'utf8', stdio });
  if (done.status === null) throw done.error ?? new Error(`ostrelle-sim ended by ${done.signal}`);
  return { stdout: done.stdout, stderr: done.stderr, status: done.status };
}

// Drops files (paths on this machine, folders too) on the middle of selector as from the desktop,
// through Chromium's DevTools protocol: the drop a modder makes, which the page cannot fake.
export async function dropFromDesktop(page, selector, paths) {
  const target = page.locator(selector);
  await target.scrollIntoViewIfNeeded();
  const box = await target.boundingBox();
  const at = { x: box.x + box.width / 2, y: box.y + box.height / 2 };
  const session = await page.context().newCDPSession(page);
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop'])
    await session.send('Input.dispatchDragEvent', { type, ...at, data });
  await session.detach();
}

// A replay of an hour's drive, a crash and a roof every minute, as the recorder writes it: its path.
export function hourReplay() {
  const folder = join(root, 'build/browser/long');
  mkdirSync(folder, { recursive: true });
  const events = Array.from(
    { length: 59 },
    (_, minute) =>
      `[[crash]]\nat = ${minute * 60 + 5}\nforce = 600\n[[roof]]\nfrom = ${minute * 60 + 15}\nto = ${minute * 60 + 25}\nheight = 6\n`,
  );
  writeFileSync(join(folder, 'hour.toml'), `length = 3600\n${events.join('')}`);
  execFileSync(simPath, ['export-replay', join(folder, 'hour.toml'), join(folder, 'hour.csv')], {
    stdio: ['ignore', 'ignore', 'inherit'],
  });
  return join(folder, 'hour.csv');
}
