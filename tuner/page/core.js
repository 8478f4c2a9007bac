// The page's core: the plug-in's own code in the WebAssembly module; each call answers one object.
// This is what window.ostrelle offers to the console and to test scripts (see docs/tuner-scripting.md).

// Where a sound is put for a moment to be judged, outside the plug-in's folder (the module's file
// system starts with /tmp).
const soundToJudge = '/tmp/sound';

// A drive or a settings file that cannot be read: file, line and column, as on the command line.
export class InputError extends Error {
  constructor(message, line, column) {
    super(message);
    this.name = 'InputError';
    this.line = line;
    this.column = column;
  }
}

export function decodeBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// Text as the bytes a file holds: strings as UTF-8, bytes as they are.
const toBytes = (data) =>
  typeof data === 'string' ? new TextEncoder().encode(data) : new Uint8Array(data);

// The module's calls: call(name, returns, types, values) as ccall, and withBytes(blocks, use),
// which runs use with each byte block copied into the module's heap, as (pointer, size) pairs;
// files can be far larger than the stack that ccall copies strings onto.
function moduleCalls(module) {
  const call = (name, returns, types, values) => module.ccall(name, returns, types, values);
  const withBytes = (blocks, use) => {
    const pointers = blocks.map((bytes) => {
      const pointer = module._malloc(bytes.length + 1);
      module.HEAPU8.set(bytes, pointer);
      return pointer;
    });
    try {
      return use(pointers.flatMap((pointer, i) => [pointer, blocks[i].length]));
    } finally {
      pointers.forEach((pointer) => module._free(pointer));
    }
  };
  return { module, call, withBytes };
}

// The UTF-8 text at {at, size} in the module's memory, decoded a piece at a time: a recording's
// million frames make hundreds of megabytes, more than some engines decode in one call.
function textAt(module, where) {
  if (where === undefined) return undefined;
  const decoder = new TextDecoder();
  const piece = 1 << 24;
  let text = '';
  for (let from = 0; from < where.size; from += piece) {
    const bytes = module.HEAPU8.subarray(
      where.at + from,
      where.at + Math.min(where.size, from + piece),
    );
    text += decoder.decode(bytes, { stream: true });
  }
  return text + decoder.decode();
}

// The module's answer to a run (tunerSimulate), its numbers copied out of the module's memory by
// name: see core.run.
function runOf({ module }, answer) {
  if (answer.status === 2) throw new InputError(answer.error, answer.line, answer.column);
  if (answer.status !== 0) throw new Error(answer.error);
  const columns = (pointers, count) =>
    Object.fromEntries(
      Object.entries(pointers).map(([name, at]) => [
        name,
        module.HEAPF64.slice(at / 8, at / 8 + count),
      ]),
    );
  const calls = columns(answer.soundCalls, answer.soundCallCount);
  // One object a call, made when first asked for (to play or export): a run under a roof sets a
  // volume every frame, and a slider's step needs none of them.
  let soundCalls = null;
  const soundCallsOf = () =>
    Array.from(calls.frame, (frame, i) => ({
      frame,
      call: answer.callKinds[calls.kind[i]],
      stream: calls.stream[i],
      sound: answer.soundNames[calls.stream[i]] ?? '',
      loop: calls.flag[i] === 1,
      restart: calls.flag[i] === 1,
      volume: calls.volume[i],
    }));
  return {
    frameCount: answer.frameCount,
    frames: columns(answer.frames, answer.frameCount),
    marks: answer.marks,
    get soundCalls() {
      soundCalls ??= soundCallsOf();
      return soundCalls;
    },
    collisions: answer.collisions,
    roofs: answer.roofs,
    timeline: answer.timeline,
    warning: answer.warning,
    trace: textAt(module, answer.trace),
    csv: textAt(module, answer.csv),
  };
}

// The last drive's bytes: a slider's step runs the same drive again, and encoding an hour's
// recording takes a while.
let lastDrive = { drive: null, bytes: null };
function driveBytes(drive) {
  if (drive !== lastDrive.drive) lastDrive = { drive, bytes: toBytes(drive) };
  return lastDrive.bytes;
}

// Runs a drive in the module (see core.run).
function runDrive(calls, assets, { scenario, replay, ini, name, trace = false, csv = false }) {
  if ((scenario === undefined) === (replay === undefined)) {
    throw new TypeError('simulate: give exactly one of scenario (TOML) or replay (CSV)');
  }
  const drive = scenario ?? replay;
  const fileName = name ?? (scenario !== undefined ? 'scenario.toml' : 'replay.csv');
  const outputs = (trace ? 1 : 0) | (csv ? 2 : 0);
  const answer = calls.withBytes(
    [driveBytes(drive), toBytes(ini ?? assets.ini)],
    ([drivePointer, driveSize, iniPointer, iniSize]) =>
      calls.call(
        'tunerSimulate',
        'string',
        ['number', 'number', 'number', 'string', 'number', 'number', 'number'],
        [
          drivePointer,
          driveSize,
          replay !== undefined ? 1 : 0,
          fileName,
          iniPointer,
          iniSize,
          outputs,
        ],
      ),
  );
  return runOf(calls, JSON.parse(answer));
}

// Removes the file or folder at path in the module's file system, with all it holds.
function removeTree(fs, path) {
  if (!fs.analyzePath(path).exists) return;
  if (fs.isDir(fs.stat(path).mode)) {
    for (const name of fs.readdir(path)) {
      if (name !== '.' && name !== '..') removeTree(fs, `${path}/${name}`);
    }
    fs.rmdir(path);
  } else {
    fs.unlink(path);
  }
}

// check-game over files put into the module's memory (see core.checkGame). The folder of the last
// check is removed before the next, so that no old file is checked.
function gameChecker({ module, call }) {
  const fs = module.FS;
  let checkedFolder = null;
  return (files, folder = '/games/game') => {
    if (!folder.startsWith('/') || /(^|\/)\.\.?(\/|$)/.test(folder) || folder === '/') {
      throw new TypeError(`checkGame: ${folder} is not an absolute folder`);
    }
    if (checkedFolder !== null) removeTree(fs, checkedFolder);
    if (fs.analyzePath(folder).exists && fs.readdir(folder).length > 2) {
      throw new TypeError(`checkGame: ${folder} is the page's own; pick another folder`);
    }
    fs.mkdirTree(folder);
    checkedFolder = folder;
    for (const { path, bytes } of files) {
      const parts = path.split('/');
      if (parts.some((part) => part === '' || part === '.' || part === '..')) {
        throw new TypeError(`checkGame: ${path} is not a path inside the game's folder`);
      }
      if (parts.length > 1) fs.mkdirTree(`${folder}/${parts.slice(0, -1).join('/')}`);
      fs.writeFile(`${folder}/${path}`, bytes);
    }
    return JSON.parse(call('tunerCheckGame', 'string', ['string'], [folder]));
  };
}

export async function createCore(createModule, assets) {
  const calls = moduleCalls(await createModule());
  const { module, call, withBytes } = calls;
  const table = (name) => JSON.parse(call(name, 'string', [], []));
  // The plug-in's sound folder in the module's memory, where the page puts the sounds.
  const soundFolder = call('tunerSoundFolder', 'string', [], []);
  module.FS.mkdirTree(soundFolder);

  const core = {
    assets,
    // The plug-in's settings, one object per key in its order: {key, kind (float, duration, volume,
    // switch), default, what, unit, min, max (null: unbounded), outside (what the plug-in does with
    // a value outside [min, max])}.
    settingKeys: table('tunerSettingKeys'),
    // The plug-in's sounds in its order: [{file, role ('impact' or 'static')}].
    sounds: table('tunerSounds'),
    // The plot's colours by name, the same as ostrelle-sim's plot: {radio, roof, duck, pause, away,
    // crash, ignored}.
    palette: table('tunerPalette'),

    // Puts a sound file where the plug-in looks for it (one of sounds).
    putSound(name, bytes) {
      module.FS.writeFile(`${soundFolder}/${name}`, bytes);
    },

    // Why the game's audio library would not play a sound file of these bytes, in the words of the
    // Linux library (which decodes it; here only its header is read), or '' when it would.
    soundRefusal(bytes) {
      module.FS.writeFile(soundToJudge, bytes);
      try {
        return call('tunerSoundRefusal', 'string', ['string'], [soundToJudge]);
      } finally {
        module.FS.unlink(soundToJudge);
      }
    },

    // Runs a drive: scenario (TOML text) or replay (CSV text), with ini (settings text; the shipped
    // Ostrelle.ini when absent). Answers {trace, csv, warning}: the trace as JSONL, the same lines
    // as `ostrelle-sim --trace`, the per-frame table as `--csv` writes it, and what ostrelle-sim
    // warns of the drive ('' when nothing). Throws InputError.
    simulate({ scenario, replay, ini, name } = {}) {
      const run = core.run({ scenario, replay, ini, name, trace: true, csv: true });
      return { trace: run.trace, csv: run.csv, warning: run.warning };
    },

    // The same run for the page: frameCount; frames, a Float64Array for each per-frame number by
    // its name (time, duration, radioVolume, radioLevel, state, marks, duckMs, tick); marks, the
    // bits of frames.marks by name (crash: a duck began, ignoredCrash, roof, pause, away,
    // radioSet); the sound calls; the drive's collisions and roofs with what the plug-in made of
    // each ({collisions: [{frame, time, force, verdict}], roofs: [{frame, time, gap, verdict}]});
    // timeline, ostrelle-sim's timeline as [{frame, who, text}]; warning, what ostrelle-sim warns
    // of the drive ('' when nothing: a recording cut by a crash runs its whole rows); and the trace
    // and table only when asked for.
    run: (options) => runDrive(calls, assets, options),

    // A file name as Windows compares it, the same as ostrelle-sim: two names are one when these
    // are equal (each letter as its capital, in every alphabet).
    foldedName: (name) => call('tunerFoldedName', 'string', ['string'], [name]),

    // check-ini on a settings text: {status (0 clean, 1 warnings, 2 not read), report (as
    // `ostrelle-sim check-ini` prints it), settings (the values the plug-in reads, in the order of
    // settingKeys; null when not read), data (the report as `check-ini --json` prints it: values
    // with their line, warnings with their line, key, kind and message)}.
    checkIni(text, name = 'Ostrelle.ini') {
      const answer = JSON.parse(
        withBytes([toBytes(text)], ([pointer, size]) =>
          call('tunerCheckIni', 'string', ['number', 'number', 'string'], [pointer, size, name]),
        ),
      );
      return { ...answer, settings: answer.data?.values?.map((value) => value.value) ?? null };
    },

    // check-game over a game folder given as files: [{path, bytes}], paths relative to the game's
    // folder with '/' (sub-folders as they are there). The files are put into the module's memory at
    // folder (an absolute path; the report names it), which must not hold files
    // (an earlier check's folder is removed first).
    // Answers {status (0 all pass, 1 any fails), report (as `ostrelle-sim check-game` prints it),
    // data (the report as `check-game --json` prints it)}.
    checkGame: gameChecker(calls),

    // Whether check-game reads what the file at path (relative to the game's folder, '/' between
    // parts) holds; of every other file it asks only whether it is there.
    checkGameReads: (path) => call('tunerCheckGameReads', 'number', ['string'], [path]) === 1,

    stateName: (state) => call('tunerStateName', 'string', ['number'], [state]),
  };
  for (const [name, data] of Object.entries(assets.sounds)) core.putSound(name, decodeBase64(data));
  return core;
}
