// The settings panel: the modder's settings file opened, saved or reset, and the eight keys, each
// a slider and a number field with its unit, range, default and what it does. A change rewrites
// only that key's line and calls onChange(document) while a slider is dragged.
import { download, FileProblem, readGivenFile, showMessage } from './files.js';
import { IniDocument } from './ini_document.js';
import { $, setText } from './dom.js';

const megabyte = 1048576;

// A slider cannot span 0 to 4294967295 ms usefully: an open or very wide range is shown on the
// slider up to this many times the default; the number field still takes the whole range.
const sliderDefaults = 4;

function sliderSpan(setting) {
  const wide = setting.max === null || setting.max > setting.default * 10 * sliderDefaults;
  return {
    low: setting.min,
    high: wide ? Math.max(setting.default * sliderDefaults, 1) : setting.max,
  };
}

// The range as the shipped file writes it: "0.0 to 1.0", "0 and up", "0 or 1".
function rangeText(setting) {
  const bound = (value) => (isFloat(setting) ? value.toFixed(1) : String(value));
  if (setting.max === null) return `${bound(setting.min)} and up`;
  return `${bound(setting.min)} ${setting.kind === 'switch' ? 'or' : 'to'} ${bound(setting.max)}`;
}

const isFloat = (setting) => setting.kind === 'float';
const isSwitch = (setting) => setting.kind === 'switch';
// The sound volumes change what is heard, not the radio line on the plot.
const heardOnly = new Set(['Volume Damage', 'Volume Noise']);

// What the modder typed into a field, as the text to write (the plug-in reads a decimal point and
// whole numbers only where it reads integers) and what to say beside the field; {refused} for no
// number. A decimal comma, as half of Europe types it, is read as a point.
function readTyped(text, float) {
  const trimmed = text.trim();
  const comma = /^[+-]?\d*,\d+$/.test(trimmed);
  const value = Number(comma ? trimmed.replace(',', '.') : trimmed);
  if (trimmed === '' || !Number.isFinite(value)) {
    return { refused: `'${trimmed}' is no number; the value stays as it was` };
  }
  if (float) return { written: String(value), note: comma ? `read ${trimmed} as ${value}` : '' };
  // Written out in digits: the plug-in would read 1e+21 as 1.
  const written = BigInt(Math.round(value)).toString();
  return {
    written,
    note:
      Number.isInteger(value) && !comma
        ? ''
        : `${trimmed} is written as ${written}: whole numbers only`,
  };
}

export class SettingsPanel {
  constructor(root, { core, shippedIni, onChange }) {
    this.root = root;
    this.core = core;
    this.onChange = () => {
      onChange(this.document);
      this.recheckSoon();
    };
    this.shipped = IniDocument.fromBytes(new TextEncoder().encode(shippedIni));
    this.fields = core.settingKeys.map((setting) =>
      this.makeField($(this.root, 'settings-fields'), setting),
    );
    this.open(this.shipped, 'Ostrelle.ini', false);
    $(this.root, 'ini-file').addEventListener('change', (event) => {
      if (event.target.files[0]) this.openFile(event.target.files[0]);
      event.target.value = ''; // the same file picked again is read again
    });
    // The plug-in reads only a file called Ostrelle.ini beside it, whatever the one opened was called.
    $(this.root, 'ini-save').addEventListener('click', () => {
      download(new Blob([this.document.toBytes()], { type: 'text/plain' }), 'Ostrelle.ini');
      this.edited = false;
      this.say(
        'Saved as Ostrelle.ini in your downloads: put it beside Ostrelle.dll, replacing the one there, and restart the game.',
        'ok',
      );
    });
    $(this.root, 'ini-reset').addEventListener('click', () => this.resetValues());
  }

  say(text, kind) {
    showMessage($(this.root, 'ini-message'), text, kind);
  }

  // Whether the values moved and not yet saved may go: asks the modder first.
  mayReplace(what) {
    return (
      !this.edited ||
      window.confirm(
        `Replace the values you moved and have not saved with ${what}? Cancel keeps yours (save them first with Save Ostrelle.ini).`,
      )
    );
  }

  // Defaults: the eight keys back at their defaults inside the modder's own file, its other
  // sections, keys and comments kept; the shipped file when none was opened.
  resetValues() {
    if (!this.mayReplace('the defaults')) return;
    if (!this.own) {
      this.open(this.shipped, 'Ostrelle.ini', false);
      this.say('The shipped settings.', 'ok');
    } else {
      let reset = this.document;
      for (const { setting } of this.fields)
        reset = reset.withValue(setting.key, String(setting.default));
      this.open(reset, this.name);
      this.edited = true; // not yet saved
      this.say(
        `Every key at its default in ${this.name}, the rest of it as it was: save to keep it.`,
        'ok',
      );
    }
    this.onChange(this.document);
  }

  // Reads a settings file the modder gave, shows it, and says how it reads; answers whether it
  // was opened (the modder may keep unsaved values instead).
  async openFile(file) {
    if (!this.mayReplace(`those of ${file.name}`)) {
      this.say(`${file.name} was not opened: your unsaved values stay.`, 'warning');
      return false;
    }
    try {
      // The plug-in reads an empty file as every key at its default; a recording's settings are
      // one when the game ran without a settings file.
      const bytes = await readGivenFile(file, {
        largest: megabyte,
        empty: true,
        what: 'a settings file (Ostrelle.ini)',
      });
      const { status } = this.open(IniDocument.fromBytes(bytes), file.name);
      const verdict =
        status === 0
          ? 'no warnings'
          : status === 1
            ? 'see the warnings beside the keys'
            : 'cannot be read';
      const others = this.otherWarnings.length ? ` — ${this.otherWarnings.join('; ')}` : '';
      this.say(`${file.name}: ${verdict}${others}`, status === 0 ? 'ok' : 'warning');
      this.onChange(this.document);
      return true;
    } catch (error) {
      this.say(error instanceof FileProblem ? error.message : `${file.name}: ${error.message}`);
      return false;
    }
  }

  // Check-ini again a moment after the values stop moving: the warnings follow the values.
  recheckSoon() {
    clearTimeout(this.recheckTimer);
    this.recheckTimer = setTimeout(() => this.recheck(), 150);
  }

  // One row: the key's name, a slider and a number field (an on/off switch for a switch), its
  // unit, what it does, its range and default, a note on what was typed, and check-ini's
  // warnings; each control is described by all of these for a screen reader.
  makeField(container, setting) {
    const id = `key-${setting.key.replace(/\W+/g, '-').toLowerCase()}`;
    const span = sliderSpan(setting);
    const step = isFloat(setting) ? 0.01 : 1;
    const row = document.createElement('div');
    row.className = 'setting';
    row.id = `${id}-row`;
    row.innerHTML = isSwitch(setting)
      ? `<label class="key" for="${id}" id="${id}-key"></label>
      <label class="switch"><input type="checkbox" role="switch" id="${id}" aria-labelledby="${id}-key"> on</label>`
      : `<label class="key" for="${id}-number"></label>
      <input type="range" id="${id}" min="${span.low}" max="${span.high}" step="${step}">
      <input type="text" inputmode="decimal" autocomplete="off" id="${id}-number">`;
    row.insertAdjacentHTML(
      'beforeend',
      `
      <span class="unit" id="${id}-unit"></span>
      <p class="what" id="${id}-what"></p>
      <p class="range" id="${id}-range"></p>
      <p class="note" id="${id}-note" aria-live="polite"></p>
      <ul class="warnings" id="${id}-warnings" aria-live="polite"></ul>`,
    );
    row.querySelector('.key').textContent = setting.key;
    row.querySelector('.unit').textContent = setting.unit;
    row.querySelector('.what').textContent =
      setting.what +
      (heardOnly.has(setting.key)
        ? ' Press Play to hear it: the plot shows the radio, not this.'
        : '');
    const range = row.querySelector('.range');
    range.textContent = `Default: ${setting.default}. Range: ${rangeText(setting)}. ${setting.outside}`;
    range.title = range.textContent;
    const describedBy = ['unit', 'range', 'what', 'note', 'warnings']
      .map((part) => `${id}-${part}`)
      .join(' ');
    for (const control of row.querySelectorAll('input'))
      control.setAttribute('aria-describedby', describedBy);
    row.querySelector('input[type=range]')?.setAttribute('aria-label', `${setting.key} slider`);
    container.append(row);
    const field = {
      setting,
      row,
      slider: row.querySelector('input[type=range]'),
      number: row.querySelector('input[type=text]'),
      toggle: row.querySelector('input[type=checkbox]'),
      note: row.querySelector('.note'),
      warnings: row.querySelector('.warnings'),
    };
    field.slider?.addEventListener('input', () => this.change(field, field.slider.value));
    field.number?.addEventListener('change', () => this.change(field, field.number.value));
    field.toggle?.addEventListener('change', () =>
      this.change(field, field.toggle.checked ? '1' : '0'),
    );
    return field;
  }

  // Shows document (the modder's file, or the shipped one): each field what the plug-in reads
  // from it, each check-ini warning beside its key. Answers check-ini's report.
  open(document, name, own = true) {
    this.document = document;
    this.name = name;
    this.own = own;
    this.edited = false; // a value moved since the file was opened or saved
    const check = this.core.checkIni(document.toBytes(), name);
    this.check = check;
    this.fields.forEach((field, i) =>
      this.show(field, check.settings?.[i] ?? field.setting.default),
    );
    this.showWarnings(check.data);
    $(this.root, 'ini-report').textContent = check.report;
    return check;
  }

  show(field, value) {
    field.read = value;
    const text = String(isFloat(field.setting) ? Math.round(value * 1e6) / 1e6 : value);
    if (field.toggle) field.toggle.checked = value !== 0;
    else {
      field.number.value = text;
      field.slider.value = text;
      field.number.removeAttribute('aria-invalid');
    }
    field.note.textContent = '';
  }

  change(field, text) {
    const typed = readTyped(text, isFloat(field.setting));
    setText(field.note, typed.refused ?? typed.note);
    field.note.dataset.kind = typed.refused ? 'error' : 'ok';
    if (typed.refused) {
      field.number.setAttribute('aria-invalid', 'true');
      return;
    }
    field.number?.removeAttribute('aria-invalid');
    this.document = this.document.withValue(field.setting.key, typed.written);
    this.edited = true;
    if (field.number && document.activeElement !== field.number) field.number.value = typed.written;
    if (field.slider && document.activeElement !== field.slider) {
      // The slider shows what the plug-in reads (300 keeps its low 8 bits: 44), not what was typed.
      this.recheck();
      field.slider.value = String(
        this.check.settings?.[this.fields.indexOf(field)] ?? typed.written,
      );
    }
    this.onChange(this.document);
  }

  // The field of a key (one of core.settingKeys' key).
  fieldOf(key) {
    return this.fields.find((field) => field.setting.key === key);
  }

  // Check-ini again on the edited document: the warnings follow the values.
  recheck() {
    this.check = this.core.checkIni(this.document.toBytes(), this.name);
    this.showWarnings(this.check.data);
    $(this.root, 'ini-report').textContent = this.check.report;
  }

  // Each check-ini warning beside the key it concerns; the others (unknown keys, sections) apart.
  showWarnings(report) {
    this.fields.forEach((field) => field.warnings.replaceChildren());
    this.otherWarnings = [];
    for (const warning of report?.warnings ?? []) {
      const field = this.fields.find((f) => f.setting.key === warning.key);
      const item = Object.assign(document.createElement('li'), {
        textContent: `line ${warning.line}: ${warning.message}`,
      });
      if (field) field.warnings.append(item);
      else this.otherWarnings.push(item.textContent);
    }
  }
}
