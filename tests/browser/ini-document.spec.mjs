// How the page edits a modder's settings file: one key's value replaced where Windows reads it,
// everything else byte for byte as it was. No browser needed.
import { expect, test } from '@playwright/test';
import { IniDocument } from '../../tuner/page/ini_document.js';

const edits = [
  {
    name: 'the key is matched ignoring case, and its name keeps its spelling',
    before: '[Settings]\nradio duck volume = 300 ; loud\nVolume Noise=1\n',
    after: '[Settings]\nradio duck volume =50\nVolume Noise=1\n',
  },
  {
    name: 'Windows line ends stay',
    before: '; mine\r\n[Settings]\r\nRadio Duck Volume=20\r\n',
    after: '; mine\r\n[Settings]\r\nRadio Duck Volume=50\r\n',
  },
  {
    name: 'only the first [Settings] section and the first line of the key are read, so changed',
    before: '[Other]\nRadio Duck Volume=1\n[settings]\nRadio Duck Volume=2\nRadio Duck Volume=3\n[Settings]\nRadio Duck Volume=4\n',
    after: '[Other]\nRadio Duck Volume=1\n[settings]\nRadio Duck Volume=50\nRadio Duck Volume=3\n[Settings]\nRadio Duck Volume=4\n',
  },
  {
    name: 'a key the section lacks goes after its last line, before the blank lines',
    before: '[Settings]\nVolume Noise=1\n\n\n[Other]\nx=1\n',
    after: '[Settings]\nVolume Noise=1\nRadio Duck Volume=50\n\n\n[Other]\nx=1\n',
  },
  {
    name: 'a file without the section gets one at its end',
    before: '; nothing yet',
    after: '; nothing yet\n[Settings]\nRadio Duck Volume=50\n',
  },
  {
    name: 'a section whose last line has no line end gets one',
    before: '[Settings]\r\nVolume Noise=1',
    after: '[Settings]\r\nVolume Noise=1\r\nRadio Duck Volume=50\r\n',
  },
];

for (const edit of edits) {
  test(`setting a value: ${edit.name}`, () => {
    expect(new IniDocument(edit.before).withValue('Radio Duck Volume', '50').text).toBe(edit.after);
  });
}

const encodings = [
  { name: 'ANSI text with bytes above 127', bytes: Uint8Array.from([0x3b, 0xe9, 0x80, 0xff, 0x0d, 0x0a, 0x5b, 0x53, 0x5d]) },
  { name: 'UTF-16 text with its byte order mark', bytes: new Uint8Array(Buffer.from('\ufeff; é ☃\r\n[Settings]\r\n', 'utf16le')) },
];

for (const encoding of encodings) {
  test(`${encoding.name} goes back byte for byte`, () => {
    expect([...IniDocument.fromBytes(encoding.bytes).toBytes()]).toEqual([...encoding.bytes]);
  });
}
