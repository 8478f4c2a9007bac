// The drive panel: a bundled scenario picked from the list, or the modder's scenario or replay
// opened; the list shows whichever drive is in use. onDrive(drive) runs it and answers the run,
// or throws what is wrong with the drive; onSettings(file) opens a settings file given with it.
import { FileProblem, readGivenFile, showMessage } from './files.js';

const $ = (id) => document.getElementById(id);
const largest = 100 * 1048576;
const yours = 'yours:'; // the list's value for the modder's own drive, before its name

export class DrivePanel {
  constructor({ scenarios, onDrive, onSettings }) {
    this.scenarios = scenarios;
    this.onDrive = onDrive;
    this.onSettings = onSettings;
    this.drive = null;
    this.select = $('drive-select');
    for (const name of Object.keys(scenarios))
      this.select.append(new Option(name.replace(/\.toml$/, ''), name));
    this.own = null; // the list's entry for the modder's drive, once one is opened
    this.select.addEventListener('change', () => {
      if (this.select.value.startsWith(yours)) this.use(this.own.drive);
      else this.use({ scenario: scenarios[this.select.value], name: this.select.value });
    });
    $('drive-file').addEventListener('change', (event) => {
      this.openFiles([...event.target.files]);
      event.target.value = ''; // the same file picked again is read again
    });
  }

  // A recording of a drive in the game is FILE.csv with FILE.ini, the settings the game ran with:
  // given together, the settings open first and the drive runs under them.
  async openFiles(files) {
    const isSettings = (file) => /\.ini$/i.test(file.name);
    const settings = files.find(isSettings);
    const drive = files.find((file) => !isSettings(file));
    if (settings) await this.onSettings(settings);
    if (drive) await this.openFile(drive);
  }

  say(text, kind) {
    showMessage($('drive-message'), text, kind);
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
        this.own && this.drive === this.own.drive ? this.own.value : (this.drive?.name ?? '');
      return null;
    }
  }

  // Reads a scenario (.toml) or replay (.csv) the modder gave and runs it.
  async openFile(file) {
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
      const run = this.use(drive);
      if (!run) return;
      this.own?.option.remove();
      const option = new Option(`${file.name} (yours)`, `${yours}${file.name}`);
      this.select.prepend(option);
      this.own = { option, value: option.value, drive };
      this.select.value = option.value;
      this.say(`${file.name}: ${run.frameCount} frames`, 'ok');
    } catch (error) {
      this.say(error.message);
    }
  }
}
