// The collisions panel, under the plot: what the drive's collisions and roofs were, each
// collision's impact force against "Impact intensity" (or the fall of health that made it a crash)
// and each roof's gap against the window the plug-in counts (more than 1.2, less than 25), with
// how many count at the current settings and why each other one does not. From the run's answer
// (core.run: collisions, each {frame, time, force or fall, verdict}, and roofs, each {frame, time,
// gap, verdict}). Each entry moves the plot's cursor to its frame: onFrame(frame).
import { $, setText, showList } from './dom.js';

const mostListed = 300; // of each kind; a recording of hours may hold thousands

// Counts by verdict, "counted" first: "3 collisions: 2 counted, 1 below the threshold".
function summary(events, what) {
  if (events.length === 0) return `no ${what}s`;
  const counts = new Map([['counted', 0]]);
  for (const event of events) counts.set(event.verdict, (counts.get(event.verdict) ?? 0) + 1);
  return (
    `${events.length} ${what}${events.length === 1 ? '' : 's'}: ` +
    [...counts].map(([verdict, count]) => `${count} ${verdict}`).join(', ')
  );
}

export class CollisionsPanel {
  constructor(root, { onFrame }) {
    this.root = root;
    for (const id of ['collisions-list', 'roofs-list']) {
      $(this.root, id).addEventListener('click', (event) => {
        const frame = event.target.closest('button')?.dataset.frame;
        if (frame !== undefined) onFrame(Number(frame));
      });
    }
  }

  // Shows run's collisions and roofs, replacing what was shown.
  show(run) {
    this.list('collision', run.collisions, (event) =>
      event.fall === undefined ? `impact force ${event.force}` : `health fell by ${event.fall}`,
    );
    this.list('roof', run.roofs, (event) => `${event.gap} up`);
  }

  // Lists events of a kind (what), each in the words of told(event).
  list(what, events, told) {
    setText($(this.root, `${what}s-summary`), summary(events, what));
    const entries = events.slice(0, mostListed).map((event) => ({
      text: `${event.time.toFixed(3)} s, frame ${event.frame}: ${told(event)} — ${event.verdict}`,
      frame: event.frame,
      ignored: event.verdict !== 'counted',
    }));
    if (events.length > mostListed)
      entries.push({ text: `and ${events.length - mostListed} more` });
    showList($(this.root, `${what}s-list`), entries);
  }
}
