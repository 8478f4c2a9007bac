// The plot panel: the radio over the drive, with a hover tip, a keyboard cursor and its readout,
// a snapshot, zoom into a stretch, and the timeline: what happened, in ostrelle-sim's timeline's
// words, one entry a frame, as a list that a screen reader reads and that moves the cursor.
// onPlay(seconds) plays from a point.
import { legendOf, RadioPlot } from './plot.js';
import { $, showList } from './dom.js';

const mostListed = 300; // a longer list is cut: zoom in to list a stretch

// What happened in each frame of run that has a line in ostrelle-sim's timeline, in words: a Map
// from the frame to its lines' texts, in order.
function eventsByFrame(run) {
  const events = new Map();
  for (const { frame, text } of run.timeline) {
    if (!events.has(frame)) events.set(frame, []);
    events.get(frame).push(text);
  }
  return events;
}

export class PlotPanel {
  // palette: the plot's colours (core.palette).
  constructor(root, { stateName, palette, onPlay }) {
    this.root = root;
    this.plot = new RadioPlot($(this.root, 'plot'), palette);
    this.stateName = stateName;
    this.onPlay = onPlay;
    $(this.root, 'plot-legend').innerHTML = legendOf(this.plot.colours)
      .map(
        ([name, colour, kind]) =>
          `<span class="swatch ${kind}" style="--colour:${colour}"></span>${name}`,
      )
      .join(' ');
    const canvas = $(this.root, 'plot');
    canvas.addEventListener('mousemove', (event) => this.showTip(event));
    canvas.addEventListener('mouseleave', () => {
      $(this.root, 'plot-tip').hidden = true;
    });
    canvas.addEventListener('keydown', (event) => this.key(event));
    canvas.addEventListener('click', (event) => {
      if (!this.run) return;
      const seconds = this.plot.secondsAt(event.offsetX);
      this.moveCursor(this.plot.frameAt(seconds));
      onPlay(seconds);
    });
    $(this.root, 'snapshot').addEventListener('click', () => {
      this.plot.snapshot = this.run;
      $(this.root, 'snapshot-clear').disabled = false;
      this.redraw();
    });
    $(this.root, 'snapshot-clear').addEventListener('click', () => {
      this.clearSnapshot();
      this.redraw();
    });
    $(this.root, 'zoom-in').addEventListener('click', () => this.zoom(0.25));
    $(this.root, 'zoom-out').addEventListener('click', () => this.zoom(4));
    $(this.root, 'zoom-all').addEventListener('click', () => this.zoom(Infinity));
    $(this.root, 'plot-timeline').addEventListener('click', (event) => {
      const frame = event.target.closest('button')?.dataset.frame;
      if (frame !== undefined) this.moveCursor(Number(frame));
    });
    // A canvas resized is cleared: drawn again at its new size before that frame is painted.
    new ResizeObserver(() => {
      this.plot.measure();
      this.draw();
    }).observe(canvas);
    this.drawQueued = false;
    this.lastDrawMs = 0; // for the benchmark
  }

  // Draws the plot in the next frame, once however many changes come before it: a dragged slider
  // may send more than one value a frame, and a playing drive moves the playhead every frame.
  redraw() {
    if (this.drawQueued) return;
    this.drawQueued = true;
    requestAnimationFrame(() => {
      if (this.drawQueued) this.draw();
    });
  }

  draw() {
    const started = performance.now();
    this.drawQueued = false;
    this.plot.draw();
    this.lastDrawMs = performance.now() - started;
  }

  get run() {
    return this.plot.run;
  }

  // A snapshot is of one drive: another drive's would be drawn against times it never had.
  clearSnapshot() {
    this.plot.snapshot = null;
    $(this.root, 'snapshot-clear').disabled = true;
  }

  // Shows run; a new drive (not the same drive run again) shows whole, without the snapshot.
  show(run, newDrive) {
    this.plot.run = run;
    this.events = eventsByFrame(run);
    if (newDrive) {
      this.clearSnapshot();
      this.plot.view = null;
      this.plot.cursor = null;
      $(this.root, 'plot-readout').textContent = '';
    }
    if (this.plot.cursor !== null && this.plot.cursor >= run.frameCount) this.plot.cursor = null;
    // A drive opened shows at once; the same drive run again shows in the next frame.
    if (newDrive) this.draw();
    else this.redraw();
    this.listTimeline();
  }

  // The seconds Play starts from: the cursor's frame, or the start.
  get playFrom() {
    return this.plot.cursor === null ? 0 : this.plot.value(this.run, this.plot.cursor, 'time');
  }

  set playhead(seconds) {
    this.plot.playhead = seconds;
    this.redraw();
  }

  describe(frame) {
    return this.plot.describe(frame, this.stateName);
  }

  showTip(event) {
    if (!this.run) return;
    const tip = $(this.root, 'plot-tip');
    tip.textContent = this.describe(this.plot.frameAt(this.plot.secondsAt(event.offsetX)));
    tip.hidden = false;
    tip.style.left = `${Math.min(event.offsetX + 12, this.plot.width - 260)}px`;
    tip.style.top = `${event.offsetY + 12}px`;
  }

  moveCursor(frame) {
    const plot = this.plot;
    plot.cursor = Math.max(0, Math.min(frame, this.run.frameCount - 1));
    const seconds = plot.value(this.run, plot.cursor, 'time');
    if (seconds < plot.from || seconds > plot.to) plot.zoom(1, seconds);
    $(this.root, 'plot-readout').textContent = this.describe(plot.cursor);
    this.redraw();
  }

  zoom(factor) {
    const plot = this.plot;
    plot.zoom(
      factor,
      plot.cursor === null ? (plot.from + plot.to) / 2 : plot.value(this.run, plot.cursor, 'time'),
    );
    this.redraw();
    this.listTimeline();
  }

  key(event) {
    if (!this.run) return;
    const step = {
      ArrowLeft: -1,
      ArrowRight: 1,
      PageUp: -60,
      PageDown: 60,
      Home: -Infinity,
      End: Infinity,
    }[event.key];
    const zoom = { '+': 0.25, '=': 0.25, '-': 4 }[event.key];
    if (step !== undefined) {
      const from = this.plot.cursor ?? 0;
      this.moveCursor(Number.isFinite(step) ? from + step : step < 0 ? 0 : this.run.frameCount - 1);
    } else if (zoom !== undefined) this.zoom(zoom);
    else if (event.key === 'Enter' || event.key === ' ') this.onPlay(this.playFrom);
    else return;
    event.preventDefault();
  }

  // The timeline of the stretch shown: one button per frame where something happened.
  listTimeline() {
    const run = this.run;
    const [first, end] = this.plot.framesShown(run);
    const entries = [];
    let more = 0;
    for (const [frame, events] of this.events) {
      if (frame < first || frame >= end) continue;
      if (entries.length === mostListed) ++more;
      else
        entries.push({
          text: `${this.plot.value(run, frame, 'time').toFixed(3)} s: ${events.join('; ')}`,
          frame,
        });
    }
    if (entries.length === 0) entries.push({ text: 'Nothing happens in this stretch.' });
    if (more > 0) entries.push({ text: `and ${more} more: zoom in to list them` });
    showList($(this.root, 'plot-timeline'), entries);
  }
}
