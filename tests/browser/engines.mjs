// The three browser engines of the test, each from Debian's own package,
// behind one small page interface:
//   page.goto(url), page.evaluate(fn, arg) (fn(arg) runs in the page and is
//   awaited), page.screenshot(path), page.consoleErrors (null when the engine
//   does not report them), browser.newPage(), browser.close().
// Chromium over CDP and Firefox ESR over WebDriver BiDi through
// puppeteer-core; WebKitGTK's MiniBrowser through WebKitWebDriver (classic
// WebDriver over HTTP), which needs a display (the run script starts Xvfb).
// Every engine accepts the test's own certificate.
import { existsSync } from 'node:fs';
import { writeFile } from 'node:fs/promises';
import { createServer } from 'node:net';
import puppeteer from 'puppeteer-core';

import { Child } from './processes.mjs';

const DRIVER_START_MS = 15000;
const DRIVER_POLL_MS = 100;
const SCRIPT_TIMEOUT_MS = 60000;

const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const FIREFOX = process.env.FIREFOX || '/usr/bin/firefox-esr';
const WEBKIT_DRIVER = process.env.WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver';
const MINIBROWSER = process.env.MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

class PuppeteerPage {
  constructor(page, networkErrors) {
    this.page = page;
    this.consoleErrors = [];
    page.on('console', (message) => {
      if (message.type() === 'error' && !networkErrors.some((text) => message.text().includes(text))) {
        this.consoleErrors.push(message.text());
      }
    });
  }

  async goto(url) { await this.page.goto(url); }
  evaluate(fn, arg) { return this.page.evaluate(fn, arg); }
  async screenshot(path) { await this.page.screenshot({ path, fullPage: true }); }
}

async function launchPuppeteer(options, networkErrors) {
  const browser = await puppeteer.launch({ headless: true, acceptInsecureCerts: true, ...options });
  return {
    newPage: async () => {
      const page = await browser.newPage();
      await page.setViewport({ width: 1100, height: 1000 });
      return new PuppeteerPage(page, networkErrors);
    },
    close: () => browser.close(),
  };
}

async function freePort() {
  const server = createServer();
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return port;
}

// A classic WebDriver session: one command a request.
class WebDriverPage {
  constructor(base) { this.base = base; this.consoleErrors = null; }

  async command(method, path, body) {
    const response = await fetch(`${this.base}${path}`, {
      method, headers: { 'Content-Type': 'application/json' },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    const answer = await response.json();
    if (answer.value && answer.value.error) {
      throw new Error(`WebDriver ${path}: ${answer.value.error}: ${answer.value.message}`);
    }
    return answer.value;
  }

  async goto(url) { await this.command('POST', '/url', { url }); }

  // A rejection in the page comes back as { thrown } so that its message
  // arrives as the page saw it.
  async evaluate(fn, arg) {
    const script = `return Promise.resolve().then(() => (${fn})(arguments[0]))
      .then((value) => ({ value }), (error) => ({ thrown: String(error && error.stack || error) }));`;
    const result = await this.command('POST', '/execute/sync', { script, args: [arg === undefined ? null : arg] });
    if (result.thrown !== undefined) throw new Error(result.thrown);
    return result.value;
  }

  async screenshot(path) {
    await writeFile(path, Buffer.from(await this.command('GET', '/screenshot'), 'base64'));
  }
}

// The driver prints nothing when it is ready: its status answers then.
async function untilReady(statusUrl, driver) {
  const deadline = Date.now() + DRIVER_START_MS;
  while (Date.now() < deadline && driver.running) {
    try {
      if ((await fetch(statusUrl)).ok) return;
    } catch {
      // Not listening yet.
    }
    await new Promise((resolve) => { setTimeout(resolve, DRIVER_POLL_MS); });
  }
  throw new Error(`WebKitWebDriver did not start within ${DRIVER_START_MS} ms:\n${driver.output}`);
}

async function launchWebKit() {
  const port = await freePort();
  const driver = new Child('WebKitWebDriver', WEBKIT_DRIVER, [`--port=${port}`]);
  try {
    const root = `http://127.0.0.1:${port}`;
    await untilReady(`${root}/status`, driver);
    const session = await new WebDriverPage(root).command('POST', '/session', {
      capabilities: {
        alwaysMatch: {
          acceptInsecureCerts: true,
          timeouts: { script: SCRIPT_TIMEOUT_MS },
          'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] },
        },
      },
    });
    const page = new WebDriverPage(`${root}/session/${session.sessionId}`);
    await page.command('POST', '/window/rect', { width: 1100, height: 1000 }).catch(() => {});
    return {
      newPage: async () => page,  // one window is enough for the test
      close: async () => {
        await page.command('DELETE', '').catch(() => {});
        await driver.stop();
      },
    };
  } catch (error) {
    await driver.stop();
    throw error;
  }
}

// Each engine: what it needs on this machine, and how it starts. The
// network errors are the console lines an engine writes for a closed port
// and for plain HTTP sent to the HTTPS listener.
export const ENGINES = [
  {
    name: 'chromium',
    needs: [CHROMIUM],
    launch: () => launchPuppeteer({
      executablePath: CHROMIUM,
      args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    }, ['net::ERR_CONNECTION_REFUSED', 'net::ERR_EMPTY_RESPONSE']),
  },
  {
    name: 'firefox',
    needs: [FIREFOX],
    launch: () => launchPuppeteer({ browser: 'firefox', executablePath: FIREFOX }, []),
  },
  {
    name: 'webkit',
    needs: [WEBKIT_DRIVER, MINIBROWSER],
    needsDisplay: true,
    launch: launchWebKit,
  },
];

// The reason an engine cannot run here, or '' when it can.
export function missingFor(engine) {
  const missing = engine.needs.filter((path) => !existsSync(path));
  if (missing.length) return `not installed: ${missing.join(', ')}`;
  return engine.needsDisplay && !process.env.DISPLAY ? 'no display (xvfb-run not installed)' : '';
}
