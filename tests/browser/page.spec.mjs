// The page beyond the core loop: files that cannot be used, the modder's own sounds, the snapshot
// and the hover tip, a broken drive. A screenshot of some under build/browser/.
import { expect, test } from '@playwright/test';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { openTuner, root, screenshots } from './tuner-page.mjs';

// Files that cannot be what was asked for: each gets its message beside where it was given.
const wrongFiles = [
  { input: '#ini-file', message: '#ini-message', name: 'broke.mp3', bytes: readFileSync(join(root, 'assets/Radio SFX/broke.mp3')), says: 'broke.mp3: not a text file' },
  { input: '#ini-file', message: '#ini-message', name: 'huge.ini', bytes: Buffer.alloc(2 * 1048576, 'a'), says: 'huge.ini: 2.0 MB is too large' },
  { input: '#drive-file', message: '#drive-message', name: 'drive.toml', bytes: Buffer.from('\ufefftitle = "x"', 'utf16le'), says: 'drive.toml: UTF-16 text' },
  { input: '#drive-file', message: '#drive-message', name: 'drive.csv', bytes: Buffer.from('frame,tick\n0,1\n'), says: 'drive.csv:1:' },
  { input: '#sound-file', message: '#sound-message', name: 'crash.mp3', bytes: readFileSync(join(root, 'assets/Radio SFX/broke.mp3')), says: 'crash.mp3: the plug-in plays only' },
  { input: '#sound-file', message: '#sound-message', name: 'broke.mp3', bytes: Buffer.from('not an mp3 at all'), says: 'broke.mp3: the browser cannot decode it' },
];
for (const wrong of wrongFiles) {
  test(`${wrong.name} given to ${wrong.input} gets a message beside it`, async ({ page }) => {
    const problems = await openTuner(page);
    await page.setInputFiles(wrong.input, { name: wrong.name, mimeType: 'application/octet-stream', buffer: wrong.bytes });
    await expect(page.locator(wrong.message)).toContainText(wrong.says);
    await expect(page.locator(wrong.message)).toHaveAttribute('data-kind', 'error');
    expect(problems).toEqual([]);
  });
}

test('a sound of the modder\'s own is played instead of ours', async ({ page }) => {
  await openTuner(page);
  await page.selectOption('#drive-select', 'crashes-in-a-row.toml');
  const digest = () => page.evaluate(async () => [...new Uint8Array(await crypto.subtle.digest('SHA-256', await window.ostrelle.wav()))].join());
  const ours = await digest();
  await page.setInputFiles('#sound-file', { name: 'broke.mp3', mimeType: 'audio/mpeg', buffer: readFileSync(join(root, 'assets/Radio SFX/noise.mp3')) });
  await expect(page.locator('#sound-message')).toHaveText('broke.mp3: yours is used');
  expect(await digest()).not.toEqual(ours);
  await page.click('#sound-reset');
  expect(await digest()).toEqual(ours);
});

test('a slider moved by keys redraws the plot over the snapshot, and the plot tells a frame on hover', async ({ page }) => {
  await openTuner(page);
  await page.selectOption('#drive-select', 'tunnel-crash.toml');
  await page.click('#snapshot');
  const before = await page.locator('#plot').screenshot();
  await page.locator('#key-tunnel-radio-duck-volume').focus();
  for (let i = 0; i < 5; ++i) await page.keyboard.press('ArrowRight');
  await expect(page.locator('#key-tunnel-radio-duck-volume-number')).toHaveValue('35');
  expect((await page.locator('#plot').screenshot()).equals(before)).toBe(false);
  await page.locator('#plot').hover({ position: { x: 400, y: 100 } });
  await expect(page.locator('#plot-tip')).toContainText('frame');
  await page.screenshot({ path: join(screenshots, 'plot.png') });
});

test('a broken scenario names its line and column beside the picker', async ({ page }) => {
  await openTuner(page);
  await page.setInputFiles('#drive-file', { name: 'broken.toml', mimeType: 'text/plain', buffer: Buffer.from('title = "x"\nlength = \n') });
  await expect(page.locator('#drive-message')).toContainText('broken.toml:2:');
  await page.screenshot({ path: join(screenshots, 'drive-error.png') });
});
