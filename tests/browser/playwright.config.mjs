// The tuner page's tests: headless Chromium from Debian (no browser download), the page opened
// from file:// as a modder opens it from the zip.
import { defineConfig } from '@playwright/test';

export default defineConfig({
  testDir: '.',
  outputDir: '../../build/browser/test-results',
  timeout: 60_000,
  workers: 2,
  reporter: [['list']],
  use: {
    browserName: 'chromium',
    viewport: { width: 1280, height: 720 },
    launchOptions: {
      executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
      // Chromium refuses to run as root, as CI runs, with its sandbox on.
      args: process.getuid?.() === 0 ? ['--no-sandbox'] : [],
    },
  },
});
