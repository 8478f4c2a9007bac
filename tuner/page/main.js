// The tuner page: starts the plug-in's module, offers it as window.ostrelle, and wires the panels
// (settings, drive, plot, collisions, sound, game check): a change in one runs the drive again and
// shows the run in the others.
import { CollisionsPanel } from './collisions_panel.js';
import { createCore } from './core.js';
import { DrivePanel } from './drive_panel.js';
import { acceptDropsAnywhere } from './drops.js';
import { ForceStrip } from './force_strip.js';
import { GameCheckPanel } from './game_check.js';
import { wavBlob } from './mix.js';
import { PlotPanel } from './plot_panel.js';
import { SettingsPanel } from './settings_panel.js';
import { SoundPanel } from './sound_panel.js';

const $ = (id) => document.getElementById(id);
const slowRunMs = 100; // a run this long or longer is not made on every move of a slider
const quickFrames = 36000; // ten minutes at 60 frames a second: a drive that runs in a few ms

// The drive, plot and sound stay pinned in view while the settings scroll, but only where they
// leave room: beside the settings when the window holds them whole, above the settings in one
// column when two rows of settings still show below them. Where pinned above, what scrolls into
// view (a slider tabbed to) lands below them, not under them.
function keepStageInView() {
  const stage = $('stage');
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

async function start() {
  const assets = JSON.parse($('tuner-assets').textContent);
  const core = await createCore(window.createOstrelleModule, assets);
  let drive = null;
  let lastRunMs = 0;
  const ready = 'Ready: move a slider, pick a drive, press Play.';

  // Runs drive under the current settings and shows the run; throws what is wrong with the drive.
  const run = (newDrive = drive) => {
    const started = performance.now();
    const answer = core.run({ ...newDrive, ini: settings.document.toBytes() });
    const isNew = newDrive !== drive;
    drive = newDrive;
    plot.show(answer, isNew);
    collisions.show(answer);
    sound.show(answer, drive.name);
    lastRunMs = performance.now() - started;
    opened.set(drive.name, { drive, quick: answer.frameCount <= quickFrames });
    forces.show(drive.name, answer.collisions, Number(impactField.slider.value));
    rerunOthersSoon();
    return answer;
  };
  // Every drive opened so far, by name, for the strip of impact forces: the quick ones run again
  // under the current settings once the current drive is shown; a slow one keeps its last run.
  const opened = new Map();
  let othersTimer = null;
  const rerunOthersSoon = () => {
    clearTimeout(othersTimer);
    othersTimer = setTimeout(() => {
      const ini = settings.document.toBytes();
      for (const [name, { drive: other, quick }] of opened) {
        if (other === drive || !quick) continue;
        const answer = core.run({ ...other, ini });
        forces.show(name, answer.collisions, Number(impactField.slider.value));
      }
    }, 50);
  };
  // A drive of hours takes a second or more to run: a slider then moves freely, the moves made
  // while a run goes on are taken together in the next one, and the page says it is running.
  let rerunQueued = false;
  const rerun = () => {
    if (!drive) return;
    if (lastRunMs < slowRunMs) {
      run();
      return;
    }
    if (rerunQueued) return;
    rerunQueued = true;
    $('status').textContent =
      `Running ${drive.name} again (about ${Math.ceil(lastRunMs / 1000)} s)…`;
    requestAnimationFrame(() =>
      setTimeout(() => {
        rerunQueued = false;
        run();
        $('status').textContent = ready;
      }),
    );
  };

  const plot = new PlotPanel({
    stateName: core.stateName,
    palette: core.palette,
    onPlay: (seconds) => sound.play(seconds),
  });
  const collisions = new CollisionsPanel({ onFrame: (frame) => plot.moveCursor(frame) });
  const sound = new SoundPanel({
    core,
    assets,
    onSounds: rerun,
    onPlayhead: (seconds) => {
      plot.playhead = seconds;
    },
    playFrom: () => plot.playFrom,
  });
  const settings = new SettingsPanel({ core, shippedIni: assets.ini, onChange: rerun });
  const impactKey = 'Impact intensity';
  const impactField = settings.fieldOf(impactKey);
  const forces = new ForceStrip(impactField.row, {
    max: Number(impactField.slider.max),
    palette: core.palette,
    onThreshold: (value) => settings.change(impactField, String(value)),
  });
  const drives = new DrivePanel({
    scenarios: assets.scenarios,
    onDrive: run,
    onSettings: (file) => settings.openFile(file),
  });
  const game = new GameCheckPanel({ core });

  acceptDropsAnywhere(document.body, {
    settings: (file) => settings.openFile(file),
    drive: (files) => drives.openFiles(files),
    sound: (files) => sound.useSounds(files),
    game: (files) => game.check(files),
    nothing: () => {
      $('status').textContent =
        'The drop brought no files, only a link or text: open them with the buttons instead (Open Ostrelle.ini, Open a scenario, Use my sounds, Pick the game’s folder).';
    },
    unknown: (names) => {
      $('status').textContent =
        `${names.join(', ')}: the page takes a settings file (.ini), a drive (.toml, .csv), the plug-in's sounds (.mp3), or a game's folder or its files.`;
    },
  });
  keepStageInView();
  // Leaving the page would lose the values moved since the last save.
  window.addEventListener('beforeunload', (event) => {
    if (settings.edited) event.preventDefault();
  });

  drives.select.dispatchEvent(new Event('change'));
  const firstPlot = performance.now(); // from the start of the page's navigation

  window.ostrelle = {
    version: assets.version,
    settingKeys: core.settingKeys,
    scenarios: Object.keys(assets.scenarios),
    scenario: (name) => assets.scenarios[name],
    defaultIni: assets.ini,
    simulate: core.simulate,
    checkIni: core.checkIni,
    checkGame: async (files, folder) => (await game.checkFiles(files, folder)).answer,
    // The page's own figures, for the benchmark: milliseconds from the script's start to the
    // first plot, and a mix of the current drive as the player and WAV export make it.
    timings: { firstPlot },
    mix: async () => {
      const mixer = await sound.newMixer();
      return mixer.piece(0, mixer.length)[0].length;
    },
    wav: async () => new Uint8Array(await (await wavBlob(await sound.newMixer())).arrayBuffer()),
  };
  $('status').textContent = ready;
  return window.ostrelle;
}

// Resolves to window.ostrelle once the module runs; test scripts and the console await it.
window.ostrelleReady = start().catch((error) => {
  $('status').textContent = `The tuner could not start: ${error.message ?? error}`;
  throw error;
});
