// WebKit, the engine of Safari, driven like the other two browsers: WebKitGTK's MiniBrowser from
// Debian under Xvfb, over the W3C WebDriver HTTP protocol that WebKitWebDriver speaks. The page
// object below offers the few puppeteer calls the core loop's tests make, so the same tests run
// in all three engines. Each browser context is a WebDriver session of its own: a fresh browser.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const miniBrowser =
  process.env.MINIBROWSER ?? '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const driverPath = process.env.WEBKIT_WEBDRIVER ?? '/usr/bin/WebKitWebDriver';
// The W3C WebDriver names of the keys the tests press.
const keys = { Enter: '\uE007', ArrowRight: '\uE014' };
// The key under which WebDriver names an element (its web element identifier).
const elementKey = 'element-6066-11e4-a52e-4f735466cecf';

const freePort = () =>
  new Promise((resolve, reject) => {
    const server = createServer().listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
    server.on('error', reject);
  });

// A WebDriver endpoint: command(method, path, body) answers its value or throws its error.
function endpoint(base) {
  return async (method, path, body) => {
    const response = await fetch(`${base}${path}`, {
      method,
      headers: { 'content-type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const { value } = await response.json();
    if (!response.ok) throw new Error(`WebDriver ${method} ${path}: ${value?.message ?? value}`);
    return value;
  };
}

// A script for Execute Script: fn's source called with the arguments given after it.
const callOf = (fn) => `return (${fn}).apply(null, arguments);`;

class Element {
  constructor(session, reference) {
    this.session = session;
    this.reference = reference;
    this.id = reference[elementKey];
  }

  // Sets the files of an <input type=file>: several paths go one to a line.
  uploadFile(...paths) {
    return this.session('POST', `/element/${this.id}/value`, { text: paths.join('\n') });
  }

  async boundingBox() {
    return this.session('POST', '/execute/sync', {
      script: callOf((element) => {
        const { x, y, width, height } = element.getBoundingClientRect();
        return { x, y, width, height };
      }),
      args: [this.reference],
    });
  }
}

class WebKitPage {
  constructor(session) {
    this.session = session;
    this.pointer = { x: 0, y: 0 };
    this.keyboard = {
      type: (text) => this.keys([...text]),
      press: (key) => this.keys([keys[key] ?? key]),
    };
    this.mouse = {
      move: (x, y) => this.pointerActions([{ type: 'pointerMove', x, y }]),
      down: () => this.pointerActions([{ type: 'pointerDown', button: 0 }]),
      up: () => this.pointerActions([{ type: 'pointerUp', button: 0 }]),
      click: (x, y) =>
        this.pointerActions([
          { type: 'pointerMove', x, y },
          { type: 'pointerDown', button: 0 },
          { type: 'pointerUp', button: 0 },
        ]),
    };
  }

  // Only errors thrown after the page loaded can be seen over WebDriver: gathered by the page.
  on() {}

  async goto(url) {
    await this.session('POST', '/url', { url });
    await this.session('POST', '/execute/sync', {
      script: callOf(() => {
        window.webdriverErrors = [];
        window.addEventListener('error', (event) => window.webdriverErrors.push(event.message));
      }),
      args: [],
    });
  }

  // The viewport's size as asked, by sizing the window around it.
  async setViewport({ width, height }) {
    const inner = () => this.evaluate(() => [window.innerWidth, window.innerHeight]);
    await this.session('POST', '/window/rect', { width, height });
    const [innerWidth, innerHeight] = await inner();
    await this.session('POST', '/window/rect', {
      width: 2 * width - innerWidth,
      height: 2 * height - innerHeight,
    });
  }

  async evaluate(fn, ...args) {
    const value = await this.session('POST', '/execute/async', {
      script: `const done = arguments[arguments.length - 1];
        Promise.resolve((${fn}).apply(null, [...arguments].slice(0, -1))).then(done, (error) => done({ thrown: String(error) }));`,
      args: args.map((arg) => (arg instanceof Element ? arg.reference : arg)),
    });
    if (value?.thrown) throw new Error(value.thrown);
    return value;
  }

  async $(selector) {
    const found = await this.session('POST', '/elements', {
      using: 'css selector',
      value: selector,
    });
    return found.length > 0 ? new Element(this.session, found[0]) : null;
  }

  async $eval(selector, fn, ...args) {
    const element = await this.$(selector);
    if (!element) throw new Error(`no element matches ${selector}`);
    return this.evaluate(fn, element, ...args);
  }

  // The elements go over as WebDriver's own references, each an argument of its own (WebKit's
  // driver reads none inside a list), and the function as the script's text: the page's policy
  // forbids building a function from text in it.
  async $$eval(selector, fn, ...args) {
    const found = await this.session('POST', '/elements', {
      using: 'css selector',
      value: selector,
    });
    const gathered = `(count, ...rest) => (${fn})(rest.slice(0, count), ...rest.slice(count))`;
    return this.evaluate(gathered, found.length, ...found, ...args);
  }

  // Picks the option of value as a modder does: the select changes and says so.
  select(selector, value) {
    return this.$eval(
      selector,
      (select, value) => {
        select.value = value;
        select.dispatchEvent(new Event('input', { bubbles: true }));
        select.dispatchEvent(new Event('change', { bubbles: true }));
      },
      value,
    );
  }

  focus(selector) {
    return this.$eval(selector, (element) => element.focus());
  }

  // Clicks the middle of selector count times in a row (3 selects a field's text).
  async click(selector, { count = 1 } = {}) {
    await this.$eval(selector, (element) => element.scrollIntoView({ block: 'center' }));
    const box = await (await this.$(selector)).boundingBox();
    const x = Math.round(box.x + box.width / 2);
    const y = Math.round(box.y + box.height / 2);
    const clicks = Array.from({ length: count }, () => [
      { type: 'pointerDown', button: 0 },
      { type: 'pointerUp', button: 0 },
    ]).flat();
    await this.pointerActions([{ type: 'pointerMove', x, y }, ...clicks]);
  }

  // Polls fn(...args) until it answers something true, or fails after timeout ms.
  async waitForFunction(fn, { timeout = 30_000 } = {}, ...args) {
    const until = Date.now() + timeout;
    for (;;) {
      if (await this.evaluate(fn, ...args)) return;
      if (Date.now() > until) throw new Error(`waited ${timeout} ms for ${fn}`);
      await new Promise((resume) => setTimeout(resume, 100));
    }
  }

  async pointerActions(actions) {
    const moves = actions.map((action) => {
      if (action.type !== 'pointerMove') return action;
      this.pointer = { x: Math.round(action.x), y: Math.round(action.y) };
      return { ...action, ...this.pointer, duration: 0, origin: 'viewport' };
    });
    await this.session('POST', '/actions', {
      actions: [
        { type: 'pointer', id: 'mouse', parameters: { pointerType: 'mouse' }, actions: moves },
      ],
    });
  }

  async keys(values) {
    const actions = values.flatMap((value) => [
      { type: 'keyDown', value },
      { type: 'keyUp', value },
    ]);
    await this.session('POST', '/actions', { actions: [{ type: 'key', id: 'keys', actions }] });
  }

  // Errors the page threw since it loaded.
  errors() {
    return this.evaluate(() => window.webdriverErrors ?? []);
  }
}

// Starts WebKitWebDriver on port with the MiniBrowser's home at home (where it saves downloads)
// and its caches in cache; answers the driver process and its endpoint once it is ready.
async function startDriver(environment, home, cache) {
  const port = await freePort();
  const env = {
    ...environment,
    HOME: home,
    XDG_CACHE_HOME: cache,
    XDG_CONFIG_HOME: cache,
    MESA_SHADER_CACHE_DISABLE: 'true', // a cache still being written as the browser ends
  };
  const driver = spawn(driverPath, [`--port=${port}`], { stdio: 'ignore', env });
  const command = endpoint(`http://127.0.0.1:${port}`);
  for (let waited = 0; ; waited += 50) {
    try {
      if ((await command('GET', '/status')).ready) return { driver, command };
    } catch (error) {
      if (waited > 10_000) throw error;
    }
    await new Promise((resume) => setTimeout(resume, 50));
  }
}

// WebKit on the display Xvfb serves (DISPLAY, set by the global setup), in the environment env, as
// puppeteer's browser object: createBrowserContext({downloadBehavior: {downloadPath}}) starts a fresh MiniBrowser
// whose downloads land in downloadPath. A dialog the page opens (the leave-page warning) is
// accepted.
export function launchWebKit(env) {
  const cache = mkdtempSync(join(tmpdir(), 'ostrelle-webkit-'));
  const contexts = new Set();
  return {
    async createBrowserContext({ downloadBehavior }) {
      const { driver, command } = await startDriver(env, downloadBehavior.downloadPath, cache);
      const { sessionId } = await command('POST', '/session', {
        capabilities: {
          alwaysMatch: {
            unhandledPromptBehavior: 'accept',
            'webkitgtk:browserOptions': { binary: miniBrowser, args: ['--automation'] },
          },
        },
      });
      const session = (method, path, body) => command(method, `/session/${sessionId}${path}`, body);
      const context = {
        newPage: async () => new WebKitPage(session),
        close: async () => {
          contexts.delete(context);
          await command('DELETE', `/session/${sessionId}`).catch(() => {});
          driver.kill();
        },
      };
      contexts.add(context);
      return context;
    },
    async close() {
      for (const context of contexts) await context.close();
      rmSync(cache, { recursive: true, force: true });
    },
  };
}
