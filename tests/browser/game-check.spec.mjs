// The game check in the page: check-game's own core over the test game folders (the unit test's
// table, written out by make-test-pe) gives the command's report and exit status byte for byte,
// and a folder picked in the page shows its checklist.
import { expect, test } from '@playwright/test';
import { execFileSync } from 'node:child_process';
import { cpSync, readdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { dropFromDesktop, openTuner, root, screenshots, simOutput } from './tuner-page.mjs';

const makeTestPe =
  process.env.OSTRELLE_MAKE_TEST_PE ?? join(root, 'build/native/tests/support/make-test-pe');
// Written afresh each run: make-test-pe writes only into a folder that is empty or not there.
const folders = join(root, 'build/browser/game-folders');
rmSync(folders, { recursive: true, force: true });
execFileSync(makeTestPe, ['folders', folders]);

// The files below folder as the page takes them: a path relative to it, and the bytes.
const filesIn = (folder) =>
  readdirSync(folder, { recursive: true, withFileTypes: true })
    .filter((entry) => entry.isFile())
    .map((entry) => {
      const path = join(entry.parentPath, entry.name);
      return { path: path.slice(folder.length + 1), bytes: [...readFileSync(path)] };
    });

// check-game in the page over the files of folder, put at the same path in its memory, so even
// the report's first line, which names the folder, is the command's.
const checkInPage = (page, folder) =>
  page.evaluate(
    ({ files, folder }) =>
      window.ostrelle.checkGame(
        files.map(({ path, bytes }) => ({ path, bytes: new Uint8Array(bytes) })),
        folder,
      ),
    { files: filesIn(folder), folder },
  );

const names = readdirSync(folders).sort();
test('the test table has the good folder and broken ones', () => {
  expect(names).toContain('AllInPlace');
  expect(names.length).toBeGreaterThanOrEqual(5);
});

// Every folder in one page: the check keeps nothing from one folder to the next, and a page opened
// per folder took more of the suite than the checks.
test('check-game in the page says what the command says, on every folder', async ({ page }) => {
  const problems = await openTuner(page);
  for (const name of names) {
    await test.step(name, async () => {
      const folder = join(folders, name);
      const command = simOutput(['check-game', folder], root);
      const inPage = await checkInPage(page, folder);
      const data = JSON.parse(simOutput(['check-game', folder, '--json'], root).stdout);
      expect(inPage).toEqual({ status: command.status, report: command.stdout, data });
    });
  }
  expect(problems).toEqual([]);
});

// Every kind of sound file the audio library's tests hold, and some made from them, as broke.mp3:
// cut, or with bytes replaced from an offset (a rate, a channel count) where the Linux library's
// decoders and limits refuse what a look at the kind of file would pass.
const fixtures = join(root, 'tests/unit/standins/audio/fixtures');
const cut = (name, length) => ({
  name: `${name} cut at ${length} bytes`,
  bytes: readFileSync(join(fixtures, name)).subarray(0, length),
});
const patched = (name, what, offset, bytes) => {
  const file = Buffer.from(readFileSync(join(fixtures, name)));
  file.set(bytes, offset);
  return { name: `${name} ${what}`, bytes: file };
};
const soundKinds = [
  ...readdirSync(fixtures)
    .filter((name) => name !== 'make-fixtures')
    .map((name) => ({ name, bytes: readFileSync(join(fixtures, name)) })),
  cut('tone.mp3', 300),
  cut('tone.mp2', 417),
  cut('tone-22050-mono.mp3', 500),
  cut('tone.ogg', 200),
  cut('tone.ogg', 3900),
  cut('tone.aiff', 72),
  cut('tone.aiff', 89),
  patched('tone.wav', 'at 10 MHz', 24, [0x80, 0x96, 0x98, 0x00]),
  patched('tone.wav', 'of 2000 channels', 22, [0xd0, 0x07]),
  patched('tone.aiff', 'at 10 MHz', 62, [0x40, 0x16, 0x98, 0x96, 0x80, 0, 0, 0, 0, 0]),
  patched('tone.aiff', 'of 2000 channels', 54, [0x07, 0xd0]),
  patched('tone-24.wav', 'with a damaged subformat', 46, [1]),
  patched('tone.aiff', 'with a damaged chunk name', 12, [0]),
  patched('tone.ogg', 'with a damaged byte', 48, [0]),
  ...['tone.wav', 'tone.ogg'].map((name) => ({
    name: `${name} after an ID3 tag`,
    bytes: Buffer.concat([
      Buffer.from('ID3\x04\0\0\0\0\x02\x2c'),
      Buffer.alloc(300),
      readFileSync(join(fixtures, name)),
    ]),
  })),
];

test("the page's verdict on every kind of sound is the Linux library's", async ({ page }) => {
  await openTuner(page);
  const folder = join(root, 'build/browser/sound-kinds');
  for (const kind of soundKinds) {
    rmSync(folder, { recursive: true, force: true });
    cpSync(join(folders, 'AllInPlace'), folder, { recursive: true });
    writeFileSync(join(folder, 'scripts/Radio SFX/broke.mp3'), kind.bytes);
    const command = simOutput(['check-game', folder], root);
    const inPage = await checkInPage(page, folder);
    expect.soft(inPage.report, kind.name).toBe(command.stdout);
  }
});

test('a game folder picked in the page shows its checklist', async ({ page }) => {
  const problems = await openTuner(page);
  await page.setInputFiles('#game-folder', join(folders, 'SettingsWithWarnings'));
  const checklist = page.locator('#game-check .checklist');
  await expect(page.locator('#game-check .checked')).toHaveText(
    'Checking the game in /games/SettingsWithWarnings',
  );
  await expect(checklist.locator('.ok')).toHaveCount(6);
  await expect(checklist.locator('.fail')).toContainText(
    'scripts/Ostrelle.ini reads other than it looks',
  );
  await expect(checklist).toContainText(
    "scripts/Ostrelle.ini:2: warning: unknown key 'Volume Damge' is ignored",
  );
  await expect(page.locator('#game-check .verdict')).toHaveText(
    'Do what the FAIL lines say, then check again.',
  );
  await page.locator('#game-panel').screenshot({ path: join(screenshots, 'game-check.png') });
  expect(problems).toEqual([]);
});

test('a sound picked with the files is found; no files get a message', async ({ page }) => {
  await openTuner(page);
  const good = join(folders, 'AllInPlace');
  await page.setInputFiles(
    '#game-files',
    ['game.exe', 'bass.dll', 'scripts/Ostrelle.dll', 'scripts/Radio SFX/noise.mp3'].map((path) =>
      join(good, path),
    ),
  );
  await expect(page.locator('#game-check .checked')).toHaveText('Checking the game in /games/game');
  await expect(page.locator('#game-check .ok')).toContainText(['noise.mp3: noise.mp3']);
  await page.setInputFiles('#game-files', []);
  await expect(page.locator('#game-message')).toContainText("No files: pick the game's folder");
  await expect(page.locator('#game-message')).toHaveAttribute('data-kind', 'error');
});

test('a folder of far more files than a game has is refused with a message, not a hang', async ({
  page,
}) => {
  await openTuner(page);
  const refused = await page.evaluate(() =>
    window.ostrelle
      .checkGame(
        Array.from({ length: 100_001 }, (_, i) => ({
          path: `data/${i}.bin`,
          bytes: new Uint8Array(),
        })),
      )
      .then(
        () => 'checked',
        (error) => error.message,
      ),
  );
  expect(refused).toContain('100001 files: far more than a game folder holds');
});

// Files dropped from the desktop on any part of the page go to the panel of their kind; the game
// folder's drop is read from file:// too.
const drops = [
  {
    name: 'a game folder on the game panel',
    on: '#game-panel',
    paths: ['game-folders/AllInPlace'],
    shows: '#game-check',
    says: 'Checking the game in /games/AllInPlace',
  },
  {
    name: "a game's files on the plot",
    on: '#plot',
    paths: ['game-folders/AllInPlace/game.exe', 'game-folders/AllInPlace/bass.dll'],
    shows: '#game-check',
    says: 'bass.dll exports what the plug-in imports',
  },
  {
    name: 'a settings file on the plot',
    on: '#plot',
    paths: ['../../tests/browser/settings/tuned.ini'],
    shows: '#ini-message',
    says: 'tuned.ini: see the warnings',
  },
  {
    name: 'a drive on the settings',
    on: '#settings-fields',
    paths: ['../../scenarios/pause-during-duck.toml'],
    shows: '#drive-message',
    says: 'pause-during-duck.toml: ',
  },
  {
    name: 'a sound on a panel title',
    on: '#game-title',
    paths: ['../../assets/Radio SFX/noise.mp3'],
    shows: '#sound-message',
    says: 'noise.mp3: yours is used',
  },
  {
    name: 'a file of no kind',
    on: '#plot',
    paths: ['../../README.md'],
    shows: '#status',
    says: 'README.md: the page takes',
  },
];
for (const drop of drops) {
  test(`dropped from the desktop: ${drop.name}`, async ({ page }) => {
    const problems = await openTuner(page);
    await dropFromDesktop(
      page,
      drop.on,
      drop.paths.map((path) => join(root, 'build/browser', path)),
    );
    await expect(page.locator(drop.shows)).toContainText(drop.says);
    expect(page.url()).toMatch(/Ostrelle-tuner\.html$/);
    expect(problems).toEqual([]);
  });
}
