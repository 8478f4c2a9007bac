// How a panel finds its parts: by id, inside its own root element, so that no panel reaches into
// another's. A part the page lacks fails at once, naming it.
export function $(root, id) {
  const part = root.querySelector(`#${id}`);
  if (!part) throw new Error(`the page has no #${id} inside ${root.id ? `#${root.id}` : 'itself'}`);
  return part;
}

// Sets element's text, leaving it untouched when it already says that (see showList).
export function setText(element, text) {
  if (element.textContent !== text) element.textContent = text;
}

const listsShown = new WeakMap(); // each list's entries as showList last wrote them

// Fills list (an <ol>) with one item per entry: {text, frame (the item is a button that goes to
// that frame; absent: plain text), ignored (greyed)}. A list already showing these entries is left
// as it is: a slider moves many times a second, and a list written again lays the page out again
// and drops the focus and scroll of whoever reads it.
export function showList(list, entries) {
  const shown = JSON.stringify(entries);
  if (listsShown.get(list) === shown) return;
  listsShown.set(list, shown);
  list.replaceChildren(
    ...entries.map(({ text, frame, ignored }) => {
      const item = document.createElement('li');
      if (ignored) item.className = 'ignored';
      if (frame === undefined) {
        item.textContent = text;
        return item;
      }
      const button = document.createElement('button');
      button.type = 'button';
      button.dataset.frame = frame;
      button.textContent = text;
      item.append(button);
      return item;
    }),
  );
}
