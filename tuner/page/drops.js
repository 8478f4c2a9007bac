// Files dropped anywhere on the page go to the panel their kind belongs to: a settings file, a
// drive, sounds, or a game's folder or files. A drop the page does not take is still caught, so
// the browser never opens the file in the tab in place of the page (losing the moved values).
import { droppedFiles } from './game_check.js';

// What a dropped file is for, by its name; a folder is a game's.
function dropKind(name, isFolder = false) {
  if (isFolder || /\.(exe|dll)$/i.test(name)) return 'game';
  if (/\.ini$/i.test(name)) return 'settings';
  if (/\.(toml|csv)$/i.test(name)) return 'drive';
  if (/\.mp3$/i.test(name)) return 'sound';
  return null;
}

// Calls take.game(files promise), take.drive(files: a drive, and the settings it ran with when
// dropped with it), take.settings(file), take.sound(files), take.unknown(names) or, for a drop that
// brings no files (a link or text: WebKit's drop from the desktop), take.nothing() for each drop
// on target, and marks target while something is dragged over.
export function acceptDropsAnywhere(target, take) {
  let depth = 0; // dragenter and dragleave come in pairs for every element crossed
  const mark = (on) => target.classList.toggle('dragging', on);
  target.addEventListener('dragenter', () => mark(++depth > 0));
  target.addEventListener('dragleave', () => mark(--depth > 0));
  target.addEventListener('dragover', (event) => event.preventDefault());
  target.addEventListener('drop', (event) => {
    event.preventDefault();
    depth = 0;
    mark(false);
    const { dataTransfer } = event;
    const files = [...dataTransfer.files];
    const folders = [...dataTransfer.items].map(
      (item) => item.webkitGetAsEntry?.()?.isDirectory ?? false,
    );
    const kinds = files.map((file, i) => dropKind(file.name, folders[i]));
    if (files.length === 0) take.nothing();
    else if (kinds.includes('game')) take.game(droppedFiles(dataTransfer));
    else if (kinds.includes('drive'))
      take.drive(files.filter((_, i) => kinds[i] === 'drive' || kinds[i] === 'settings'));
    else if (kinds.includes('settings')) take.settings(files[kinds.indexOf('settings')]);
    else if (kinds.includes('sound')) take.sound(files.filter((_, i) => kinds[i] === 'sound'));
    else take.unknown(files.map((file) => file.name));
  });
}
