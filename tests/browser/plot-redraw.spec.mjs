// A slider's steps as the page shows them: the plot drawn once a frame shows the last value
// moved, and the lists under it are written again only when what they say changed, so that a
// reader keeps their place in them.
import { expect, test } from '@playwright/test';
import { openTuner } from './tuner-page.mjs';

const plotPixels = (page) => page.$eval('#plot', (canvas) => canvas.toDataURL());
// Waits until two frames have been painted: a step's redraw is in the first.
const framesPainted = (page) =>
  page.evaluate(
    () =>
      new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(() => done(true)))),
  );

async function openDrive(page, name) {
  await openTuner(page);
  await page.selectOption('#drive-select', name);
  await framesPainted(page);
}

// Moves a key's slider to each of values in one task: a drag faster than the frames.
const slide = (page, key, values) =>
  page.$eval(
    `#${key}`,
    (slider, values) => {
      for (const value of values) {
        slider.value = value;
        slider.dispatchEvent(new Event('input'));
      }
    },
    values,
  );

const steps = [
  {
    what: 'a sound volume, which changes nothing drawn or listed',
    key: 'key-volume-noise',
    value: '0.9',
    rewritten: [],
  },
  {
    what: 'Impact intensity above every force, which ignores every crash',
    key: 'key-impact-intensity',
    value: '1000',
    rewritten: ['timeline', 'collisions', 'force marks'],
  },
];

// Each list's first entry, and a mark of the force strip.
const parts = {
  timeline: '#plot-timeline li',
  collisions: '#collisions-list li',
  roofs: '#roofs-list li',
  'force marks': '.force-strip line.counted, .force-strip line.ignored',
};

for (const step of steps) {
  test(`a step of ${step.what} rewrites only what it changed`, async ({ page }) => {
    await openDrive(page, 'tunnel-crash.toml');
    const before = await plotPixels(page);
    // Each part tagged, to tell it from one written again.
    await page.evaluate((parts) => {
      for (const part of parts) document.querySelector(part).dataset.seen = 'yes';
    }, Object.values(parts));
    await slide(page, step.key, [step.value]);
    await framesPainted(page);
    const kept = await page.evaluate(
      (parts) => parts.map((part) => document.querySelector(part)?.dataset.seen === 'yes'),
      Object.values(parts),
    );
    expect(Object.fromEntries(Object.keys(parts).map((name, i) => [name, kept[i]]))).toEqual(
      Object.fromEntries(Object.keys(parts).map((name) => [name, !step.rewritten.includes(name)])),
    );
    expect((await plotPixels(page)) !== before, 'the plot redrawn').toBe(step.rewritten.length > 0);
  });
}

test('several values of a slider in one frame draw the plot of the last', async ({ page }) => {
  await openDrive(page, 'tunnel-crash.toml');
  await slide(page, 'key-tunnel-radio-duck-volume', ['60']);
  await framesPainted(page);
  const last = await plotPixels(page);
  await slide(page, 'key-tunnel-radio-duck-volume', ['0']);
  await framesPainted(page);
  expect(await plotPixels(page)).not.toBe(last);
  await slide(page, 'key-tunnel-radio-duck-volume', ['5', '120', '60']);
  await framesPainted(page);
  expect(await plotPixels(page)).toBe(last);
});
