// Files given to the page (picker or drop): read as bytes, with a plain message for anything that
// cannot be what was asked for, shown beside where the file was given.

export class FileProblem extends Error {}

// The bytes of file, or a FileProblem: too large, empty (unless an empty file means something),
// or (unless binary is allowed) not text.
export async function readGivenFile(file, { largest, binary = false, empty = false, what }) {
  if (file.size > largest) {
    throw new FileProblem(
      `${file.name}: ${(file.size / 1048576).toFixed(1)} MB is too large for ${what} (at most ${(largest / 1048576).toFixed(0)} MB)`,
    );
  }
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (bytes.length === 0 && !empty) throw new FileProblem(`${file.name}: the file is empty`);
  if (!binary) {
    const utf16 =
      (bytes[0] === 0xff && bytes[1] === 0xfe) || (bytes[0] === 0xfe && bytes[1] === 0xff);
    if (!utf16 && bytes.subarray(0, 65536).includes(0)) {
      throw new FileProblem(
        `${file.name}: not a text file (it holds zero bytes); expected ${what}`,
      );
    }
  }
  return bytes;
}

export function showMessage(element, text, kind = 'error') {
  element.textContent = text;
  element.dataset.kind = kind;
}

// Offers blob to the modder as a download called name.
export function download(blob, name) {
  const url = URL.createObjectURL(blob);
  const link = Object.assign(document.createElement('a'), { href: url, download: name });
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60_000); // a large file takes a while to save
}
