// A settings file as the modder's own bytes: read, its values replaced one line at a time, and
// written back with everything else (comments, order, unknown lines, line ends) as it was.
//
// The plug-in reads the file through the Windows profile calls: ANSI text, or UTF-16 with its byte
// order mark. ANSI text is kept as one character per byte, so every byte goes back unchanged.

const utf16Mark = [0xff, 0xfe];

export class IniDocument {
  constructor(text, utf16 = false) {
    this.text = text;
    this.utf16 = utf16;
  }

  static fromBytes(bytes) {
    if (bytes[0] === utf16Mark[0] && bytes[1] === utf16Mark[1]) {
      return new IniDocument(new TextDecoder('utf-16le').decode(bytes.subarray(2)), true);
    }
    let text = '';
    for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
    return new IniDocument(text);
  }

  toBytes() {
    if (this.utf16) {
      const bytes = new Uint8Array(2 + this.text.length * 2);
      bytes.set(utf16Mark);
      for (let i = 0; i < this.text.length; ++i) {
        bytes[2 + 2 * i] = this.text.charCodeAt(i) & 0xff;
        bytes[3 + 2 * i] = this.text.charCodeAt(i) >> 8;
      }
      return bytes;
    }
    return Uint8Array.from(this.text, (c) => c.charCodeAt(0) & 0xff);
  }

  // The document with key's value set to value: the key's first line in the first [Settings]
  // section (names compared ignoring case, as Windows does) keeps its name and loses its old
  // value; a key the section lacks goes at the section's end, and a file without the section gets
  // one at its end.
  withValue(key, value) {
    const lines = this.text.split(/(?<=\n)/);
    const ending = this.text.includes('\r\n') ? '\r\n' : '\n';
    const lower = key.toLowerCase();
    let section = -1;
    let sectionEnd = lines.length;
    for (let i = 0; i < lines.length; ++i) {
      const line = lines[i].trim();
      if (line.startsWith('[')) {
        if (section >= 0) {
          sectionEnd = i;
          break;
        }
        if (line.slice(1, line.indexOf(']') >= 0 ? line.indexOf(']') : undefined).trim().toLowerCase() === 'settings') section = i;
        continue;
      }
      const equals = lines[i].indexOf('=');
      if (section >= 0 && equals >= 0 && lines[i].slice(0, equals).trim().toLowerCase() === lower) {
        const end = lines[i].match(/\r?\n$/)?.[0] ?? '';
        lines[i] = `${lines[i].slice(0, equals + 1)}${value}${end}`;
        return new IniDocument(lines.join(''), this.utf16);
      }
    }
    const newLine = `${key}=${value}${ending}`;
    if (section < 0) {
      const separator = this.text === '' || this.text.endsWith('\n') ? '' : ending;
      return new IniDocument(`${this.text}${separator}[Settings]${ending}${newLine}`, this.utf16);
    }
    // After the section's last line that is not blank.
    let at = sectionEnd;
    while (at > section + 1 && lines[at - 1].trim() === '') --at;
    if (at > 0 && !lines[at - 1].endsWith('\n')) lines[at - 1] += ending;
    lines.splice(at, 0, newLine);
    return new IniDocument(lines.join(''), this.utf16);
  }
}
