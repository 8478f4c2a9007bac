// The three engines the core loop runs in, all from Debian: Chromium over its DevTools protocol and
// Firefox ESR over WebDriver BiDi, both driven by puppeteer-core, and WebKit over W3C WebDriver
// (webkit.mjs, which offers the same calls). Playwright Test runs the tests; each of its projects
// names its browser, and the fixture `tuner` is the page opened in it.
import { test as base, expect } from '@playwright/test';
import { mkdtempSync, readdirSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';
import { tunerPath } from './tuner-page.mjs';
import { launchWebKit } from './webkit.mjs';

const asRoot = process.getuid?.() === 0;
// A download still being written: Chromium's and Firefox's names for it.
const partial = /\.(crdownload|part)$/;

// Launches browser ('chromium', 'firefox' or 'webkit'); audio false takes the sound device away.
export function launch(browser, { audio = true } = {}) {
  const env = { ...process.env };
  if (!audio) env.PULSE_SERVER = 'unix:/nonexistent';
  if (browser === 'webkit') return launchWebKit(env);
  if (browser === 'firefox') {
    return puppeteer.launch({
      browser: 'firefox',
      protocol: 'webDriverBiDi',
      executablePath: process.env.FIREFOX ?? '/usr/bin/firefox-esr',
      headless: true,
      env,
      // The downloads panel would take the focus from the page.
      extraPrefsFirefox: { 'browser.download.alwaysOpenPanel': false },
    });
  }
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    env,
    // Chromium refuses to run as root, as CI runs, with its sandbox on.
    args: asRoot ? ['--no-sandbox'] : [],
  });
}

// The page opened from file:// in a fresh browser context whose downloads land in a folder of
// their own; problems gathers every error the page throws or logs and every request it makes
// to anything but itself.
export async function openPage(browser, viewport = { width: 1280, height: 720 }) {
  const downloads = mkdtempSync(join(tmpdir(), 'ostrelle-downloads-'));
  const context = await browser.createBrowserContext({
    downloadBehavior: { policy: 'allow', downloadPath: downloads },
  });
  const page = await context.newPage();
  await page.setViewport(viewport);
  const problems = [];
  page.on('pageerror', (error) => problems.push(`page error: ${error.message}`));
  page.on(
    'console',
    (message) => message.type() === 'error' && problems.push(`console: ${message.text()}`),
  );
  page.on('request', (request) => {
    if (!/^(file|data|blob):/.test(request.url())) problems.push(`request: ${request.url()}`);
  });
  await page.goto(pathToFileURL(tunerPath).href);
  await page.evaluate(() => window.ostrelleReady.then(() => true));
  return {
    page,
    problems,
    // The file that clicking selector downloads: its name, path and bytes.
    async download(selector) {
      const before = new Set(readdirSync(downloads));
      await page.click(selector);
      let size = -1;
      for (let waited = 0; waited < 60_000; waited += 500) {
        const name = readdirSync(downloads).find(
          (file) => !before.has(file) && !partial.test(file),
        );
        // A file still being written has its partial twin beside it (WebKit writes in place:
        // its file has stopped growing).
        if (name && !readdirSync(downloads).some((file) => partial.test(file))) {
          const path = join(downloads, name);
          if (statSync(path).size === size) {
            return {
              name,
              path,
              get bytes() {
                return readFileSync(path);
              },
            };
          }
          size = statSync(path).size;
        }
        await new Promise((resume) => setTimeout(resume, 500));
      }
      throw new Error(`no download from ${selector}`);
    },
    async close() {
      await context.close();
      rmSync(downloads, { recursive: true, force: true });
    },
  };
}

// Waits until the text of selector contains text (or matches it, a RegExp); fails showing the text.
export async function expectText(page, selector, text, timeout = 20_000) {
  const pattern =
    text instanceof RegExp ? text.source : text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
  const matches = (s, p) => new RegExp(p).test(document.querySelector(s)?.textContent ?? '');
  await page.waitForFunction(matches, { timeout }, selector, pattern).catch(() => {});
  expect(
    await page.$eval(selector, (element) => element.textContent),
    `text of ${selector}`,
  ).toMatch(text);
}

export const test = base.extend({
  drivenBrowser: [
    async ({}, use, workerInfo) => {
      const browser = await launch(workerInfo.project.metadata.browser);
      await use(browser);
      await browser.close();
    },
    { scope: 'worker' },
  ],
  tuner: async ({ drivenBrowser }, use) => {
    const tuner = await openPage(drivenBrowser);
    await use(tuner);
    // WebDriver cannot listen to the page: WebKit's page gathers its own errors.
    if (tuner.page.errors) expect(await tuner.page.errors(), 'errors in the page').toEqual([]);
    await tuner.close();
  },
});
export { expect };
