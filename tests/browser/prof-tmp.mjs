import { chromium } from '@playwright/test';
import { pathToFileURL } from 'node:url';
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
await page.goto(pathToFileURL('/work/wt/17/build/web/tuner/Ostrelle-tuner.html').href);
await page.evaluate(() => window.ostrelleReady);
await page.selectOption('#drive-select', 'city-drive.toml');
const cdp = await page.context().newCDPSession(page);
await cdp.send('Profiler.enable');
await cdp.send('Profiler.setSamplingInterval', { interval: 100 });
await cdp.send('Profiler.start');
console.log(await page.evaluate(() => {
  const slider = document.getElementById('key-tunnel-radio-duck-volume');
  const t = [];
  for (let i = 0; i < 20; ++i) { slider.value = String(10 + i); const a = performance.now(); slider.dispatchEvent(new Event('input')); t.push(performance.now() - a); }
  return t.map(Math.round).join(' ');
}));
const { profile } = await cdp.send('Profiler.stop');
const self = new Map();
const dt = profile.timeDeltas; const ids = profile.samples;
const byId = new Map(profile.nodes.map(n => [n.id, n]));
ids.forEach((id, i) => { const n = byId.get(id); const k = n.callFrame.functionName; self.set(k, (self.get(k) ?? 0) + (dt[i] ?? 0)); });
console.log([...self.entries()].sort((a, b) => b[1] - a[1]).slice(0, 25).map(([k, v]) => `${(v/1000).toFixed(1)} ms ${k.slice(0,120)}`).join('\n'));
await browser.close();
