// The game check panel: the files of a game folder a player picks or drops, put into the module's
// memory as check-game needs them, and its checklist shown as the command prints it.
import { FileProblem, showMessage } from './files.js';
import { $ } from './dom.js';

// A game folder holds gigabytes of data the check never opens: only the files it reads (by the
// core's own list, core.checkGameReads) are read; every other file is written as an empty
// placeholder, as the check asks only whether it is there.
const largestRead = 256 * 1048576; // what check-game reads of one file at most
const mostFiles = 100_000;
const mostBytes = 1024 * 1048576;

// A path as the page keeps it: '/' between parts, none empty.
const cleanPath = (path) =>
  path
    .replace(/\\/g, '/')
    .split('/')
    .filter((part) => part !== '' && part !== '.')
    .join('/');

// The files given (a FileList, Files, {path, file, inFolder} from a drop, or {path, bytes}) as
// {folderName, files: [{path, bytes}]}, paths relative to the game's folder; only the files the
// check reads (isRead, the core's checkGameReads) hold their bytes. Files picked or dropped as a
// folder carry its name as the first part of their path (inFolder); files picked one by one lie
// in the game's folder.
async function gameFolderFiles(given, isRead) {
  const entries = [...given].map((item) =>
    item instanceof File
      ? {
          path: cleanPath(item.webkitRelativePath || item.name),
          file: item,
          inFolder: item.webkitRelativePath !== '',
        }
      : { ...item, path: cleanPath(item.path) },
  );
  if (entries.length === 0)
    throw new FileProblem("No files: pick the game's folder, or its .exe and bass.dll");
  if (entries.length > mostFiles) {
    throw new FileProblem(
      `${entries.length} files: far more than a game folder holds; pick the game's own folder (where its .exe is)`,
    );
  }
  let folderName = 'game';
  const first = entries[0].path.split('/')[0];
  if (entries.every((entry) => entry.inFolder && entry.path.startsWith(`${first}/`))) {
    folderName = first;
    for (const entry of entries) entry.path = entry.path.slice(first.length + 1);
  }
  // Files picked or dropped one by one have lost their folders: where the sounds lie is not known.
  const loose = entries.every((entry) => !entry.inFolder && !entry.path.includes('/'));
  let bytesRead = 0;
  const files = [];
  for (const [i, entry] of entries.entries()) {
    if (!isRead(entry.path)) {
      files.push({ path: entry.path, bytes: new Uint8Array() });
    } else if (entry.bytes !== undefined) {
      files.push({
        path: entry.path,
        bytes:
          typeof entry.bytes === 'string'
            ? new TextEncoder().encode(entry.bytes)
            : new Uint8Array(entry.bytes),
      });
    } else {
      if (entry.file.size > largestRead) {
        throw new FileProblem(
          `${entry.path}: ${(entry.file.size / 1048576).toFixed(0)} MB, larger than the check reads (256 MB); this is no game program or plug-in file`,
        );
      }
      bytesRead += entry.file.size;
      if (bytesRead > mostBytes) {
        throw new FileProblem(
          "More than 1 GB of programs: pick the game's own folder (where its .exe is), or its .exe and bass.dll",
        );
      }
      files.push({ path: entry.path, bytes: new Uint8Array(await entry.file.arrayBuffer()) });
    }
    if (i % 5000 === 4999) await new Promise((resume) => setTimeout(resume)); // lets the page breathe
  }
  return { folderName, files, loose };
}

// The files of a drop, as {path, file, inFolder} with a dropped folder's name first in each path.
// Only the drop event itself may look at what was dropped, so this takes the items there and
// reads them afterwards. Chromium refuses to read a dropped folder's entries on a page opened
// from file:// ("A URI supplied to the API was malformed"), but reads its file system handles;
// Firefox has no handles, and reads the entries.
export function droppedFiles(dataTransfer) {
  const items = [...dataTransfer.items].filter((item) => item.kind === 'file');
  const handles = items.map((item) => item.getAsFileSystemHandle?.()).filter(Boolean);
  const entries = items.map((item) => item.webkitGetAsEntry?.()).filter(Boolean);
  const files = [...dataTransfer.files];
  return (async () => {
    const roots =
      handles.length > 0
        ? (await Promise.all(handles)).filter(Boolean).map(handleNode)
        : entries.map(entryNode);
    if (roots.length === 0) return files;
    const found = [];
    const walk = async (node, path) => {
      if (!node.isDirectory) {
        found.push({ path, file: await node.file() });
        return;
      }
      for await (const child of node.children()) {
        await walk(child, `${path}/${child.name}`);
        if (found.length > mostFiles) return;
      }
    };
    for (const root of roots) await walk(root, root.name);
    // One dropped folder is the game's folder, named first in each path; anything else dropped (the
    // .exe, bass.dll, the plug-in's folder) lies in the game's folder as it is.
    const inFolder = roots.length === 1 && roots[0].isDirectory;
    return found.map(({ path, file }) => ({ path, file, inFolder }));
  })();
}

// A file or folder of a drop, read alike from a file system handle and from an entry.
function handleNode(handle) {
  return {
    name: handle.name,
    isDirectory: handle.kind === 'directory',
    file: () => handle.getFile(),
    async *children() {
      for await (const child of handle.values()) yield handleNode(child);
    },
  };
}

function entryNode(entry) {
  return {
    name: entry.name,
    isDirectory: entry.isDirectory,
    file: () => new Promise((resolve, reject) => entry.file(resolve, reject)),
    async *children() {
      const reader = entry.createReader();
      for (;;) {
        const batch = await new Promise((resolve, reject) => reader.readEntries(resolve, reject));
        if (batch.length === 0) return;
        for (const child of batch) yield entryNode(child);
      }
    },
  };
}

export class GameCheckPanel {
  constructor(root, { core }) {
    this.root = root;
    this.core = core;
    $(this.root, 'game-files').addEventListener('change', (event) => {
      this.check([...event.target.files]);
      event.target.value = '';
    });
    // WebKit's folder picker can give the folder as one empty entry instead of its files.
    $(this.root, 'game-folder').addEventListener('change', (event) => {
      const files = [...event.target.files];
      event.target.value = '';
      if (files.some((file) => file.webkitRelativePath === '')) {
        $(this.root, 'game-check').replaceChildren();
        showMessage(
          $(this.root, 'game-message'),
          "No files arrived from the folder (this browser gives the folder, not what is in it): pick the game's .exe, bass.dll and the plug-in's files with the button beside it, or drop the folder on the page.",
        );
      } else this.check(files);
    });
  }

  // check-game over the files given (see gameFolderFiles), in folder or /games/ and the folder's
  // name: {answer (the core's), loose (the files came without their folders)}.
  async checkFiles(given, folder) {
    const { folderName, files, loose } = await gameFolderFiles(given, this.core.checkGameReads);
    return { answer: this.core.checkGame(files, folder ?? `/games/${folderName}`), loose };
  }

  // Checks what was picked or dropped (files, or a promise of them) and shows the checklist.
  async check(given) {
    showMessage($(this.root, 'game-message'), 'Reading the files…', 'ok');
    try {
      const { answer, loose } = await this.checkFiles(await given);
      showChecklist(
        $(this.root, 'game-check'),
        loose ? withUnseenSounds(answer.data, this.core.sounds) : answer.data,
      );
      showMessage($(this.root, 'game-message'), '', 'ok');
    } catch (error) {
      $(this.root, 'game-check').replaceChildren();
      showMessage($(this.root, 'game-message'), error.message);
    }
  }
}

// Files without their folders cannot show where the sounds lie, only whether one was given: a
// sound not found is then one the check could not see, not one that is missing.
function withUnseenSounds(data, sounds) {
  let sound = 0;
  const checks = data.checks.map((check) => {
    if (check.topic !== 'sound') return check;
    const { file } = sounds[sound++];
    if (check.status === 'ok') return check;
    return {
      ...check,
      status: 'unseen',
      finding: `${file}: not among the files picked`,
      advice:
        "Files picked one by one lose their folders, so the check cannot see where the sounds lie: pick or drop the game's folder to check them.",
    };
  });
  return { ...data, checks, status: checks.some((check) => check.status === 'fail') ? 1 : 0 };
}

const marks = { ok: 'ok', warn: 'warn', fail: 'FAIL', unseen: 'not seen' };

// The checklist: one row per check, marked ok, warn, FAIL or not seen, with what to do and its details below it.
function showChecklist(element, { status, folder, checks }) {
  const list = document.createElement('ul');
  list.className = 'checklist';
  list.setAttribute('aria-label', `Checking the game in ${folder}`);
  for (const check of checks) {
    const row = document.createElement('li');
    row.className = check.status;
    const mark = Object.assign(document.createElement('span'), {
      className: 'mark',
      textContent: marks[check.status],
    });
    const topic = Object.assign(document.createElement('span'), {
      className: 'topic',
      textContent: check.topic,
    });
    row.append(mark, topic, ` ${check.finding}`);
    if (check.advice)
      row.append(
        Object.assign(document.createElement('div'), {
          className: 'advice',
          textContent: check.advice,
        }),
      );
    for (const detail of check.details)
      row.append(
        Object.assign(document.createElement('div'), { className: 'detail', textContent: detail }),
      );
    list.append(row);
  }
  const unseen = checks.some((check) => check.status === 'unseen');
  const verdict = document.createElement('p');
  verdict.className = status === 0 ? 'verdict ok' : 'verdict fail';
  verdict.textContent =
    status !== 0
      ? 'Do what the FAIL lines say, then check again.'
      : unseen
        ? "Everything the check can see is in place; pick the game's folder to check the sounds too."
        : 'The plug-in has everything it needs here.';
  const heading = Object.assign(document.createElement('p'), {
    className: 'checked',
    textContent: `Checking the game in ${folder}`,
  });
  element.replaceChildren(verdict, heading, list);
}
