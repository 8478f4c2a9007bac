// make bench's figures for the tuner page, measured in headless Chromium on this machine:
// - slider change to redrawn plot (the city drive): the plug-in's run and the canvas drawing that
//   one slider step triggers, median and 90th percentile of 40 steps after 20 that warm the
//   WebAssembly code up (the browser compiles it fully only once it runs hot);
// - opening the page (file://) to its first plot;
// - rendering the city drive's mix for playback and export, as a multiple of real time;
// - the page's size;
// - how far the page's WAV is from ostrelle-sim --wav for the same drive: the level of their
//   difference against ostrelle-sim's signal, after aligning the two MP3 decoders' delay.
import { chromium } from '@playwright/test';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import os, { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { root, simPath, tunerPath } from './tuner-page.mjs';

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

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  args: process.getuid?.() === 0 ? ['--no-sandbox'] : [],
});
try {
  const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
  const opens = [];
  for (let i = 0; i < 5; ++i) {
    await page.goto(pathToFileURL(tunerPath).href);
    opens.push(await page.evaluate(async () => (await window.ostrelleReady).timings.firstPlot));
  }
  await page.selectOption('#drive-select', 'city-drive.toml');
  const steps = await page.evaluate(() => {
    const slider = document.getElementById('key-tunnel-radio-duck-volume');
    const times = [];
    for (let i = 0; i < 60; ++i) {
      slider.value = String(10 + (i % 20));
      const start = performance.now();
      slider.dispatchEvent(new Event('input'));
      if (i >= 20) times.push(performance.now() - start);
    }
    return times;
  });
  const renders = await page.evaluate(async () => {
    const times = [];
    let samples = 0;
    for (let i = 0; i < 5; ++i) {
      const start = performance.now();
      samples = await window.ostrelle.mix();
      times.push(performance.now() - start);
    }
    return { times, seconds: samples / 44100 };
  });

  // The WAV agreement on a drive with crashes and a roof.
  await page.selectOption('#drive-select', 'tunnel-crash.toml');
  const pageWav = Buffer.from(
    await page.evaluate(async () => {
      const bytes = await window.ostrelle.wav();
      let text = '';
      for (let i = 0; i < bytes.length; i += 8192)
        text += String.fromCharCode(...bytes.subarray(i, i + 8192));
      return btoa(text);
    }),
    'base64',
  );
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
  const match = agreement(wavSamples(readFileSync(join(folder, 'sim.wav'))), wavSamples(pageWav));
  rmSync(folder, { recursive: true, force: true });

  const renderMs = median(renders.times);
  console.log(
    `Tuner page, headless Chromium (load average ${os.loadavg()[0].toFixed(1)} on ${os.cpus().length} cores):`,
  );
  console.log(
    `  slider step to redrawn plot (city drive): median ${median(steps).toFixed(2)} ms, 90th percentile ${median(steps, 0.9).toFixed(2)} ms (goal: median at most 16 ms)`,
  );
  console.log(
    `  page opened to first plot: median ${median(opens).toFixed(0)} ms (goal: at most 1000 ms)`,
  );
  console.log(
    `  city drive's mix (${renders.seconds.toFixed(1)} s): median ${renderMs.toFixed(0)} ms, ${((renders.seconds * 1000) / renderMs).toFixed(0)} times real time (goal: at least 100)`,
  );
  console.log(
    `  page size: ${(statSync(tunerPath).size / 1048576).toFixed(2)} MB (goal: at most 2 MB)`,
  );
  console.log(
    `  WAV against ostrelle-sim --wav (tunnel-crash): signal to difference ${match.db.toFixed(1)} dB at a lag of ${match.lag} samples`,
  );
} finally {
  await browser.close();
}
