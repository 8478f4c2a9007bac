// The tuner page: starts the plug-in's module, offers it as window.ostrelle, and wires the panels:
// settings, drive, plot, sound and the game check.
import { createCore, decodeBase64 } from './core.js';
import { acceptDrops, download, FileProblem, readGivenFile, showMessage } from './files.js';
import { droppedFiles, gameFolderFiles, showChecklist } from './game_check.js';
import { IniDocument } from './ini_document.js';
import { decodeSound, Mixer, Player, wavBlob } from './mix.js';
import { legend, RadioPlot } from './plot.js';
import { SettingsPanel } from './settings_panel.js';

const $ = (id) => document.getElementById(id);
const megabyte = 1048576;
const soundNames = ['broke.mp3', 'broke2.mp3', 'noise.mp3'];

async function start() {
  const assets = JSON.parse($('tuner-assets').textContent);
  const core = await createCore(window.createOstrelleModule, assets);
  const plot = new RadioPlot($('plot'));
  const player = new Player();
  const state = { drive: null, run: null, mixer: null, sounds: {}, ownSounds: {}, bed: null };

  // Runs the drive under the current settings and redraws; the mix is made again when needed.
  const rerun = () => {
    if (!state.drive) return;
    state.run = core.run({ ...state.drive, ini: settings.document.toBytes() });
    state.mixer = null;
    plot.run = state.run;
    plot.draw();
    if (player.playing) playOnSoon();
  };

  const settings = new SettingsPanel({
    container: $('settings-fields'),
    core,
    shippedIni: assets.ini,
    onChange: () => {
      rerun();
      scheduleRecheck();
    },
  });
  let recheckTimer = 0;
  const scheduleRecheck = () => {
    clearTimeout(recheckTimer);
    recheckTimer = setTimeout(() => {
      settings.recheck();
      showReport();
    }, 150);
  };
  const showReport = () => {
    $('ini-report').textContent = settings.check.report;
  };
  showReport();

  // Settings file: open, drop, save, defaults.
  const openIni = async (file) => {
    try {
      const bytes = await readGivenFile(file, { largest: megabyte, what: 'a settings file (Ostrelle.ini)' });
      const check = settings.open(IniDocument.fromBytes(bytes), file.name);
      showMessage($('ini-message'), `${file.name}: ${check.status === 0 ? 'no warnings' : check.status === 1 ? 'see the warnings beside the keys' : 'cannot be read'}` +
        (settings.otherWarnings.length ? ` — ${settings.otherWarnings.join('; ')}` : ''), check.status === 0 ? 'ok' : 'warning');
      showReport();
      rerun();
    } catch (error) {
      showMessage($('ini-message'), error instanceof FileProblem ? error.message : `${file.name}: ${error.message}`);
    }
  };
  $('ini-file').addEventListener('change', (event) => event.target.files[0] && openIni(event.target.files[0]));
  acceptDrops($('ini-drop'), (files) => openIni(files[0]));
  // The plug-in reads only a file called Ostrelle.ini beside it, whatever the one opened was called.
  $('ini-save').addEventListener('click', () => {
    download(new Blob([settings.document.toBytes()], { type: 'text/plain' }), 'Ostrelle.ini');
    showMessage($('ini-message'), 'Saved as Ostrelle.ini in your downloads: put it beside Ostrelle.dll, replacing the one there, and restart the game.', 'ok');
  });
  $('ini-reset').addEventListener('click', () => {
    settings.open(settings.shipped, 'Ostrelle.ini', false);
    showMessage($('ini-message'), 'The shipped settings.', 'ok');
    showReport();
    rerun();
  });

  // Drive: a bundled scenario, or the modder's scenario or replay.
  for (const name of Object.keys(assets.scenarios)) {
    $('drive-select').append(new Option(name.replace(/\.toml$/, ''), name));
  }
  const useDrive = (drive) => {
    try {
      const previous = state.drive;
      state.drive = drive;
      try {
        rerun();
      } catch (error) {
        state.drive = previous;
        throw error;
      }
      showMessage($('drive-message'), '', 'ok');
      return true;
    } catch (error) {
      showMessage($('drive-message'), error.message);
      return false;
    }
  };
  $('drive-select').addEventListener('change', () => {
    const name = $('drive-select').value;
    useDrive({ scenario: assets.scenarios[name], name });
  });
  const openDrive = async (file) => {
    try {
      const bytes = await readGivenFile(file, { largest: 100 * megabyte, what: 'a scenario (.toml) or a replay (.csv)' });
      if ((bytes[0] === 0xff && bytes[1] === 0xfe) || (bytes[0] === 0xfe && bytes[1] === 0xff)) {
        throw new FileProblem(`${file.name}: UTF-16 text; save it as UTF-8 to use it here`);
      }
      const text = new TextDecoder().decode(bytes);
      const replay = /\.csv$/i.test(file.name) || text.startsWith('frame,tick');
      if (useDrive(replay ? { replay: text, name: file.name } : { scenario: text, name: file.name })) {
        showMessage($('drive-message'), `${file.name}: ${state.run.frameCount} frames`, 'ok');
      }
    } catch (error) {
      showMessage($('drive-message'), error.message);
    }
  };
  $('drive-file').addEventListener('change', (event) => event.target.files[0] && openDrive(event.target.files[0]));
  acceptDrops($('drive-drop'), (files) => openDrive(files[0]));

  // Plot: hover, keys, click to play from there, snapshot.
  $('plot-legend').innerHTML = legend.map(([name, colour, kind]) => `<span class="swatch ${kind}" style="--colour:${colour}"></span>${name}`).join(' ');
  const describeFrame = (frame) => plot.describe(frame, core.stateName);
  $('plot').addEventListener('mousemove', (event) => {
    if (!state.run) return;
    const frame = plot.frameAt(plot.secondsAt(event.offsetX));
    const tip = $('plot-tip');
    tip.textContent = describeFrame(frame);
    tip.hidden = false;
    tip.style.left = `${Math.min(event.offsetX + 12, plot.width - 260)}px`;
    tip.style.top = `${event.offsetY + 12}px`;
  });
  $('plot').addEventListener('mouseleave', () => {
    $('plot-tip').hidden = true;
  });
  const moveCursor = (frame) => {
    plot.cursor = Math.max(0, Math.min(frame, state.run.frameCount - 1));
    $('plot-readout').textContent = describeFrame(plot.cursor);
    plot.draw();
  };
  $('plot').addEventListener('keydown', (event) => {
    if (!state.run) return;
    const step = { ArrowLeft: -1, ArrowRight: 1, PageUp: -60, PageDown: 60, Home: -Infinity, End: Infinity }[event.key];
    if (step !== undefined) {
      event.preventDefault();
      const from = plot.cursor ?? 0;
      moveCursor(Number.isFinite(step) ? from + step : step < 0 ? 0 : state.run.frameCount - 1);
    } else if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      play(plot.cursor === null ? 0 : plot.value(state.run, plot.cursor, 0));
    }
  });
  $('plot').addEventListener('click', (event) => {
    if (!state.run) return;
    const seconds = plot.secondsAt(event.offsetX);
    moveCursor(plot.frameAt(seconds));
    play(seconds);
  });
  $('snapshot').addEventListener('click', () => {
    plot.snapshot = state.run;
    $('snapshot-clear').disabled = false;
    plot.draw();
  });
  $('snapshot-clear').addEventListener('click', () => {
    plot.snapshot = null;
    $('snapshot-clear').disabled = true;
    plot.draw();
  });
  new ResizeObserver(() => plot.draw()).observe($('plot'));

  // Sound: decode ours once, the modder's on request; mix, play, export.
  const decodeAll = async () => {
    if (state.bed) return;
    state.bed = await decodeSound(decodeBase64(assets.radioBed));
    for (const name of soundNames) {
      state.sounds[name] = await decodeSound(decodeBase64(assets.sounds[name]));
    }
  };
  const currentMixer = async () => {
    await decodeAll();
    state.mixer ??= new Mixer(state.run, { ...state.sounds, ...state.ownSounds }, state.bed);
    return state.mixer;
  };
  const tick = () => {
    plot.playhead = player.position;
    plot.draw();
    if (player.playing) requestAnimationFrame(tick);
  };
  const stopped = () => {
    $('play').textContent = 'Play';
    plot.playhead = null;
    plot.draw();
  };
  const play = async (fromSeconds) => {
    if (!state.run) return;
    $('play').textContent = 'Starting…';
    try {
      await player.play(await currentMixer(), fromSeconds, stopped);
    } catch (error) {
      stopped();
      showMessage($('sound-message'), error.message);
      return;
    }
    showMessage($('sound-message'), '', 'ok');
    $('play').textContent = 'Stop';
    requestAnimationFrame(tick);
  };
  // While it plays, a change is heard shortly after: the new mix goes on from where the old one was.
  let playOnTimer = 0;
  const playOnSoon = () => {
    clearTimeout(playOnTimer);
    playOnTimer = setTimeout(() => player.playing && play(player.position), 200);
  };
  $('play').addEventListener('click', () => {
    if (player.playing) {
      player.stop();
      stopped();
    } else play(plot.cursor === null ? 0 : plot.value(state.run, plot.cursor, 0));
  });
  $('export-wav').addEventListener('click', async () => {
    const name = (state.drive?.name ?? 'drive').replace(/\.[^.]*$/, '');
    const button = $('export-wav');
    button.disabled = true;
    try {
      const blob = await wavBlob(await currentMixer(), (done) => showMessage($('sound-message'), `Exporting ${name}.wav: ${Math.floor(done * 100)} %`, 'ok'));
      download(blob, `${name}.wav`);
      showMessage($('sound-message'), `${name}.wav: ${(blob.size / 1048576).toFixed(1)} MB, in your downloads`, 'ok');
    } catch (error) {
      showMessage($('sound-message'), `Export WAV: ${error.message}`);
    } finally {
      button.disabled = false;
    }
  });
  const useSounds = async (files) => {
    const messages = [];
    for (const file of files) {
      const name = soundNames.find((n) => n.toLowerCase() === file.name.toLowerCase());
      try {
        if (!name) throw new FileProblem(`${file.name}: the plug-in plays only ${soundNames.join(', ')}`);
        const bytes = await readGivenFile(file, { largest: 20 * megabyte, binary: true, what: 'a sound' });
        const decoded = await decodeSound(bytes);
        if (!decoded) throw new FileProblem(`${file.name}: the browser cannot decode it as MP3`);
        core.putSound(name, bytes);
        state.ownSounds[name] = decoded;
        messages.push(`${file.name}: yours is used`);
      } catch (error) {
        messages.push(error.message);
      }
    }
    showMessage($('sound-message'), messages.join('; '), messages.every((m) => m.endsWith('used')) ? 'ok' : 'error');
    rerun();
  };
  $('sound-file').addEventListener('change', (event) => useSounds([...event.target.files]));
  acceptDrops($('sound-drop'), useSounds);
  $('sound-reset').addEventListener('click', () => {
    for (const name of soundNames) core.putSound(name, decodeBase64(assets.sounds[name]));
    state.ownSounds = {};
    showMessage($('sound-message'), 'Our sounds.', 'ok');
    rerun();
  });

  // Game check: a folder or files picked or dropped, checked as check-game checks them.
  const checkGame = async (given, folder) => {
    const { folderName, files } = await gameFolderFiles(given);
    return core.checkGame(files, folder ?? `/games/${folderName}`);
  };
  const checkPicked = async (given) => {
    showMessage($('game-message'), 'Reading the files…', 'ok');
    try {
      const result = await checkGame(await given);
      showChecklist($('game-check'), result);
      showMessage($('game-message'), '', 'ok');
    } catch (error) {
      $('game-check').replaceChildren();
      showMessage($('game-message'), error.message);
    }
  };
  for (const id of ['game-folder', 'game-files']) {
    $(id).addEventListener('change', (event) => checkPicked([...event.target.files]));
  }
  $('game-drop').addEventListener('dragover', (event) => {
    event.preventDefault();
    $('game-drop').classList.add('dragging');
  });
  $('game-drop').addEventListener('dragleave', () => $('game-drop').classList.remove('dragging'));
  $('game-drop').addEventListener('drop', (event) => {
    event.preventDefault();
    $('game-drop').classList.remove('dragging');
    checkPicked(droppedFiles(event.dataTransfer));
  });

  useDrive({ scenario: assets.scenarios[$('drive-select').value], name: $('drive-select').value });
  const firstPlot = performance.now(); // from the start of the page's navigation

  window.ostrelle = {
    version: assets.version,
    settingKeys: core.settingKeys,
    scenarios: Object.keys(assets.scenarios),
    scenario: (name) => assets.scenarios[name],
    defaultIni: assets.ini,
    simulate: core.simulate,
    checkIni: core.checkIni,
    checkGame,
    // The page's own figures, for the benchmark: milliseconds from the script's start to the
    // first plot, and a mix of the current drive as the player and WAV export make it.
    timings: { firstPlot },
    mix: async () => {
      state.mixer = null;
      const mixer = await currentMixer();
      return mixer.piece(0, mixer.length)[0].length;
    },
    wav: async () => new Uint8Array(await (await wavBlob(await currentMixer())).arrayBuffer()),
  };
  $('status').textContent = 'Ready: move a slider, pick a drive, press Play.';
  return window.ostrelle;
}

// Resolves to window.ostrelle once the module runs; test scripts and the console await it.
window.ostrelleReady = start().catch((error) => {
  $('status').textContent = `The tuner could not start: ${error.message ?? error}`;
  throw error;
});
