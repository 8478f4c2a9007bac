// The drive panel: a bundled scenario picked from the list, or the modder's scenarios and
// recordings opened, each recording with the settings it was made with; the list shows whichever
// drive is in use. onDrive(drive) runs it and answers the run, or throws what is wrong with it.
import { FileProblem, readGivenFile, showMessage } from './files.js';
import { $ } from './dom.js';

const largest = 100 * 1048576;
const yours = 'yours:'; // the list's value for the modder's own drive, before its name

const stem = (name) => name.replace(/\.[^.]*$/, '');
const isSettings = (file) => /\.ini$/i.test(file.name);

// The drives among files, each with the settings file it runs with and what to say of them: a
// drive's own is FILE.ini beside FILE.csv, its name compared as Windows compares it (foldedName,
// the module's, by which ostrelle-sim replay finds it too); one settings file given with one drive
// of another name is used, with a warning.
function pairDrives(files, foldedName) {
  const settings = files.filter(isSettings);
  const drives = files.filter((file) => !isSettings(file));
  const folded = (file) => foldedName(stem(file.name));
  return drives.map((file) => {
    const own = settings.find((ini) => folded(ini) === folded(file));
    if (own) return { file, settings: own, note: `with the settings of ${own.name}`, kind: 'ok' };
    if (drives.length === 1 && settings.length === 1) {
      return {
        file,
        settings: settings[0],
        note: `with the settings of ${settings[0].name}: its name is not the recording's, check that it is the one the game ran with`,
        kind: 'warning',
      };
    }
    const replay = /\.csv$/i.test(file.name);
    return {
      file,
      settings: null,
      note: replay
        ? `no ${file.name.replace(/\.[^.]*$/, '')}.ini was given with it, so it runs with the settings shown (ostrelle-sim replay would read the .ini beside it)`
        : 'with the settings shown',
      kind: replay ? 'warning' : 'ok',
    };
  });
}

export class DrivePanel {
  // onSettings(file) opens a recording's settings file and answers whether it did; foldedName
  // (core.foldedName) pairs names.
  constructor(root, { scenarios, foldedName, onDrive, onSettings }) {
    this.root = root;
    this.scenarios = scenarios;
    this.foldedName = foldedName;
    this.onDrive = onDrive;
    this.onSettings = onSettings;
    this.drive = null;
    this.select = $(this.root, 'drive-select');
    for (const name of Object.keys(scenarios))
      this.select.append(new Option(name.replace(/\.toml$/, ''), name));
    // The modder's drives by their value in the list: {drive, settings, note, kind}.
    this.own = new Map();
    this.select.addEventListener('change', () => {
      const own = this.own.get(this.select.value);
      if (own) this.useOwn(own);
      else this.use({ scenario: scenarios[this.select.value], name: this.select.value });
    });
    $(this.root, 'drive-file').addEventListener('change', (event) => {
      this.openFiles([...event.target.files]);
      event.target.value = ''; // the same file picked again is read again
    });
  }

  // Opens every drive given, each beside its own settings (see pairDrives); the last one runs,
  // and each stays in the list. A settings file given alone opens in the settings panel.
  async openFiles(files) {
    const pairs = pairDrives(files, this.foldedName);
    if (pairs.length === 0) {
      const settings = files.find(isSettings);
      if (settings) await this.onSettings(settings);
      return;
    }
    for (const pair of pairs) await this.openFile(pair);
  }

  say(text, kind) {
    showMessage($(this.root, 'drive-message'), text, kind);
  }

  // Runs drive; a drive that cannot be run leaves the one before in use. Answers the run, or null.
  use(drive) {
    try {
      const run = this.onDrive(drive);
      this.drive = drive;
      this.say('', 'ok');
      return run;
    } catch (error) {
      this.say(error.message);
      this.select.value =
        [...this.own].find(([, own]) => own.drive === this.drive)?.[0] ?? this.drive?.name ?? '';
      return null;
    }
  }

  // Runs one of the modder's drives with its settings, and says which settings those are and what
  // reading the drive warned of (as ostrelle-sim does: a recording cut by a crash).
  async useOwn({ drive, settings, note, kind }) {
    const opened = settings ? await this.onSettings(settings) : true;
    const run = this.use(drive);
    if (!run) return null;
    const ran = opened
      ? `${drive.name}: ${run.frameCount} frames, ${note}`
      : `${drive.name}: ${run.frameCount} frames, with the settings shown (${settings.name} was not opened: see Settings)`;
    this.say(
      run.warning ? `${ran}. Warning: ${run.warning}` : ran,
      opened && !run.warning ? kind : 'warning',
    );
    return run;
  }

  // Reads a scenario (.toml) or replay (.csv) the modder gave and runs it with its settings.
  async openFile({ file, settings, note, kind }) {
    try {
      const bytes = await readGivenFile(file, {
        largest,
        what: 'a scenario (.toml) or a replay (.csv)',
      });
      if ((bytes[0] === 0xff && bytes[1] === 0xfe) || (bytes[0] === 0xfe && bytes[1] === 0xff)) {
        throw new FileProblem(`${file.name}: UTF-16 text; save it as UTF-8 to use it here`);
      }
      // Kept as bytes: a replay of hours is tens of megabytes, run again on every change.
      const replay =
        /\.csv$/i.test(file.name) ||
        new TextDecoder().decode(bytes.subarray(0, 10)) === 'frame,tick';
      const drive = replay
        ? { replay: bytes, name: file.name }
        : { scenario: bytes, name: file.name };
      const own = { drive, settings, note, kind };
      if (!(await this.useOwn(own))) return;
      const value = `${yours}${file.name}`;
      this.select.querySelector(`option[value="${CSS.escape(value)}"]`)?.remove();
      this.select.prepend(new Option(`${file.name} (yours)`, value));
      this.own.set(value, own);
      this.select.value = value;
    } catch (error) {
      this.say(error.message);
    }
  }
}
