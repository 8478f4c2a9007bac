// Every control within reach at any zoom: a laptop at 200 % (683×384) and at 125 % (1093×520),
// and a phone (390×844). Each control Tab reaches is then in view and not under the pinned
// drive-and-plot block, the page does not scroll sideways, the sliders keep a usable width, and
// the lists and the legend stay.
import { expect, test } from '@playwright/test';
import { openTuner } from './tuner-page.mjs';

const screens = [
  { name: 'a laptop at 200 %', width: 683, height: 384 },
  { name: 'a laptop at 125 %', width: 1093, height: 520 },
  { name: 'a phone', width: 390, height: 844 },
];

for (const screen of screens) {
  test(`on ${screen.name} (${screen.width}×${screen.height}) every control is within reach`, async ({
    page,
  }) => {
    await page.setViewportSize({ width: screen.width, height: screen.height });
    await openTuner(page);
    // Each control focused as Tab focuses it, and what is under its middle: itself, or its label
    // for a file picker (the label is what is seen and clicked).
    const hidden = await page.evaluate(() => {
      const controls = [
        ...document.querySelectorAll('a[href], button, select, input, [tabindex="0"]'),
      ].filter((control) => !control.disabled);
      const out = [];
      for (const control of controls) {
        control.focus();
        const shown = control.type === 'file' ? control.closest('label') : control;
        const box = shown.getBoundingClientRect();
        const middle = document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
        const inView = box.top >= 0 && box.bottom <= innerHeight + 1;
        if (!inView || !shown.contains(middle)) out.push(control.id || shown.textContent);
      }
      return out;
    });
    expect(hidden).toEqual([]);
    expect(await page.evaluate(() => document.documentElement.scrollWidth)).toBeLessThanOrEqual(
      screen.width,
    );
    const slider = await page.locator('#key-radio-duck-volume').boundingBox();
    expect(slider.width).toBeGreaterThan(120);
    for (const kept of ['#collisions-list', '#roofs-list', '#plot-legend'])
      await expect(page.locator(kept)).toBeVisible();
  });
}
