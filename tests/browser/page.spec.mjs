// The page beyond the core loop: files that cannot be used, the modder's own sounds, the snapshot
// and the hover tip, a broken drive. A screenshot of some under build/browser/.
import { expect, test } from '@playwright/test';
import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { dropFromDesktop, openTuner, root, screenshots } from './tuner-page.mjs';

test("each key shows the unit, range and behaviour outside it from the plug-in's table", async ({
  page,
}) => {
  const problems = await openTuner(page);
  const keys = await page.evaluate(() => window.ostrelle.settingKeys);
  expect(keys.map((key) => key.key)).toHaveLength(8);
  const duck = keys.find((key) => key.key === 'Radio Duck Volume');
  expect(duck).toMatchObject({
    kind: 'volume',
    default: 20,
    unit: 'radio volume',
    min: 0,
    max: 127,
  });
  expect(duck.outside).toContain('low 8 bits');
  expect(keys.find((key) => key.key === 'Impact intensity').max).toBeNull();
  const row = page.locator('.setting', { has: page.locator('#key-radio-duck-volume') });
  await expect(row.locator('.unit')).toHaveText('radio volume');
  await expect(row.locator('.range')).toContainText('Range: 0 to 127.');
  await expect(page.locator('#key-radio-duck-volume')).toHaveAttribute('max', '127');
  expect(problems).toEqual([]);
});

// Files that cannot be what was asked for: each gets its message beside where it was given.
const wrongFiles = [
  {
    input: '#ini-file',
    message: '#ini-message',
    name: 'broke.mp3',
    bytes: readFileSync(join(root, 'assets/Radio SFX/broke.mp3')),
    says: 'broke.mp3: not a text file',
  },
  {
    input: '#ini-file',
    message: '#ini-message',
    name: 'huge.ini',
    bytes: Buffer.alloc(2 * 1048576, 'a'),
    says: 'huge.ini: 2.0 MB is too large',
  },
  {
    input: '#drive-file',
    message: '#drive-message',
    name: 'drive.toml',
    bytes: Buffer.from('\ufefftitle = "x"', 'utf16le'),
    says: 'drive.toml: UTF-16 text',
  },
  {
    input: '#drive-file',
    message: '#drive-message',
    name: 'drive.csv',
    bytes: Buffer.from('frame,tick\n0,1\n'),
    says: 'drive.csv:1:',
  },
  {
    input: '#sound-file',
    message: '#sound-message',
    name: 'crash.mp3',
    bytes: readFileSync(join(root, 'assets/Radio SFX/broke.mp3')),
    says: 'crash.mp3: the plug-in plays only',
  },
  {
    input: '#sound-file',
    message: '#sound-message',
    name: 'broke.mp3',
    bytes: Buffer.from('not an mp3 at all'),
    says: "broke.mp3: not a sound the game's audio library plays",
  },
  {
    // The browser decodes FLAC; the game's audio library does not.
    input: '#sound-file',
    message: '#sound-message',
    name: 'noise.mp3',
    bytes: readFileSync(join(root, 'tests/unit/standins/audio/fixtures/tone.flac')),
    says: 'noise.mp3: FLAC (Free Lossless Audio Codec) audio, which the game',
  },
];
// One page for all: each message replaces the one before it beside the same picker.
test('a wrong file given to each picker gets a message beside it', async ({ page }) => {
  const problems = await openTuner(page);
  for (const wrong of wrongFiles) {
    await test.step(`${wrong.name} given to ${wrong.input}`, async () => {
      await page.setInputFiles(wrong.input, {
        name: wrong.name,
        mimeType: 'application/octet-stream',
        buffer: wrong.bytes,
      });
      await expect(page.locator(wrong.message)).toContainText(wrong.says);
      await expect(page.locator(wrong.message)).toHaveAttribute('data-kind', 'error');
    });
  }
  expect(problems).toEqual([]);
});

test("a sound of the modder's own is played instead of ours", async ({ page }) => {
  await openTuner(page);
  await page.selectOption('#drive-select', 'crashes-in-a-row.toml');
  const digest = () =>
    page.evaluate(async () =>
      [
        ...new Uint8Array(await crypto.subtle.digest('SHA-256', await window.ostrelle.wav())),
      ].join(),
    );
  const ours = await digest();
  await page.setInputFiles('#sound-file', {
    name: 'broke.mp3',
    mimeType: 'audio/mpeg',
    buffer: readFileSync(join(root, 'assets/Radio SFX/noise.mp3')),
  });
  await expect(page.locator('#sound-message')).toHaveText('broke.mp3: yours is used');
  expect(await digest()).not.toEqual(ours);
  await page.click('#sound-reset');
  expect(await digest()).toEqual(ours);
});

test('a slider moved by keys redraws the plot over the snapshot, and the plot tells a frame on hover', async ({
  page,
}) => {
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
  // Another drive's times are not the snapshot's.
  await page.selectOption('#drive-select', 'city-drive.toml');
  await expect(page.locator('#snapshot-clear')).toBeDisabled();
});

// The city drive as the plug-in decides on it: a duck for each counted collision (the scrape at
// 40 s is a fall of health), and at Impact intensity 1000 its impacts ignored, and drawn so.
const decisions = [
  {
    intensity: '250',
    summary: '4 collisions: 4 counted',
    knock: 'impact force 480 — counted',
    drawn: /, crash$/,
  },
  {
    intensity: '1000',
    summary: '4 collisions: 1 counted, 3 below the threshold',
    knock: 'impact force 480 — below the threshold',
    drawn: /: Idle, .*, impact ignored$/,
  },
];
for (const decision of decisions) {
  test(`at Impact intensity ${decision.intensity} the collisions, the timeline and the plot say what the plug-in decided`, async ({
    page,
  }) => {
    await openTuner(page);
    await page.locator('#key-impact-intensity-number').fill(decision.intensity);
    await page.locator('#key-impact-intensity-number').press('Enter');
    await expect(page.locator('#collisions-summary')).toHaveText(decision.summary);
    const collisions = page.locator('#collisions-list');
    await expect(collisions).toContainText('frame 2400: health fell by 45 — counted');
    const ducks = page
      .getByRole('list', { name: 'What happens' })
      .getByRole('button', { name: /-> ImpactDuck/ });
    await expect(collisions.locator('li:not(.ignored)')).toHaveCount(await ducks.count());
    await collisions.getByRole('button', { name: decision.knock }).click();
    await expect(page.locator('#plot-readout')).toHaveText(decision.drawn);
  });
}

test('the impact forces of every drive opened are drawn beside Impact intensity, which is set by dragging the threshold or by keys', async ({
  page,
}) => {
  await openTuner(page);
  await page.selectOption('#drive-select', 'tunnel-crash.toml');
  const summary = page.locator('#key-impact-intensity-row .force-summary');
  await expect(summary).toHaveText('4 counted, 0 ignored, in 2 drives; Impact intensity 250');
  const strip = page.locator('#key-impact-intensity-row svg');
  const box = await strip.boundingBox();
  await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2); // half the slider's 1000
  await expect(page.locator('#key-impact-intensity-number')).toHaveValue(/^(490|500|510)$/);
  await expect(summary).toContainText('2 counted, 2 ignored, in 2 drives');
  const threshold = page.getByRole('slider', { name: 'Impact intensity on the forces' });
  await threshold.focus();
  for (let i = 0; i < 2; ++i) await threshold.press('PageUp');
  await expect(threshold).toHaveAttribute('aria-valuenow', /^(690|700|710)$/);
  await expect(summary).toContainText('0 counted, 4 ignored, in 2 drives');
});

// A recording from the game: the replay and the settings it ran with, picked or dropped together,
// opens with those settings (an empty file: every key at its default, whatever was moved before);
// the drive's collisions are listed with what the plug-in made of each under them.
const tunedIni = readFileSync(join(root, 'assets/Ostrelle.ini'), 'latin1').replace(
  'Impact intensity=250.00',
  'Impact intensity=100',
);
// 600 ducks; 120 is above 100 but the radio is still ducked, as it is for a fall of health; 900
// ducks the second car; 700 has status 12.
const recordings = [
  {
    name: 'picked with its settings',
    give: (page, paths) => page.setInputFiles('#drive-file', paths),
    ini: tunedIni,
    says: 'drive-1.ini: no warnings',
    intensity: '100',
    collisions: '5 collisions: 2 counted, 2 already ducked, 1 status 10 or more',
  },
  {
    name: 'dropped with its settings',
    give: (page, paths) => dropFromDesktop(page, '#plot', paths),
    ini: tunedIni,
    says: 'drive-1.ini: no warnings',
    intensity: '100',
    collisions: '5 collisions: 2 counted, 2 already ducked, 1 status 10 or more',
  },
  {
    name: 'picked with an empty settings file',
    give: (page, paths) => page.setInputFiles('#drive-file', paths),
    ini: '',
    says: 'no [Settings] section: every key keeps its default',
    intensity: '250',
    collisions:
      '5 collisions: 2 counted, 1 already ducked, 1 below the threshold, 1 status 10 or more',
  },
];
for (const recording of recordings) {
  test(`a recording ${recording.name} opens with them and lists its collisions`, async ({
    page,
  }, testInfo) => {
    const problems = await openTuner(page);
    page.on('dialog', (dialog) => dialog.accept()); // the modder lets the recording's settings in
    await page.locator('#key-impact-intensity-number').fill('180');
    await page.locator('#key-impact-intensity-number').press('Enter');
    const folder = testInfo.outputPath('recording');
    mkdirSync(folder, { recursive: true });
    copyFileSync(join(root, 'tests/e2e/replays/recorded_drive.csv'), join(folder, 'drive-1.csv'));
    writeFileSync(join(folder, 'drive-1.ini'), recording.ini, 'latin1');
    await recording.give(page, [join(folder, 'drive-1.csv'), join(folder, 'drive-1.ini')]);
    await expect(page.locator('#drive-message')).toContainText('drive-1.csv: 27 frames');
    await expect(page.locator('#ini-message')).toContainText(recording.says);
    await expect(page.locator('#key-impact-intensity-number')).toHaveValue(recording.intensity);
    await expect(page.locator('#collisions-summary')).toHaveText(recording.collisions);
    await expect(page.locator('#roofs-summary')).toContainText('roofs:');
    const timeline = page.getByRole('list', { name: 'What happens' });
    await expect(timeline).toContainText('crash, impact force 600');
    await page.getByRole('button', { name: /, frame 8: impact force 120 — / }).click();
    await expect(page.locator('#plot-readout')).toContainText(/^[\d.]+ s, frame 8: ImpactDuck/);
    expect(problems).toEqual([]);
  });
}

test('a broken scenario names its line and column beside the picker', async ({ page }) => {
  await openTuner(page);
  await page.setInputFiles('#drive-file', {
    name: 'broken.toml',
    mimeType: 'text/plain',
    buffer: Buffer.from('title = "x"\nlength = \n'),
  });
  await expect(page.locator('#drive-message')).toContainText('broken.toml:2:');
  await page.screenshot({ path: join(screenshots, 'drive-error.png') });
});

test('a screen reader reads each setting with its unit, range and what it does, and the timeline moves the cursor', async ({
  page,
}) => {
  await openTuner(page);
  const slider = page.getByRole('slider', { name: 'Radio Duck Volume slider', exact: true });
  await expect(slider).toHaveAccessibleDescription(
    /^radio volume Default: 20\. Range: 0 to 127\. .*low 8 bits.* Radio volume while ducked after a crash\.$/,
  );
  await expect(
    page.getByRole('textbox', { name: 'Radio Duck Volume', exact: true }),
  ).toHaveAccessibleDescription(/Range: 0 to 127/);
  await expect(
    page.getByRole('textbox', { name: 'Volume Damage', exact: true }),
  ).toHaveAccessibleDescription(/Press Play to hear it/);
  const tunnelStatic = page.getByRole('switch', { name: 'Enable Tunnel Static' });
  await expect(tunnelStatic).toBeChecked();
  await tunnelStatic.uncheck();
  await expect(page.getByRole('list', { name: 'What happens' })).not.toContainText('TunnelStatic');

  await tunnelStatic.check();
  const timeline = page.getByRole('list', { name: 'What happens' });
  await expect(
    timeline.getByRole('button', {
      name: /^8\.000 s: crash, impact force 480; plays broke2?\.mp3; Idle -> ImpactDuck: radio ducked to 20 for \d+ ms$/,
    }),
  ).toBeVisible();
  await timeline
    .getByRole('button', { name: /under a roof/ })
    .first()
    .click();
  await expect(page.locator('#plot-readout')).toHaveText(/^18\.000 s, frame 1080: TunnelStatic/);
});

// The loop on one screen: the slider moved and the plot seen at once, and the game check in reach.
const screens = [
  { name: 'a laptop', width: 1366, height: 768, seen: ['#key-tunnel-radio-duck-volume', '#plot'] },
  {
    name: 'a narrow window',
    width: 800,
    height: 700,
    seen: ['#key-tunnel-radio-duck-volume', '#plot'],
  },
  {
    name: 'a full HD screen',
    width: 1920,
    height: 1080,
    seen: ['#key-tunnel-radio-duck-volume', '#plot', '#game-title'],
  },
];
for (const screen of screens) {
  test(`on ${screen.name}, with the last slider focused, ${screen.seen.join(', ')} are in view`, async ({
    page,
  }) => {
    await page.setViewportSize({ width: screen.width, height: screen.height });
    await openTuner(page);
    await page.locator(screen.seen[0]).focus();
    for (const selector of screen.seen) {
      const inView = await page.locator(selector).evaluate((element) => {
        const box = element.getBoundingClientRect();
        const middle = document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
        return box.top >= 0 && box.bottom <= innerHeight + 1 && element.contains(middle);
      });
      expect(inView, selector).toBe(true);
    }
  });
}

test('leaving with moved values unsaved asks first', async ({ page }) => {
  await openTuner(page);
  await page.locator('#key-volume-noise-number').fill('0,4');
  await page.locator('#key-volume-noise-number').press('Enter');
  await expect(page.locator('#key-volume-noise-note')).toHaveText('read 0,4 as 0.4');
  // The change reruns the other drives and the check a moment later. Chromium closes a page whose
  // renderer is busy for a second without asking, so the close waits until that work is done.
  await page.evaluate(() => new Promise((done) => setTimeout(done, 500)));
  const [dialog] = await Promise.all([
    page.waitForEvent('dialog'),
    page.close({ runBeforeUnload: true }),
  ]);
  expect(dialog.type()).toBe('beforeunload');
  await dialog.dismiss();
});

test('the plot zooms into a stretch around its cursor, and the timeline lists that stretch', async ({
  page,
}) => {
  await openTuner(page);
  const timeline = page.getByRole('list', { name: 'What happens' });
  await expect(timeline).toContainText('108.000 s: crash');
  await page.locator('#plot').focus();
  for (let i = 0; i < 8; ++i) await page.keyboard.press('PageDown'); // the cursor to 8 s
  await page.keyboard.press('+');
  await page.keyboard.press('+');
  await expect(timeline).toContainText('8.000 s: crash');
  await expect(timeline).not.toContainText('108.000 s');
  await page.click('#zoom-all');
  await expect(timeline).toContainText('108.000 s: crash');
});
