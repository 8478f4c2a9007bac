// The impact forces of every collision in the drives opened so far, beside "Impact intensity": a
// strip, counted ones above and ignored ones below as the plug-in last decided on each drive, with
// the threshold across it. The threshold is dragged, or moved with the arrow keys, to set the value
// between the bumps and the crashes of real drives. onThreshold(value) sets it. Drawn in the plot's
// colours for a crash and an ignored impact (palette: core.palette).
const svgNs = 'http://www.w3.org/2000/svg';
const width = 300;
const height = 56;
const rows = { counted: 14, ignored: 42 }; // the y of each row of marks
const keySteps = {
  ArrowLeft: -10,
  ArrowRight: 10,
  ArrowDown: -10,
  ArrowUp: 10,
  PageDown: -100,
  PageUp: 100,
};

const element = (name, attributes = {}) => {
  const made = document.createElementNS(svgNs, name);
  for (const [key, value] of Object.entries(attributes)) made.setAttribute(key, value);
  return made;
};

export class ForceStrip {
  // root: the element the strip goes into; max: the threshold's largest value on the strip.
  constructor(root, { max, palette, onThreshold }) {
    this.max = max;
    this.onThreshold = onThreshold;
    this.drives = new Map(); // each drive's name to its last run's impact forces
    this.threshold = null; // drawn at the first show
    root.insertAdjacentHTML(
      'beforeend',
      `<figure class="force-strip"><figcaption>Impact forces of the drives opened so far:
       <span class="force-summary"></span></figcaption></figure>`,
    );
    this.summary = root.querySelector('.force-summary');
    this.svg = element('svg', {
      viewBox: `0 0 ${width} ${height}`,
      role: 'group',
      style: `--counted: ${palette.crash}; --ignored: ${palette.ignored}`,
    });
    this.marks = element('g');
    this.line = element('line', { y1: 0, y2: height, class: 'threshold' });
    this.handle = element('rect', {
      y: 0,
      width: 12,
      height,
      class: 'threshold-handle',
      tabindex: 0,
      role: 'slider',
      'aria-label': 'Impact intensity on the forces',
      'aria-valuemin': 0,
      'aria-valuemax': max,
    });
    this.svg.append(
      element('text', { x: 2, y: rows.counted - 6, class: 'row-name' }),
      element('text', { x: 2, y: rows.ignored - 6, class: 'row-name' }),
      this.marks,
      this.line,
      this.handle,
    );
    this.svg.querySelectorAll('.row-name')[0].textContent = 'counted';
    this.svg.querySelectorAll('.row-name')[1].textContent = 'ignored';
    root.querySelector('.force-strip').append(this.svg);
    this.handle.addEventListener('keydown', (event) => {
      const step = keySteps[event.key];
      if (step === undefined) return;
      event.preventDefault();
      this.move(this.threshold + step);
    });
    this.svg.addEventListener('pointerdown', (event) => {
      this.svg.setPointerCapture(event.pointerId);
      this.drag(event);
      const follow = (moved) => this.drag(moved);
      this.svg.addEventListener('pointermove', follow);
      this.svg.addEventListener(
        'pointerup',
        () => this.svg.removeEventListener('pointermove', follow),
        {
          once: true,
        },
      );
    });
  }

  // The strip's x of a force, and the force at an x.
  x(force) {
    return (Math.min(force, this.max) / this.max) * width;
  }

  drag(event) {
    const box = this.svg.getBoundingClientRect();
    this.move(Math.round((((event.clientX - box.left) / box.width) * this.max) / 10) * 10);
  }

  move(value) {
    const threshold = Math.max(0, Math.min(this.max, value));
    if (threshold !== this.threshold) this.onThreshold(threshold);
  }

  // Keeps a drive's impact forces from its run (core.run's collisions), and shows the strip with
  // the threshold at the value the plug-in reads.
  show(name, collisions, threshold) {
    this.drives.set(
      name,
      collisions.filter((collision) => typeof collision.force === 'number'),
    );
    const marks = [];
    const counts = { counted: 0, ignored: 0 };
    for (const [drive, forces] of this.drives) {
      for (const { force, time, verdict } of forces) {
        const row = verdict === 'counted' ? 'counted' : 'ignored';
        ++counts[row];
        marks.push({
          x: this.x(force),
          row,
          title: `${drive} at ${time.toFixed(3)} s: impact force ${force}, ${verdict}`,
        });
      }
    }
    this.showMarks(marks);
    if (threshold !== this.threshold) {
      this.threshold = threshold;
      const x = this.x(threshold);
      for (const [key, value] of [
        ['x1', x],
        ['x2', x],
      ])
        this.line.setAttribute(key, value);
      this.handle.setAttribute('x', x - 6);
      this.handle.setAttribute('aria-valuenow', threshold);
    }
    const summary = `${counts.counted} counted, ${counts.ignored} ignored, in ${this.drives.size} drive${this.drives.size === 1 ? '' : 's'}; Impact intensity ${threshold}`;
    if (this.summary.textContent !== summary) {
      this.summary.textContent = summary;
      this.svg.setAttribute('aria-label', summary);
    }
  }

  // Draws the marks ({x, row, title}), unless they are those drawn: most slider steps move none.
  showMarks(marks) {
    const key = JSON.stringify(marks);
    if (key === this.marksShown) return;
    this.marksShown = key;
    this.marks.replaceChildren(
      ...marks.map(({ x, row, title }) => {
        const mark = element('line', {
          x1: x,
          x2: x,
          y1: rows[row] - 8,
          y2: rows[row] + 8,
          class: row,
        });
        mark.append(element('title'));
        mark.firstChild.textContent = title;
        return mark;
      }),
    );
  }
}
