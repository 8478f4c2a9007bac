// The page runs the plug-in's own code: for every bundled drive and two settings files, its trace
// and frame table are ostrelle-sim's, byte for byte.
import { expect, test } from '@playwright/test';
import { mkdirSync, readdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { openTuner, root, runSim, simOutput } from './tuner-page.mjs';

// Where two texts first differ, as "line N: page ... / ostrelle-sim ...", or null when they are equal.
function firstDifference(page, sim) {
  if (page === sim) return null;
  const pageLines = page.split('\n');
  const simLines = sim.split('\n');
  const line = pageLines.findIndex((text, i) => text !== simLines[i]);
  const at = line < 0 ? pageLines.length : line;
  return `line ${at + 1}: page ${JSON.stringify(pageLines[at])} / ostrelle-sim ${JSON.stringify(simLines[at])}`;
}

const scenarios = readdirSync(join(root, 'scenarios'))
  .filter((name) => name.endsWith('.toml'))
  .sort();
const settingsFiles = [
  join(root, 'assets/Ostrelle.ini'),
  join(root, 'tests/browser/settings/tuned.ini'),
];

test('the page bundles every scenario', async ({ page }) => {
  const problems = await openTuner(page);
  expect(await page.evaluate(() => window.ostrelle.scenarios)).toEqual(scenarios);
  expect(problems).toEqual([]);
});

for (const settings of settingsFiles) {
  test(`traces and frame tables equal ostrelle-sim's with ${settings.slice(root.length + 1)}`, async ({
    page,
  }) => {
    await openTuner(page);
    const ini = readFileSync(settings, 'utf8');
    for (const scenario of scenarios) {
      const expected = runSim(
        'run',
        [join(root, 'scenarios', scenario), '--ini', settings],
        ['--trace', '--csv'],
      );
      const answer = await page.evaluate(
        ({ name, ini }) =>
          window.ostrelle.simulate({ scenario: window.ostrelle.scenario(name), ini }),
        { name: scenario, ini },
      );
      expect(answer.trace.length, `${scenario}: trace is not empty`).toBeGreaterThan(0);
      expect(firstDifference(answer.trace, expected['--trace']), `${scenario}: trace`).toBeNull();
      expect(firstDifference(answer.csv, expected['--csv']), `${scenario}: frame table`).toBeNull();
    }
  });
}

// The second replay is the first with the crash's force cut to 5.0, of the same length: the page
// keeps the last drive it read, which must not answer for another.
test('a replay runs as ostrelle-sim replays it, and so does the same replay changed', async ({
  page,
}) => {
  await openTuner(page);
  const replayPath = join(root, 'tests/e2e/replays/crash_duck_tunnel.csv');
  const folder = join(root, 'build/browser/changed-replay');
  mkdirSync(folder, { recursive: true });
  const changedPath = join(folder, 'crash_below_threshold.csv');
  writeFileSync(changedPath, readFileSync(replayPath, 'utf8').replace('1000,500,', '1000,5.0,'));
  const traces = [];
  for (const path of [replayPath, changedPath]) {
    const expected = runSim('replay', [path, '--ini', settingsFiles[1]], ['--trace']);
    const trace = await page.evaluate(
      ({ replay, ini }) => window.ostrelle.simulate({ replay, ini }).trace,
      { replay: readFileSync(path, 'utf8'), ini: readFileSync(settingsFiles[1], 'utf8') },
    );
    expect(firstDifference(trace, expected['--trace']), path).toBeNull();
    traces.push(trace);
  }
  expect(traces[1]).not.toEqual(traces[0]);
});

// A replay of frames whose places (x, y, z and the roof's z, which the trace prints) hold random
// bit patterns, NaNs and infinities among them, written as the recorder writes floats: the
// shortest text that reads back, nan, -nan, inf, -inf.
function randomFloatReplay(frames) {
  let state = 0x2545f491; // xorshift32: the same floats on every run
  const bits = new DataView(new ArrayBuffer(4));
  const randomFloat = () => {
    state ^= state << 13;
    state ^= state >>> 17;
    state ^= state << 5;
    bits.setUint32(0, state >>> 0);
    const value = bits.getFloat32(0);
    const sign = bits.getUint32(0) >>> 31 ? '-' : '';
    if (Number.isNaN(value)) return `${sign}nan`;
    if (!Number.isFinite(value)) return `${sign}inf`;
    return Object.is(value, -0) ? '-0' : String(value);
  };
  const rows = Array.from({ length: frames }, (_, frame) => {
    const [x, y, z, roofZ] = Array.from({ length: 4 }, randomFloat);
    return `${frame},${1000 + frame * 16},0,1,1,0,1000,0,${x},${y},${z},1,${roofZ}`;
  });
  const folder = join(root, 'build/browser/random-floats');
  mkdirSync(folder, { recursive: true });
  const path = join(folder, 'random-floats.csv');
  writeFileSync(
    path,
    `frame,tick,suspend,actor,vehicle,status,health,impact,x,y,z,roof_found,roof_z\n${rows.join('\n')}\n`,
  );
  return path;
}

test('floats of random bits print in the trace as ostrelle-sim prints them', async ({ page }) => {
  await openTuner(page);
  const replayPath = randomFloatReplay(5000);
  const expected = runSim('replay', [replayPath], ['--trace']);
  const trace = await page.evaluate(
    (replay) => window.ostrelle.simulate({ replay }).trace,
    readFileSync(replayPath, 'utf8'),
  );
  expect(expected['--trace']).toContain('-nan');
  expect(firstDifference(trace, expected['--trace'])).toBeNull();
});

test('check-ini in the page reports as the command does', async ({ page }) => {
  await openTuner(page);
  const expected = simOutput(['check-ini', 'tuned.ini'], join(root, 'tests/browser/settings'));
  const answer = await page.evaluate(
    (ini) => window.ostrelle.checkIni(ini, 'tuned.ini'),
    readFileSync(settingsFiles[1], 'utf8'),
  );
  expect(expected.status).toBe(1);
  expect(answer.status).toBe(expected.status);
  expect(answer.report).toBe(expected.stdout + expected.stderr);
  const data = JSON.parse(
    simOutput(['check-ini', 'tuned.ini', '--json'], join(root, 'tests/browser/settings')).stdout,
  );
  expect(answer.data).toEqual(data);
  expect(answer.settings).toEqual(data.values.map((value) => value.value));
});
