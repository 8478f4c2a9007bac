// The eight keys, each a slider and a number field with its unit, range, default and what it
// does, over the modder's settings file. A change rewrites only that key's line and calls
// onChange(document) while a slider is dragged.
import { IniDocument } from './ini_document.js';

// A slider cannot span 0 to 4294967295 ms usefully: an open or very wide range is shown on the
// slider up to this many times the default; the number field still takes the whole range.
const sliderDefaults = 4;

function sliderSpan(setting) {
  const wide = setting.max === null || setting.max > setting.default * 10 * sliderDefaults;
  return { low: setting.min, high: wide ? Math.max(setting.default * sliderDefaults, 1) : setting.max };
}

// The range as the shipped file writes it: "0.0 to 1.0", "0 and up", "0 or 1".
function rangeText(setting) {
  const bound = (value) => (isFloat(setting) ? value.toFixed(1) : String(value));
  if (setting.max === null) return `${bound(setting.min)} and up`;
  return `${bound(setting.min)} ${setting.kind === 'switch' ? 'or' : 'to'} ${bound(setting.max)}`;
}

const isFloat = (setting) => setting.kind === 'float';

export class SettingsPanel {
  constructor({ container, core, shippedIni, onChange }) {
    this.core = core;
    this.onChange = onChange;
    this.shipped = IniDocument.fromBytes(new TextEncoder().encode(shippedIni));
    this.fields = core.settingKeys.map((setting) => this.makeField(container, setting));
    this.open(this.shipped, 'Ostrelle.ini', false);
  }

  makeField(container, setting) {
    const id = `key-${setting.key.replace(/\W+/g, '-').toLowerCase()}`;
    const span = sliderSpan(setting);
    const step = isFloat(setting) ? 0.01 : 1;
    const row = document.createElement('div');
    row.className = 'setting';
    row.innerHTML = `
      <label class="key" for="${id}-number"></label>
      <input type="range" id="${id}" min="${span.low}" max="${span.high}" step="${step}">
      <input type="number" id="${id}-number" min="${setting.min}" ${setting.max !== null ? `max="${setting.max}"` : ''} step="${step}">
      <span class="unit"></span>
      <p class="what"></p>
      <p class="range"></p>
      <ul class="warnings" aria-live="polite"></ul>`;
    row.querySelector('.key').textContent = setting.key;
    row.querySelector('input[type=range]').setAttribute('aria-label', `${setting.key} slider`);
    row.querySelector('.unit').textContent = setting.unit;
    row.querySelector('.what').textContent = setting.what;
    row.querySelector('.range').textContent = `Range: ${rangeText(setting)}. ${setting.outside} Default: ${setting.default}.`;
    container.append(row);
    const field = {
      setting,
      row,
      slider: row.querySelector('input[type=range]'),
      number: row.querySelector('input[type=number]'),
      warnings: row.querySelector('.warnings'),
    };
    field.slider.addEventListener('input', () => this.change(field, field.slider.value));
    field.number.addEventListener('change', () => this.change(field, field.number.value));
    return field;
  }

  // Shows document (the modder's file, or the shipped one): each field what the plug-in reads
  // from it, each check-ini warning beside its key. Answers check-ini's report.
  open(document, name, own = true) {
    this.document = document;
    this.name = name;
    this.own = own;
    const check = this.core.checkIni(document.toBytes(), name);
    this.check = check;
    this.fields.forEach((field, i) => this.show(field, check.settings?.[i] ?? field.setting.default));
    this.showWarnings(check.data);
    return check;
  }

  show(field, value) {
    field.read = value;
    const text = String(isFloat(field.setting) ? Math.round(value * 1e6) / 1e6 : value);
    field.number.value = text;
    field.slider.value = text;
  }

  change(field, text) {
    const value = Number(text);
    if (text === '' || !Number.isFinite(value)) return;
    const written = isFloat(field.setting) ? String(value) : String(Math.round(value));
    this.document = this.document.withValue(field.setting.key, written);
    if (document.activeElement !== field.number) field.number.value = written;
    if (document.activeElement !== field.slider) field.slider.value = written;
    this.onChange(this.document);
  }

  // Check-ini again on the edited document: the warnings follow the values.
  recheck() {
    this.check = this.core.checkIni(this.document.toBytes(), this.name);
    this.showWarnings(this.check.data);
  }

  // Each check-ini warning beside the key it concerns; the others (unknown keys, sections) apart.
  showWarnings(report) {
    this.fields.forEach((field) => field.warnings.replaceChildren());
    this.otherWarnings = [];
    for (const warning of report?.warnings ?? []) {
      const field = this.fields.find((f) => f.setting.key === warning.key);
      const item = Object.assign(document.createElement('li'), { textContent: `line ${warning.line}: ${warning.message}` });
      if (field) field.warnings.append(item);
      else this.otherWarnings.push(item.textContent);
    }
  }
}
