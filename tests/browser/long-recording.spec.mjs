// A recording at the recorder's limit, a million frames: window.ostrelle.simulate answers it, and its
// trace and frame table are ostrelle-sim's, byte for byte (compared by SHA-256: the texts run to
// hundreds of megabytes). Slow, so `make bench` runs it, not `make test`.
import { expect, test } from '@playwright/test';
import { execFileSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { openTuner, root, simPath } from './tuner-page.mjs';

const sha256 = (bytes) => createHash('sha256').update(bytes).digest('hex');

// A drive of 10,000 s at 100 frames a second, a crash, a fall of health and a roof every 100 s,
// exported as the recorder writes a replay.
function millionFrames(folder) {
  const events = Array.from(
    { length: 99 },
    (_, i) =>
      `[[crash]]\nat = ${i * 100 + 5}\nforce = ${200 + i * 10}\n` +
      `[[damage]]\nat = ${i * 100 + 40}\namount = 30\n` +
      `[[roof]]\nfrom = ${i * 100 + 60}\nto = ${i * 100 + 70}\nheight = 6\n`,
  );
  writeFileSync(
    join(folder, 'million.toml'),
    `length = 10000\nframe_rate = 100\n${events.join('')}`,
  );
  execFileSync(simPath, [
    'export-replay',
    join(folder, 'million.toml'),
    join(folder, 'million.csv'),
  ]);
  return join(folder, 'million.csv');
}

test('a million-frame recording runs in the page as ostrelle-sim replays it', async ({ page }) => {
  test.setTimeout(20 * 60_000);
  const folder = join(root, 'build/browser/million');
  mkdirSync(folder, { recursive: true });
  const replayPath = millionFrames(folder);
  execFileSync(simPath, [
    'replay',
    replayPath,
    '--trace',
    join(folder, 'trace.jsonl'),
    '--csv',
    join(folder, 'frames.csv'),
  ]);
  await openTuner(page);
  const answer = await page.evaluate(
    async (replay) => {
      const { trace, csv } = window.ostrelle.simulate({ replay });
      const digest = async (text) =>
        [...new Uint8Array(await crypto.subtle.digest('SHA-256', new TextEncoder().encode(text)))]
          .map((byte) => byte.toString(16).padStart(2, '0'))
          .join('');
      return {
        trace: await digest(trace),
        csv: await digest(csv),
        lines: trace.split('\n').length,
      };
    },
    readFileSync(replayPath, 'utf8'),
  );
  expect(answer.lines).toBeGreaterThan(1_000_000);
  expect(answer.trace).toBe(sha256(readFileSync(join(folder, 'trace.jsonl'))));
  expect(answer.csv).toBe(sha256(readFileSync(join(folder, 'frames.csv'))));
});
