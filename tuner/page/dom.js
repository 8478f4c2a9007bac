// How a panel finds its parts: by id, inside its own root element, so that no panel reaches into
// another's. A part the page lacks fails at once, naming it.
export function $(root, id) {
  const part = root.querySelector(`#${id}`);
  if (!part) throw new Error(`the page has no #${id} inside ${root.id ? `#${root.id}` : 'itself'}`);
  return part;
}
