// The modder's own files: each recording runs with its own settings, and nothing typed is lost to
// a file opened or to Defaults without a question.
import { expect, test } from '@playwright/test';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { openTuner, root } from './tuner-page.mjs';

// Two recordings and settings files named as a modder might name them.
function recordingFolder(testInfo) {
  const folder = testInfo.outputPath('recordings');
  mkdirSync(folder, { recursive: true });
  const recorded = join(root, 'tests/e2e/replays/recorded_drive.csv');
  for (const name of ['drive-a.csv', 'drive-c.csv', 'ДРАЙВ.csv', 'STRAẞE.csv'])
    copyFileSync(recorded, join(folder, name));
  // Cut by a crash after its last value: the row reads, but its line end is missing.
  writeFileSync(
    join(folder, 'drive-cut.csv'),
    readFileSync(recorded, 'latin1').slice(0, -1),
    'latin1',
  );
  const intensities = {
    'DRIVE-A.INI': 100,
    'drive-b.ini': 300,
    'drive-c.ini': 500,
    'драйв.ini': 700,
    'straße.ini': 900,
    'drive-cut.ini': 400,
  };
  for (const [name, intensity] of Object.entries(intensities))
    writeFileSync(join(folder, name), `[Settings]\r\nImpact intensity=${intensity}\r\n`);
  return (...names) => names.map((name) => join(folder, name));
}
const intensity = (page) => page.locator('#key-impact-intensity-number');

const pairings = [
  {
    name: 'its own .ini, in other letter case',
    give: ['drive-a.csv', 'DRIVE-A.INI'],
    says: 'drive-a.csv: 27 frames, with the settings of DRIVE-A.INI',
    kind: 'ok',
    intensity: '100',
  },
  {
    name: 'an .ini of another name',
    give: ['drive-a.csv', 'drive-b.ini'],
    says: "with the settings of drive-b.ini: its name is not the recording's",
    kind: 'warning',
    intensity: '300',
  },
  {
    name: 'its own .ini, in the small letters of another alphabet',
    give: ['ДРАЙВ.csv', 'драйв.ini'],
    says: 'ДРАЙВ.csv: 27 frames, with the settings of драйв.ini',
    kind: 'ok',
    intensity: '700',
  },
  {
    // Windows, and so ostrelle-sim, keeps these names apart: ß has no capital of its own.
    name: 'an .ini whose name only a browser takes for the same',
    give: ['STRAẞE.csv', 'straße.ini'],
    says: "with the settings of straße.ini: its name is not the recording's",
    kind: 'warning',
    intensity: '900',
  },
  {
    name: 'its own .ini, the recording cut by a crash',
    give: ['drive-cut.csv', 'drive-cut.ini'],
    says: 'drive-cut.csv: 26 frames, with the settings of drive-cut.ini. Warning: drive-cut.csv:28: the last row has no line end',
    kind: 'warning',
    intensity: '400',
  },
  {
    name: 'no .ini',
    give: ['drive-a.csv'],
    says: 'no drive-a.ini was given with it, so it runs with the settings shown',
    kind: 'warning',
    intensity: '250',
  },
];
for (const pairing of pairings) {
  test(`a recording given with ${pairing.name} says which settings it runs with`, async ({
    page,
  }, testInfo) => {
    await openTuner(page);
    const files = recordingFolder(testInfo);
    await page.setInputFiles('#drive-file', files(...pairing.give));
    await expect(page.locator('#drive-message')).toContainText(pairing.says);
    await expect(page.locator('#drive-message')).toHaveAttribute('data-kind', pairing.kind);
    await expect(intensity(page)).toHaveValue(pairing.intensity);
  });
}

test('two recordings picked with their settings both open, each with its own', async ({
  page,
}, testInfo) => {
  await openTuner(page);
  const files = recordingFolder(testInfo);
  await page.setInputFiles(
    '#drive-file',
    files('drive-a.csv', 'DRIVE-A.INI', 'drive-c.csv', 'drive-c.ini'),
  );
  await expect(page.locator('#drive-message')).toContainText('drive-c.csv: 27 frames');
  await expect(intensity(page)).toHaveValue('500');
  await page.selectOption('#drive-select', { label: 'drive-a.csv (yours)' });
  await expect(page.locator('#drive-message')).toContainText('with the settings of DRIVE-A.INI');
  await expect(intensity(page)).toHaveValue('100');
});

test('values moved and not saved are replaced by a file only when the modder agrees', async ({
  page,
}, testInfo) => {
  await openTuner(page);
  const files = recordingFolder(testInfo);
  await intensity(page).fill('180');
  await intensity(page).press('Enter');
  page.once('dialog', (dialog) => dialog.dismiss());
  await page.setInputFiles('#drive-file', files('drive-a.csv', 'DRIVE-A.INI'));
  await expect(page.locator('#drive-message')).toContainText('DRIVE-A.INI was not opened');
  await expect(intensity(page)).toHaveValue('180');

  page.once('dialog', (dialog) => dialog.accept());
  await page.setInputFiles('#ini-file', files('drive-b.ini'));
  await expect(intensity(page)).toHaveValue('300');
});

test("Defaults resets the eight keys inside the modder's own file, asks first, and keeps the leave warning", async ({
  page,
}, testInfo) => {
  await openTuner(page);
  const own = ['; my tuning', '[Settings]', 'Impact intensity=900 ; third try', 'My note=keep'];
  mkdirSync(testInfo.outputPath(), { recursive: true });
  const path = testInfo.outputPath('mine.ini');
  writeFileSync(path, [...own, '[Other]', 'Impact intensity=1', ''].join('\r\n'));
  await page.setInputFiles('#ini-file', path);
  await intensity(page).fill('700');
  await intensity(page).press('Enter');
  page.once('dialog', (dialog) => dialog.dismiss());
  await page.click('#ini-reset');
  await expect(intensity(page)).toHaveValue('700');
  page.once('dialog', (dialog) => dialog.accept());
  await page.click('#ini-reset');
  await expect(intensity(page)).toHaveValue('250');

  // Reset and not saved: leaving asks.
  const [leaving] = await Promise.all([
    page.waitForEvent('dialog'),
    page.close({ runBeforeUnload: true }),
  ]);
  expect(leaving.type()).toBe('beforeunload');
  await leaving.dismiss();

  // The other seven keys at their defaults at the end of the section; the rest as it was.
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#ini-save')]);
  const keys = await page.evaluate(() => window.ostrelle.settingKeys);
  const others = keys.filter((key) => key.key !== 'Impact intensity');
  expect(readFileSync(await download.path(), 'latin1').split('\r\n')).toEqual([
    ...own.slice(0, 2),
    'Impact intensity=250',
    own[3],
    ...others.map((key) => `${key.key}=${key.default}`),
    '[Other]',
    'Impact intensity=1',
    '',
  ]);
});

test('the slider shows the value the plug-in reads, the switch is named by its key, and a skip link leads to the settings', async ({
  page,
}) => {
  await openTuner(page);
  await page.keyboard.press('Tab');
  await expect(page.locator(':focus')).toHaveText('Skip to the settings');
  await page.keyboard.press('Enter');
  await page.keyboard.press('Tab');
  expect(
    await page.evaluate(() => document.activeElement.closest('#settings-panel') !== null),
  ).toBe(true);

  await page.locator('#key-radio-duck-volume-number').fill('300');
  await page.locator('#key-radio-duck-volume-number').press('Enter');
  await expect(page.locator('#key-radio-duck-volume')).toHaveValue('44');
  await expect(page.locator('#key-radio-duck-volume-number')).toHaveValue('300');

  await expect(page.getByRole('switch', { name: 'Enable Tunnel Static', exact: true })).toHaveCount(
    1,
  );
});
