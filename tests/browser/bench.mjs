// make bench's figures for the tuner page, measured in Chromium, Firefox ESR and WebKit (under
// Xvfb) on this machine, each engine as the browser tests drive it:
// - slider step to redrawn plot (the city drive): from the slider's input event to the frame
//   painted after it, median and 90th percentile of 40 steps after 20 that warm the WebAssembly
//   code up (an engine compiles it fully only once it runs hot), beside the page's own work in it
//   and the wait for a frame alone (see timeSteps); and the same on a recording of an hour;
// - opening the page (file://) to its first plot, and to the page read and the module started;
// - rendering the city drive's mix for playback and export, as a multiple of real time;
// and once: the page's size, and how far the page's WAV (in Chromium) is from ostrelle-sim --wav
// for the same drive: the level of their difference against ostrelle-sim's signal, after aligning
// the two MP3 decoders' delay.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import os, { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { launch, openPage } from './browsers.mjs';
import startDisplay from './display.mjs';
import { hourReplay, root, simPath, tunerPath } from './tuner-page.mjs';

const median = (values, q = 0.5) =>
  [...values].sort((a, b) => a - b)[Math.floor((values.length - 1) * q)];

function wavSamples(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let at = 12;
  while (at + 8 <= bytes.length) {
    const id = bytes.subarray(at, at + 4).toString();
    const size = view.getUint32(at + 4, true);
    if (id === 'data') {
      const samples = new Float64Array(size / 4);
      for (let i = 0; i < samples.length; ++i) {
        samples[i] =
          (view.getInt16(at + 8 + i * 4, true) + view.getInt16(at + 10 + i * 4, true)) / 65536;
      }
      return samples;
    }
    at += 8 + size + (size & 1);
  }
  throw new Error('no data chunk');
}

// Signal to difference ratio in dB of page against reference, at the lag (within a quarter
// second) that makes it best: a coarse search, then every lag around the best.
function agreement(reference, page) {
  const maxLag = 11025;
  const ratio = (lag, stride) => {
    let signal = 0;
    let difference = 0;
    for (let i = maxLag; i < reference.length - maxLag; i += stride) {
      const d = reference[i] - (page[i + lag] ?? 0);
      signal += reference[i] * reference[i];
      difference += d * d;
    }
    return 10 * Math.log10(signal / difference);
  };
  const search = (from, to, step, stride) => {
    let best = { lag: 0, db: -Infinity };
    for (let lag = from; lag <= to; lag += step) {
      const db = ratio(lag, stride);
      if (db > best.db) best = { lag, db };
    }
    return best;
  };
  const coarse = search(-maxLag, maxLag, 8, 61);
  const fine = search(coarse.lag - 8, coarse.lag + 8, 1, 3);
  return { lag: fine.lag, db: ratio(fine.lag, 1) };
}

// Times count slider steps on the page's current drive, as a modder makes them with the slider
// focused (dragged, or stepped with the arrow keys): ms, from the input event to the frame
// painted after the redrawn plot, which includes waiting for that frame; work, the page's own
// share of it: the input handled and the plot drawn, which must fit in one frame (16.7 ms at 60
// Hz) for the redrawn plot to show in the next; and the parts of the page's run (the plug-in's
// run, the lists written, the plot drawn). With count steps of value null, times frames with no
// step: how long the wait for a frame alone takes. Answers all but the first warm ones. One step a
// call: WebDriver gives a script 30 s.
async function timeSteps(page, count, warm, values = (i) => 10 + (i % 20)) {
  const steps = [];
  for (let i = 0; i < count; ++i) {
    const step = await page.evaluate(async (value) => {
      const slider = document.getElementById('key-tunnel-radio-duck-volume');
      slider.focus();
      const painted = () => new Promise((done) => requestAnimationFrame(() => setTimeout(done)));
      await painted();
      const start = performance.now();
      if (value !== null) {
        slider.value = String(value);
        slider.dispatchEvent(new Event('input'));
      }
      const handled = performance.now() - start;
      // A slow drive runs again after the frame that says it is running, and paints a frame later.
      const slow = document.getElementById('status').textContent.startsWith('Running');
      await painted();
      if (slow) await painted();
      const { core, shown, draw } = window.ostrelle.timings.lastRun;
      return {
        ms: performance.now() - start,
        work: slow ? core + shown + draw : handled + draw,
        core,
        shown,
        draw,
      };
    }, values(i));
    if (i >= warm) steps.push(step);
  }
  return steps;
}

const pickDrive = (page, name) =>
  page.evaluate((name) => {
    const select = document.getElementById('drive-select');
    select.value = name;
    select.dispatchEvent(new Event('change'));
  }, name);

// The figures of one engine.
async function measure(engine, hour) {
  const browser = await launch(engine);
  try {
    const tuner = await openPage(browser);
    const { page } = tuner;
    const opens = [];
    for (let i = 0; i < 5; ++i) {
      await page.goto(pathToFileURL(tunerPath).href);
      opens.push(
        await page.evaluate(async () => {
          const { coreReady, firstPlot } = (await window.ostrelleReady).timings;
          const parsed = performance.getEntriesByType('navigation')[0]?.domInteractive;
          return { parsed, coreReady, firstPlot };
        }),
      );
    }
    // The WAV under the shipped settings, as ostrelle-sim makes it, before the steps move a slider.
    let wav = null;
    if (engine === 'chromium') {
      await pickDrive(page, 'tunnel-crash.toml');
      wav = await page.evaluate(wavBase64);
    }
    await pickDrive(page, 'city-drive.toml');
    const steps = await timeSteps(page, 60, 20);
    const idle = await timeSteps(page, 20, 0, () => null);
    const renders = { times: [], seconds: 0 };
    for (let i = 0; i < 5; ++i) {
      const { ms, samples } = await page.evaluate(async () => {
        const start = performance.now();
        const samples = await window.ostrelle.mix();
        return { ms: performance.now() - start, samples };
      });
      renders.times.push(ms);
      renders.seconds = samples / 44100;
    }
    // The hour's recording opened as a modder opens it, from the drive's file picker.
    await page.evaluate((text) => {
      const input = document.getElementById('drive-file');
      const files = new DataTransfer();
      files.items.add(new File([text], 'hour.csv', { type: 'text/csv' }));
      input.files = files.files;
      input.dispatchEvent(new Event('change'));
    }, hour);
    await page.waitForFunction(
      () => document.getElementById('drive-message').textContent.includes('216000 frames'),
      { timeout: 120_000 },
    );
    const hourSteps = await timeSteps(page, 8, 2);
    await tuner.close();
    return { opens, steps, idle, renders, hourSteps, wav };
  } finally {
    await browser.close();
  }
}

// The page's WAV of the current drive, as base64.
async function wavBase64() {
  const bytes = await window.ostrelle.wav();
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192)
    text += String.fromCharCode(...bytes.subarray(i, i + 8192));
  return btoa(text);
}

// A step's median time and the median of each of its parts, as one line.
function stepLine(steps, digits) {
  const part = (name, q) =>
    median(
      steps.map((step) => step[name]),
      q,
    ).toFixed(digits);
  return (
    `median ${part('ms')} ms, 90th percentile ${part('ms', 0.9)} ms; the page's work ${part('work')} ms ` +
    `(the plug-in's run ${part('core')}, lists ${part('shown')}, plot ${part('draw')})`
  );
}

function report(engine, { opens, steps, idle, renders, hourSteps }) {
  const renderMs = median(renders.times);
  const open = (name) => median(opens.map((times) => times[name])).toFixed(0);
  console.log(`  ${engine}:`);
  console.log(
    `    slider step to redrawn plot (city drive): ${stepLine(steps, 1)} (goal: median at most 16 ms); a frame with no step takes ${median(idle.map((step) => step.ms)).toFixed(1)} ms`,
  );
  console.log(
    `    page opened to first plot: median ${open('firstPlot')} ms (goal: at most 1000 ms); the page read ${open('parsed')} ms, the module started ${open('coreReady')} ms`,
  );
  console.log(`    slider step on a recording of an hour: ${stepLine(hourSteps, 0)}`);
  console.log(
    `    city drive's mix (${renders.seconds.toFixed(1)} s): median ${renderMs.toFixed(0)} ms, ${((renders.seconds * 1000) / renderMs).toFixed(0)} times real time (goal: at least 100)`,
  );
}

const stopDisplay = await startDisplay();
try {
  const hour = readFileSync(hourReplay(), 'utf8');
  const figures = {};
  console.log(
    `Tuner page (load average ${os.loadavg()[0].toFixed(1)} on ${os.cpus().length} cores):`,
  );
  for (const engine of ['chromium', 'firefox', 'webkit']) {
    figures[engine] = await measure(engine, hour);
    report(engine, figures[engine]);
  }

  // The WAV agreement on a drive with crashes and a roof.
  const folder = mkdtempSync(join(tmpdir(), 'ostrelle-bench-'));
  execFileSync(
    simPath,
    [
      'run',
      join(root, 'scenarios/tunnel-crash.toml'),
      '--ini',
      join(root, 'assets/Ostrelle.ini'),
      '--wav',
      join(folder, 'sim.wav'),
    ],
    { stdio: 'ignore' },
  );
  const match = agreement(
    wavSamples(readFileSync(join(folder, 'sim.wav'))),
    wavSamples(Buffer.from(figures.chromium.wav, 'base64')),
  );
  rmSync(folder, { recursive: true, force: true });

  console.log(
    `  page size: ${(statSync(tunerPath).size / 1048576).toFixed(2)} MB (goal: at most 2 MB)`,
  );
  console.log(
    `  WAV against ostrelle-sim --wav (tunnel-crash, Chromium): signal to difference ${match.db.toFixed(1)} dB at a lag of ${match.lag} samples`,
  );
} finally {
  stopDisplay();
}
