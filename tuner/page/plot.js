// The radio over a drive on a canvas, marked as ostrelle-sim's plot marks it: roofs and ducks
// shaded, pauses grey, stretches where the plug-in watched nothing (out of the vehicle, a status of
// 10 or more) hatched, crashes that ducked as dashed red lines and those that did not as dotted
// grey ones, in ostrelle-sim's colours. A snapshot run is drawn under the current one. Drawn by
// hand on a 2D canvas: a step line and some rectangles need no plotting library, and a few
// thousand points redraw well within a frame.

// The hatched stretches' name, short for the legend: frames in which the plug-in watched nothing
// (no player, out of the vehicle, a status of 10 or more; see gateShade).
const awayLabel = 'not watched';

// The page's own colours; the plot's shared ones come from the module (core.palette), the same as
// ostrelle-sim's plot.
const pageColours = {
  snapshot: '#8a8a8a',
  playhead: '#117a3d',
  cursor: '#444',
  grid: '#e6e6e6',
  text: '#222',
};
const duckState = 1;

const margin = { left: 48, right: 12, top: 10, bottom: 28 };
// The plug-in pushes a byte, so a volume setting above 127 (or a negative one, read by its low 8
// bits) sets the radio anywhere up to 255: the axis reaches 255 when a run goes above full (127).
const axes = [
  { top: 140, ticks: [0, 16, 32, 48, 64, 80, 96, 112, 127] },
  { top: 268, ticks: [0, 32, 64, 96, 127, 160, 192, 224, 255] },
];

export class RadioPlot {
  // palette: the plot's shared colours by name (core.palette).
  constructor(canvas, palette) {
    this.canvas = canvas;
    this.colours = { ...palette, ...pageColours };
    this.run = null;
    this.snapshot = null;
    this.cursor = null; // a frame index, or null
    this.playhead = null; // seconds, or null
    this.view = null; // the stretch shown, {from, to} in seconds, or null: the whole drive
  }

  get from() {
    return this.view?.from ?? 0;
  }

  get to() {
    return this.view?.to ?? this.length;
  }

  // Shows a stretch factor times as long as the one shown (below 1: zooms in), around seconds and
  // within the drive; the whole drive when that would hold all of it.
  zoom(factor, around) {
    const span = Math.max((this.to - this.from) * factor, 0.5);
    if (span >= this.length) {
      this.view = null;
      return;
    }
    const from = Math.min(Math.max(around - span / 2, 0), this.length - span);
    this.view = { from, to: from + span };
  }

  get length() {
    const run = this.run;
    if (!run || run.frameCount === 0) return 1;
    const last = run.frameCount - 1;
    return run.frames.time[last] + run.frames.duration[last];
  }

  // The number which (a column's name: 'time', 'radioVolume', ...) of run's frame.
  value(run, frame, which) {
    return run.frames[which][frame];
  }

  // The frames of run that the stretch shown touches, [first, end).
  framesShown(run) {
    return [this.frameAt(this.from, run), Math.min(this.frameAt(this.to, run) + 1, run.frameCount)];
  }

  // The frame of run at seconds (the last frame that starts at or before it).
  frameAt(seconds, run = this.run) {
    let low = 0;
    let high = run.frameCount - 1;
    while (low < high) {
      const middle = (low + high + 1) >> 1;
      if (this.value(run, middle, 'time') <= seconds) low = middle;
      else high = middle - 1;
    }
    return low;
  }

  x(seconds) {
    return (
      margin.left +
      ((seconds - this.from) / (this.to - this.from)) * (this.width - margin.left - margin.right)
    );
  }

  secondsAt(x) {
    const seconds =
      this.from +
      ((x - margin.left) / (this.width - margin.left - margin.right)) * (this.to - this.from);
    return Math.min(Math.max(seconds, this.from), this.to);
  }

  y(volume) {
    return margin.top + (1 - volume / this.axis.top) * (this.height - margin.top - margin.bottom);
  }

  // The smaller axis that holds every radio volume of the run and the snapshot.
  chooseAxis() {
    this.axis = axes[aboveFull(this.run) || aboveFull(this.snapshot) ? 1 : 0];
  }

  // The canvas's size in CSS pixels, read once and then when it changes (see PlotPanel), not at
  // every draw: read there, it would lay the page out in the middle of a slider's step.
  measure() {
    this.width = this.canvas.clientWidth;
    this.height = this.canvas.clientHeight;
  }

  draw() {
    const { canvas } = this;
    const ratio = window.devicePixelRatio || 1;
    if (this.width === undefined) this.measure();
    if (canvas.width !== Math.round(this.width * ratio))
      canvas.width = Math.round(this.width * ratio);
    if (canvas.height !== Math.round(this.height * ratio))
      canvas.height = Math.round(this.height * ratio);
    const g = canvas.getContext('2d');
    g.setTransform(ratio, 0, 0, ratio, 0, 0);
    g.clearRect(0, 0, this.width, this.height);
    if (!this.run) return;
    this.chooseAxis();
    this.drawAxes(g);
    // What lies outside the stretch shown is cut off at the plot's edges.
    g.save();
    g.beginPath();
    g.rect(margin.left, 0, this.width - margin.left - margin.right, this.height);
    g.clip();
    this.drawStretches(g);
    this.drawGrid(g);
    this.drawCrashes(g);
    if (this.snapshot) this.drawRadio(g, this.snapshot, this.colours.snapshot, [6, 4]);
    this.drawRadio(g, this.run, this.colours.radio, []);
    this.drawLine(
      g,
      this.cursor === null ? null : this.value(this.run, this.cursor, 'time'),
      this.colours.cursor,
      [2, 2],
    );
    this.drawLine(g, this.playhead, this.colours.playhead, []);
    g.restore();
  }

  // The stretches shaded, each a run of frames: in a drive of hours, hundreds of thousands of
  // frames are read for each kind, so the columns are read directly.
  drawStretches(g) {
    const run = this.run;
    const { time, marks, state } = run.frames;
    const bottom = this.height - margin.bottom;
    const [first, end] = this.framesShown(run);
    const shade = (inside, style) => {
      let from = null;
      for (let i = first; i <= end; ++i) {
        const on = i < end && inside(i);
        if (on && from === null) from = time[i];
        if (!on && from !== null) {
          const to = i < run.frameCount ? time[i] : this.length;
          g.fillStyle = style;
          g.fillRect(
            this.x(from),
            margin.top,
            Math.max(this.x(to) - this.x(from), 1),
            bottom - margin.top,
          );
          from = null;
        }
      }
    };
    const { roof, pause, away } = run.marks;
    shade((i) => marks[i] & roof, this.colours.roof);
    shade((i) => state[i] === duckState, this.colours.duck);
    shade((i) => marks[i] & pause, this.colours.pause);
    shade((i) => marks[i] & away, awayPattern(g, this.colours.away));
  }

  drawAxes(g) {
    g.font = '12px sans-serif';
    g.fillStyle = this.colours.text;
    g.textAlign = 'right';
    g.textBaseline = 'middle';
    for (const volume of this.axis.ticks)
      g.fillText(String(volume), margin.left - 6, this.y(volume));
    g.textAlign = 'center';
    g.textBaseline = 'top';
    const step = niceStep((this.to - this.from) / 10);
    for (let t = Math.ceil(this.from / step) * step; t <= this.to + 1e-9; t += step) {
      const label = `${Number(t.toFixed(3))} s`;
      // A label that would run past the right edge ends at it instead.
      const x = Math.min(this.x(t), this.width - g.measureText(label).width / 2 - 1);
      g.fillText(label, x, this.height - margin.bottom + 6);
    }
  }

  drawGrid(g) {
    g.strokeStyle = this.colours.grid;
    g.lineWidth = 1;
    for (const volume of this.axis.ticks) {
      g.beginPath();
      g.moveTo(margin.left, this.y(volume));
      g.lineTo(this.width - margin.right, this.y(volume));
      g.stroke();
    }
  }

  // A crash that began a duck as a dashed line, one that began none as a dotted grey one.
  drawCrashes(g) {
    const run = this.run;
    const [first, end] = this.framesShown(run);
    const marksOf = [
      [run.marks.crash, this.colours.crash, [5, 4]],
      [run.marks.ignoredCrash, this.colours.ignored, [2, 3]],
    ];
    for (const [bit, colour, dash] of marksOf) {
      g.save();
      g.strokeStyle = colour;
      g.setLineDash(dash);
      g.lineWidth = 1.5;
      for (let i = first; i < end; ++i) {
        if (!(run.frames.marks[i] & bit)) continue;
        const x = this.x(run.frames.time[i]);
        g.beginPath();
        g.moveTo(x, margin.top);
        g.lineTo(x, this.height - margin.bottom);
        g.stroke();
      }
      g.restore();
    }
  }

  // The game's radio volume as a step line, one point per change.
  drawRadio(g, run, colour, dash) {
    g.save();
    g.strokeStyle = colour;
    g.lineWidth = 2;
    g.setLineDash(dash);
    g.beginPath();
    const { time, radioVolume } = run.frames;
    let last = null;
    const [first, end] = this.framesShown(run);
    for (let i = first; i < end; ++i) {
      const volume = radioVolume[i];
      const x = this.x(time[i]);
      if (last === null) g.moveTo(x, this.y(volume));
      else if (volume !== last) {
        g.lineTo(x, this.y(last));
        g.lineTo(x, this.y(volume));
      }
      last = volume;
    }
    if (last !== null)
      g.lineTo(this.x(end < run.frameCount ? time[end] : this.length), this.y(last));
    g.stroke();
    g.restore();
  }

  drawLine(g, seconds, colour, dash) {
    if (seconds === null) return;
    g.save();
    g.strokeStyle = colour;
    g.setLineDash(dash);
    g.lineWidth = 2;
    g.beginPath();
    g.moveTo(this.x(seconds), margin.top);
    g.lineTo(this.x(seconds), this.height - margin.bottom);
    g.stroke();
    g.restore();
  }

  // What the hover tip and the readout say of a frame.
  describe(frame, stateName) {
    const run = this.run;
    const marks = this.value(run, frame, 'marks');
    const notes = [
      marks & run.marks.crash ? 'crash' : '',
      marks & run.marks.ignoredCrash ? 'impact ignored' : '',
      marks & run.marks.roof ? 'under a roof' : '',
      marks & run.marks.pause ? 'paused' : '',
      marks & run.marks.away ? awayLabel : '',
    ].filter(Boolean);
    return (
      `${this.value(run, frame, 'time').toFixed(3)} s, frame ${frame}: ${stateName(this.value(run, frame, 'state'))}, ` +
      `radio ${this.value(run, frame, 'radioVolume')} (level ${Number(this.value(run, frame, 'radioLevel').toFixed(2))})` +
      (notes.length ? `, ${notes.join(', ')}` : '')
    );
  }
}

// Whether run sets the radio above full anywhere (kept with the run: a redraw needs it again).
const runsAboveFull = new WeakMap();
function aboveFull(run) {
  if (!run) return false;
  if (!runsAboveFull.has(run)) {
    let above = false;
    for (const volume of run.frames.radioVolume) above ||= volume > 127;
    runsAboveFull.set(run, above);
  }
  return runsAboveFull.get(run);
}

function niceStep(rough) {
  const power = 10 ** Math.floor(Math.log10(rough));
  return [1, 2, 5, 10].map((m) => m * power).find((step) => step >= rough);
}

function awayPattern(g, colour) {
  const tile = document.createElement('canvas');
  tile.width = tile.height = 8;
  const t = tile.getContext('2d');
  t.strokeStyle = colour;
  t.beginPath();
  t.moveTo(0, 8);
  t.lineTo(8, 0);
  t.stroke();
  return g.createPattern(tile, 'repeat');
}

// The legend's entries, [name, colour, kind], in colours (a RadioPlot's).
export const legendOf = (colours) => [
  ['radio volume', colours.radio, 'line'],
  ['snapshot', colours.snapshot, 'dash'],
  ['under a roof', colours.roof, 'box'],
  ['duck', colours.duck, 'box'],
  ['paused', colours.pause, 'box'],
  [awayLabel, colours.away, 'hatch'],
  ['crash', colours.crash, 'dash'],
  ['impact ignored', colours.ignored, 'dash'],
];
