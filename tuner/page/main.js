// The tuner page: starts the plug-in's module, offers it as window.ostrelle, and wires the panels
// (settings, drive, plot, collisions, sound, game check): a change in one runs the drive again and
// shows the run in the others.
import { CollisionsPanel } from './collisions_panel.js';
import { createCore } from './core.js';
import { $ } from './dom.js';
import { DrivePanel } from './drive_panel.js';
import { acceptDropsAnywhere } from './drops.js';
import { ForceStrip } from './force_strip.js';
import { GameCheckPanel } from './game_check.js';
import { wavBlob } from './mix.js';
import { PlotPanel } from './plot_panel.js';
import { SettingsPanel } from './settings_panel.js';
import { SoundPanel } from './sound_panel.js';

const page = document.body;
const slowRunMs = 100; // a run this long or longer is not made on every move of a slider
const quickFrames = 36000; // ten minutes at 60 frames a second: a drive that runs in a few ms
const ready = 'Ready: move a slider, pick a drive, press Play.';
const impactKey = 'Impact intensity';

// The drive, plot and sound stay pinned in view while the settings scroll, but only where they
// leave room: beside the settings when the window holds them whole, above the settings in one
// column when two rows of settings still show below them. Where pinned above, what scrolls into
// view (a slider tabbed to) lands below them, not under them.
function keepStageInView() {
  const stage = $(page, 'stage');
  const place = () => {
    const above = getComputedStyle(stage).gridColumnStart === '1';
    const room = window.innerHeight - stage.offsetHeight;
    const pinned = above ? room >= 2 * document.querySelector('.setting').offsetHeight : room >= 0;
    stage.classList.toggle('pinned', pinned);
    document.documentElement.style.scrollPaddingTop =
      above && pinned ? `${stage.offsetHeight + 8}px` : '';
  };
  new ResizeObserver(place).observe(stage);
  window.addEventListener('resize', place);
}

// The page's panels and the drive they show: a change in one runs the drive again and shows the
// run in the others.
class Tuner {
  constructor(core, assets) {
    this.core = core;
    this.drive = null;
    this.lastRunMs = 0;
    this.rerunQueued = false;
    // Every drive opened so far, by name, for the strip of impact forces: the quick ones run again
    // under the current settings once the current drive is shown; a slow one keeps its last run.
    this.opened = new Map();
    this.othersTimer = null;
    this.plot = new PlotPanel($(page, 'plot-panel'), {
      stateName: core.stateName,
      palette: core.palette,
      onPlay: (seconds) => this.sound.play(seconds),
    });
    this.collisions = new CollisionsPanel($(page, 'collisions-panel'), {
      onFrame: (frame) => this.plot.moveCursor(frame),
    });
    this.sound = new SoundPanel($(page, 'sound-panel'), {
      core,
      assets,
      onSounds: () => this.rerun(),
      onPlayhead: (seconds) => {
        this.plot.playhead = seconds;
      },
      playFrom: () => this.plot.playFrom,
    });
    this.settings = new SettingsPanel($(page, 'settings-panel'), {
      core,
      shippedIni: assets.ini,
      onChange: () => this.rerun(),
    });
    this.impactField = this.settings.fieldOf(impactKey);
    this.forces = new ForceStrip(this.impactField.row, {
      max: Number(this.impactField.slider.max),
      palette: core.palette,
      onThreshold: (value) => this.settings.change(this.impactField, String(value)),
    });
    this.drives = new DrivePanel($(page, 'drive-panel'), {
      scenarios: assets.scenarios,
      foldedName: core.foldedName,
      onDrive: (drive) => this.run(drive),
      onSettings: (file) => this.settings.openFile(file),
    });
    this.game = new GameCheckPanel($(page, 'game-panel'), { core });
  }

  // Runs drive under the current settings and shows the run; throws what is wrong with the drive.
  run(drive = this.drive) {
    const started = performance.now();
    const answer = this.core.run({ ...drive, ini: this.settings.document.toBytes() });
    const ran = performance.now();
    const isNew = drive !== this.drive;
    this.drive = drive;
    this.plot.show(answer, isNew);
    this.collisions.show(answer);
    this.sound.show(answer, drive.name);
    this.lastRunMs = performance.now() - started;
    this.lastRun = { core: ran - started, shown: performance.now() - ran };
    this.opened.set(drive.name, { drive, quick: answer.frameCount <= quickFrames });
    this.showForces(drive.name, answer);
    this.rerunOthersSoon();
    return answer;
  }

  showForces(name, answer) {
    this.forces.show(name, answer.collisions, Number(this.impactField.slider.value));
  }

  rerunOthersSoon() {
    clearTimeout(this.othersTimer);
    this.othersTimer = setTimeout(() => {
      const ini = this.settings.document.toBytes();
      for (const [name, { drive, quick }] of this.opened) {
        if (drive !== this.drive && quick) this.showForces(name, this.core.run({ ...drive, ini }));
      }
    }, 50);
  }

  // A drive of hours takes a second or more to run: a slider then moves freely, the moves made
  // while a run goes on are taken together in the next one, and the page says it is running.
  rerun() {
    if (!this.drive) return;
    if (this.lastRunMs < slowRunMs) {
      this.run();
      return;
    }
    if (this.rerunQueued) return;
    this.rerunQueued = true;
    $(page, 'status').textContent =
      `Running ${this.drive.name} again (about ${Math.ceil(this.lastRunMs / 1000)} s)…`;
    requestAnimationFrame(() =>
      setTimeout(() => {
        this.rerunQueued = false;
        this.run();
        $(page, 'status').textContent = ready;
      }),
    );
  }
}

// Files dropped anywhere go to the panel that takes them.
function acceptDrops(tuner) {
  acceptDropsAnywhere(page, {
    settings: (file) => tuner.settings.openFile(file),
    drive: (files) => tuner.drives.openFiles(files),
    sound: (files) => tuner.sound.useSounds(files),
    game: (files) => tuner.game.check(files),
    nothing: () => {
      $(page, 'status').textContent =
        'The drop brought no files, only a link or text: open them with the buttons instead (Open Ostrelle.ini, Open a scenario, Use my sounds, Pick the game’s folder).';
    },
    unknown: (names) => {
      $(page, 'status').textContent =
        `${names.join(', ')}: the page takes a settings file (.ini), a drive (.toml, .csv), the plug-in's sounds (.mp3), or a game's folder or its files.`;
    },
  });
}

// What the page offers the console and test scripts as window.ostrelle (see docs/tuner-scripting.md).
function consoleApi(tuner, assets, { coreReady, firstPlot }) {
  const { core, game, sound } = tuner;
  return {
    version: assets.version,
    settingKeys: core.settingKeys,
    scenarios: Object.keys(assets.scenarios),
    scenario: (name) => assets.scenarios[name],
    defaultIni: assets.ini,
    simulate: core.simulate,
    checkIni: core.checkIni,
    checkGame: async (files, folder) => (await game.checkFiles(files, folder)).answer,
    // The page's own figures, for the benchmark, in milliseconds: from the start of the page's
    // navigation to the module started (coreReady) and to the first plot; the last run's parts: the plug-in's run (core), the lists
    // written (shown) and the plot drawn (draw); and a mix of the current drive as the player and
    // WAV export make it.
    timings: {
      coreReady,
      firstPlot,
      get lastRun() {
        return { ...tuner.lastRun, draw: tuner.plot.lastDrawMs };
      },
    },
    mix: async () => {
      const mixer = await sound.newMixer();
      return mixer.piece(0, mixer.length)[0].length;
    },
    wav: async () => new Uint8Array(await (await wavBlob(await sound.newMixer())).arrayBuffer()),
  };
}

async function start() {
  const assets = JSON.parse($(page, 'tuner-assets').textContent);
  const core = await createCore(window.createOstrelleModule, assets);
  const coreReady = performance.now();
  const tuner = new Tuner(core, assets);
  acceptDrops(tuner);
  keepStageInView();
  // Leaving the page would lose the values moved since the last save.
  window.addEventListener('beforeunload', (event) => {
    if (tuner.settings.edited) event.preventDefault();
  });
  tuner.drives.select.dispatchEvent(new Event('change'));
  const firstPlot = performance.now(); // from the start of the page's navigation
  window.ostrelle = consoleApi(tuner, assets, { coreReady, firstPlot });
  $(page, 'status').textContent = ready;
  return window.ostrelle;
}

// Resolves to window.ostrelle once the module runs; test scripts and the console await it.
window.ostrelleReady = start().catch((error) => {
  $(page, 'status').textContent = `The tuner could not start: ${error.message ?? error}`;
  throw error;
});
