// The modder's loop, in Chromium, Firefox ESR and WebKit: open the page, open a settings file, drag a
// slider and see the plot change, play, export the WAV, save, open a drive and check a game folder.
import { readFileSync, rmSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { expect, expectText, launch, openPage, test } from './browsers.mjs';
import { hourReplay, root } from './tuner-page.mjs';

const tuned = join(root, 'tests/browser/settings/tuned.ini');
const plotPixels = (page) => page.$eval('#plot', (canvas) => canvas.toDataURL());
// Waits for the plot to differ from the pixels before (WebKit draws a frame later than the others).
const plotChange = (page, before) =>
  page.waitForFunction((old) => document.getElementById('plot').toDataURL() !== old, {}, before);
// Picks a bundled drive and waits for its plot.
async function pickDrive(page, name) {
  const before = await plotPixels(page);
  await page.select('#drive-select', name);
  await plotChange(page, before);
}
const value = (page, selector) => page.$eval(selector, (input) => input.value);

test('a settings file opens with its values and warnings, and saves as Ostrelle.ini with only the moved value changed', async ({
  tuner,
}) => {
  const { page } = tuner;
  await (await page.$('#ini-file')).uploadFile(tuned);
  await expectText(page, '#ini-message', 'tuned.ini');
  // What the plug-in reads: 300 keeps its low 8 bits, 0x10 is hexadecimal, 400 is raised to 900.
  expect(await value(page, '#key-radio-duck-volume-number')).toBe('44');
  expect(await value(page, '#key-tunnel-radio-duck-volume-number')).toBe('16');
  expect(await value(page, '#key-maximum-time-impact-sfx-number')).toBe('900');
  await expectText(page, '#key-radio-duck-volume-row .warnings', 'keeps only its low 8 bits');

  // The field's text selected whole, so the typing replaces it in every engine, however slow.
  await page.$eval('#key-volume-damage-number', (field) => {
    field.focus();
    field.select();
  });
  await page.keyboard.type('0.8');
  await page.keyboard.press('Enter');
  expect(await value(page, '#key-volume-damage-number')).toBe('0.8');
  const saved = await tuner.download('#ini-save');
  expect(saved.name).toBe('Ostrelle.ini');
  expect(saved.bytes.toString('latin1')).toBe(
    readFileSync(tuned, 'latin1').replace('Volume Damage=0.35', 'Volume Damage=0.8'),
  );
  await expectText(page, '#ini-message', 'beside Ostrelle.dll');
  expect(tuner.problems).toEqual([]);
});

test('dragging a slider redraws the plot; Play moves the playhead; the mix exports as WAV', async ({
  tuner,
}) => {
  const { page } = tuner;
  await pickDrive(page, 'tunnel-crash.toml');
  const before = await plotPixels(page);
  await page.$eval('#key-tunnel-radio-duck-volume', (slider) =>
    slider.scrollIntoView({ block: 'center' }),
  );
  const slider = await (await page.$('#key-tunnel-radio-duck-volume')).boundingBox();
  await page.mouse.move(slider.x + 2, slider.y + slider.height / 2);
  await page.mouse.down();
  await page.mouse.move(slider.x + slider.width * 0.8, slider.y + slider.height / 2, { steps: 5 });
  await page.mouse.up();
  expect(Number(await value(page, '#key-tunnel-radio-duck-volume-number'))).toBeGreaterThan(60);
  await plotChange(page, before);

  await page.click('#play');
  await expectText(page, '#play', 'Stop');
  await expectText(page, '#play-position', /^0:0[1-9] \/ 0:20$/);
  await page.click('#play');
  await expectText(page, '#play', 'Play');

  const wav = await tuner.download('#export-wav');
  expect(wav.name).toBe('tunnel-crash.wav');
  expect(wav.bytes.subarray(0, 4).toString()).toBe('RIFF');
  const seconds = (wav.bytes.length - 44) / 4 / 44100;
  expect(seconds).toBeCloseTo(20, 1);
  expect(tuner.problems).toEqual([]);
});

test('an opened drive is shown in the drive list, and a bundled one can be picked again', async ({
  tuner,
}) => {
  const { page } = tuner;
  await (await page.$('#drive-file')).uploadFile(join(root, 'scenarios/pause-during-duck.toml'));
  await expectText(page, '#drive-message', 'pause-during-duck.toml: ');
  expect(await page.$eval('#drive-select', (select) => select.selectedOptions[0].textContent)).toBe(
    'pause-during-duck.toml (yours)',
  );
  await page.select('#drive-select', 'city-drive.toml');
  await page.waitForFunction(() =>
    document.getElementById('plot-timeline').textContent.includes('crash'),
  );
  expect(await page.$eval('#drive-select', (select) => select.value)).toBe('city-drive.toml');
});

test('the files of a good install picked one by one pass, and the sounds they cannot show are not failed', async ({
  tuner,
}) => {
  const { page } = tuner;
  const good = join(root, 'build/browser/game-folders/AllInPlace');
  await (
    await page.$('#game-files')
  ).uploadFile(
    ...['game.exe', 'bass.dll', 'scripts/Ostrelle.dll', 'scripts/Ostrelle.ini'].map((path) =>
      join(good, path),
    ),
  );
  await expectText(page, '#game-check .verdict', 'Everything the check can see is in place');
  const marks = await page.$$eval('#game-check .checklist .mark', (all) =>
    all.map((mark) => mark.textContent),
  );
  expect(marks).toEqual(['ok', 'ok', 'ok', 'not seen', 'not seen', 'not seen', 'ok']);
  expect(tuner.problems).toEqual([]);
});

// A number as a modder types it: the value written, and what is said beside the field. Typed one
// after the other into one page: no number first, while the field still holds its default.
const typed = [
  {
    name: 'no number',
    field: 'volume-damage',
    key: 'Volume Damage',
    text: 'loud',
    written: '1.00',
    says: "'loud' is no number",
  },
  {
    name: 'a decimal comma',
    field: 'volume-damage',
    key: 'Volume Damage',
    text: '0,5',
    written: '0.5',
    says: 'read 0,5 as 0.5',
  },
  {
    name: 'a decimal point',
    field: 'volume-damage',
    key: 'Volume Damage',
    text: '0.25',
    written: '0.25',
    says: '',
  },
  {
    name: 'an integer with a comma',
    field: 'radio-duck-volume',
    key: 'Radio Duck Volume',
    text: '12,7',
    written: '13',
    says: '12,7 is written as 13',
  },
  {
    name: 'a huge integer',
    field: 'minimum-time-impact-sfx',
    key: 'Minimum time impact SFX',
    text: '1e21',
    written: '1000000000000000000000',
    says: '',
  },
];
// One page for every way of writing: a page opened per case took a tenth of the suite in WebKit.
test('a number field takes each way of writing a number', async ({ tuner }) => {
  const { page } = tuner;
  for (const number of typed) {
    await test.step(number.name, async () => {
      const id = `#key-${number.field}`;
      await page.click(`${id}-number`, { count: 3 });
      await page.keyboard.type(number.text);
      await page.keyboard.press('Enter');
      const download = await tuner.download('#ini-save');
      const saved = download.bytes.toString('latin1');
      // Gone before the next save, which the browser may write under the same name.
      rmSync(download.path);
      expect(saved).toMatch(new RegExp(`^${number.key}=${number.written}\\r?$`, 'm'));
      const note = await page.$eval(`${id}-note`, (element) => element.textContent);
      if (number.says) expect(note).toContain(number.says);
      else expect(note).toBe('');
    });
  }
});

test('the plot holds a radio volume up to 255', async ({ tuner }) => {
  const { page } = tuner;
  await pickDrive(page, 'crashes-in-a-row.toml');
  // The highest row of the radio's colour, from the top of the canvas.
  const highestRadio = () =>
    page.$eval('#plot', (canvas) => {
      const { width, height, data } = canvas
        .getContext('2d')
        .getImageData(0, 0, canvas.width, canvas.height);
      for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
          const at = (y * width + x) * 4;
          if (data[at] === 0x1f && data[at + 1] === 0x4e && data[at + 2] === 0x9a)
            return y / height;
        }
      }
      return null;
    });
  const full = await highestRadio();
  const before = await plotPixels(page);
  await page.click('#key-radio-duck-volume-number', { count: 3 });
  await page.keyboard.type('-5'); // read as 251
  await page.keyboard.press('Enter');
  await plotChange(page, before);
  // Above full, and drawn whole: a line cut off by the canvas would reach its top row.
  const above = await highestRadio();
  expect(above).toBeLessThan(full);
  expect(above).toBeGreaterThan(0.02);
});

test('a drive of an hour follows a slider, plays from where the plot is clicked, and exports whole', async ({
  tuner,
}) => {
  test.setTimeout(180_000);
  const { page } = tuner;
  await (await page.$('#drive-file')).uploadFile(hourReplay());
  await expectText(page, '#drive-message', 'hour.csv: 216000 frames');
  const before = await plotPixels(page);
  await page.$eval('#key-radio-duck-volume', (slider) =>
    slider.scrollIntoView({ block: 'center' }),
  );
  await page.focus('#key-radio-duck-volume');
  for (let i = 0; i < 5; ++i) await page.keyboard.press('ArrowRight');
  await plotChange(page, before);

  const plot = await (await page.$('#plot')).boundingBox();
  await page.mouse.click(plot.x + 48 + (plot.width - 60) * 0.75, plot.y + plot.height / 2);
  await expectText(page, '#play-position', /^4[45]:\d\d \/ 60:00$/);
  await page.click('#play');

  const wav = await tuner.download('#export-wav');
  expect(statSync(wav.path).size).toBe(44 + 3600 * 44100 * 4);
  expect(tuner.problems).toEqual([]);
});

test('Play without a sound device says so', async ({}, testInfo) => {
  test.skip(
    testInfo.project.metadata.browser !== 'firefox',
    'headless Chromium plays on a device of its own; WebKit plays on without one, as if heard',
  );
  const browser = await launch(testInfo.project.metadata.browser, { audio: false });
  try {
    const { page } = await openPage(browser);
    await page.click('#play');
    await expectText(page, '#sound-message', 'no sound device', 20_000);
    expect(await page.$eval('#play', (button) => button.textContent)).toBe('Play');
  } finally {
    await browser.close();
  }
});

test('a drop that brings no files, only a link, says so and points to the buttons', async ({
  tuner,
}) => {
  const { page } = tuner;
  // WebKit's drop from the desktop: a text/uri-list and no files (no driver can make a real one).
  await page.evaluate(() => {
    const dataTransfer = new DataTransfer();
    dataTransfer.setData('text/uri-list', 'file:///home/modder/Ostrelle.ini');
    document.body.dispatchEvent(
      new DragEvent('drop', { dataTransfer, bubbles: true, cancelable: true }),
    );
  });
  await expectText(page, '#status', /brought no files.*buttons/);
});

test('a folder picked that arrives as one empty entry says that no files arrived', async ({
  tuner,
}, testInfo) => {
  test.skip(
    testInfo.project.metadata.browser !== 'webkit',
    "only WebKit's picker gives the folder as an entry; the others' drivers cannot pick one",
  );
  const { page } = tuner;
  await (await page.$('#game-folder')).uploadFile(join(root, 'tests/browser/settings'));
  await expectText(page, '#game-message', 'No files arrived from the folder');
  expect(await page.$eval('#game-check', (check) => check.textContent)).toBe('');
});
