// The page as a modder uses it: open a settings file, see the warnings beside the keys, move a
// value, save, open a drive (and a broken one), hover and play. A screenshot of each under
// build/browser/.
import { expect, test } from '@playwright/test';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { openTuner, root, screenshots } from './tuner-page.mjs';

const tuned = join(root, 'tests/browser/settings/tuned.ini');

test('a settings file opens with its values and warnings, and saves with only the moved value changed', async ({ page }) => {
  const problems = await openTuner(page);
  await page.setInputFiles('#ini-file', tuned);
  // What the plug-in reads: 300 keeps its low 8 bits, 0x10 is hexadecimal, 400 is raised to 900.
  await expect(page.locator('#key-radio-duck-volume-number')).toHaveValue('44');
  await expect(page.locator('#key-tunnel-radio-duck-volume-number')).toHaveValue('16');
  await expect(page.locator('#key-maximum-time-impact-sfx-number')).toHaveValue('900');
  const duck = page.locator('.setting', { has: page.locator('#key-radio-duck-volume') });
  await expect(duck.locator('.warnings')).toContainText('keeps only its low 8 bits');
  await expect(page.locator('#ini-message')).toContainText('tuned.ini');
  await page.screenshot({ path: join(screenshots, 'settings.png') });

  await page.locator('#key-volume-damage-number').fill('0.8');
  await page.locator('#key-volume-damage-number').press('Enter');
  const [saved] = await Promise.all([page.waitForEvent('download'), page.click('#ini-save')]);
  expect(saved.suggestedFilename()).toBe('Ostrelle.ini');
  const text = readFileSync(await saved.path(), 'latin1');
  const expected = readFileSync(tuned, 'latin1').replace('Volume Damage=0.35', 'Volume Damage=0.8');
  expect(text).toBe(expected);
  expect(problems).toEqual([]);
});

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

test('a slider redraws the plot while it moves, and a snapshot stays under it', async ({ page }) => {
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

test('play moves the playhead, and the mix exports as WAV', async ({ page }) => {
  await openTuner(page);
  await page.selectOption('#drive-select', 'crashes-in-a-row.toml');
  await page.click('#play');
  await expect(page.locator('#play')).toHaveText('Stop');
  await page.click('#play');
  await expect(page.locator('#play')).toHaveText('Play');
  const [wav] = await Promise.all([page.waitForEvent('download'), page.click('#export-wav')]);
  const bytes = readFileSync(await wav.path());
  expect(bytes.subarray(0, 4).toString()).toBe('RIFF');
  expect(bytes.length).toBeGreaterThan(44 + 44100 * 4);
  await page.screenshot({ path: join(screenshots, 'play.png') });
});
