// The example page, rd-client.js on its own and every browser call style
// against the extension and the simulated device, in Chromium, Firefox ESR
// and WebKitGTK, from an http and an https page on another origin, against
// the extension's HTTP and HTTPS listeners. One table says what each engine
// gets; an engine that is not installed is skipped with its reason.
//
// Wire check: a TCP proxy in this process takes port 11100 before the
// extension starts, so the extension serves HTTPS on the next free port and
// HTTP on the one after, and an http page (which prefers the lowest port
// that names the extension) talks to it through the proxy. The proxy splits
// each connection's bytes into requests, and it passes the extension's close
// on to the browser only after a while: a browser that takes an answer for
// keep-alive then sends its next request (typically the CAPTURE after its
// preflight) on the same connection, which shows as a second request on it;
// one that re-sent a request would show more CAPTUREs than calls.
import { execFileSync } from 'node:child_process';
import { copyFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

import { BLOCKED_MIXED_CONTENT, FIRST_PORT, LAST_PORT } from '../../examples/web/rd-client.js';
import { CALL_STYLES, captureInPage } from './call_styles.mjs';
import { ENGINES, missingFor } from './engines.mjs';
import { loadJQueries, moduleInPage, stepInPage } from './page_steps.mjs';
import { Child } from './processes.mjs';
import { startCountingProxy, startStaticServer } from './servers.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '../..');
const buildDir = resolve(process.env.RDEXT_BUILD_DIR || join(root, 'build/linux'));
const TEST_LIMIT_MS = 180000;
const START_MS = 15000;
const PAGE_WAIT_MS = 30000;
const PROXY_PORT = FIRST_PORT;
const HTTPS_PORT = FIRST_PORT + 1;
const HTTP_PORT = FIRST_PORT + 2;
const DEVICE_PORT = 11105;
const PID_OPTIONS = '<PidOptions ver="1.0"><Opts fCount="1" fType="2" format="0" pidVer="2.0" ' +
  'timeout="10000" env="P" /></PidOptions>';

// The table: what a page of each origin gets from each listener, per
// engine. WebKit treats http://127.0.0.1 from an https page as mixed content.
const MIXED_CONTENT_BLOCKED_IN = ['webkit'];
const LISTENERS = {
  http: { url: `http://127.0.0.1:${PROXY_PORT}`, port: PROXY_PORT },
  https: { url: `https://127.0.0.1:${HTTPS_PORT}`, port: HTTPS_PORT },
};
const ROWS = [
  { name: 'http page -> HTTP listener', page: 'http', listener: 'http' },
  { name: 'https page -> HTTP listener', page: 'https', listener: 'http', blockedIn: MIXED_CONTENT_BLOCKED_IN },
  { name: 'https page -> HTTPS listener', page: 'https', listener: 'https' },
];
// The example page: the module's own choice of scheme, or HTTP only.
const PAGES = [
  { name: 'example page on http', page: 'http', query: '', listener: 'http' },
  { name: 'example page on https', page: 'https', query: '', listener: 'https' },
  { name: 'example page on https, HTTP only', page: 'https', query: '?schemes=http', listener: 'http',
    blockedIn: MIXED_CONTENT_BLOCKED_IN },
];

let passed = 0;
let failed = 0;
let skipped = 0;

async function check(name, body) {
  try {
    await body();
    passed += 1;
    console.log(`PASS ${name}`);
  } catch (error) {
    failed += 1;
    console.log(`FAIL ${name}\n     ${String(error && error.stack || error).split('\n').join('\n     ')}`);
  }
}

function expect(condition, message) {
  if (!condition) throw new Error(message);
}

// One certificate for 127.0.0.1 serves the https pages and the extension.
function makeCertificate(folder) {
  const key = join(folder, 'key.pem');
  const cert = join(folder, 'cert.pem');
  execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-subj', '/CN=127.0.0.1',
    '-days', '2', '-addext', 'subjectAltName=IP:127.0.0.1,DNS:localhost', '-keyout', key, '-out', cert],
  { stdio: 'ignore' });
  return { key: readFileSync(key), cert: readFileSync(cert) };
}

// The extension in a folder of its own with the certificate beside it, so
// that it serves HTTPS too.
async function startExtension(folder, tls) {
  const program = join(folder, 'rdserver_ext');
  copyFileSync(join(buildDir, 'src/rdserver_ext'), program);
  writeFileSync(join(folder, 'ssl_localhost.pem'), Buffer.concat([tls.cert, tls.key]));
  const extension = new Child('rdserver_ext', program, ['-console'], { cwd: folder });
  const hosted = await extension.waitForOutput(/Web service hosted at (\S+)/, START_MS);
  expect(hosted[1].includes(`127.0.0.1:${HTTPS_PORT}s,127.0.0.1:${HTTP_PORT}`), hosted[0]);
  return extension;
}

class Device {
  start() {
    this.child = new Child('rdservice_sim', join(buildDir, 'src/rdservice_sim'), ['--port', String(DEVICE_PORT)]);
    return this.child.waitForOutput(/Simulated RD service at/, START_MS);
  }

  stop() { return this.child.stop(); }
}

// The example page from start to capture; `blocked` engines show the typed
// error instead.
async function checkExamplePage(engine, page, sites, scenario, counter) {
  await page.goto(`${sites[scenario.page].origin}/index.html${scenario.query}`);
  const { port } = LISTENERS[scenario.listener];
  const blocked = (scenario.blockedIn || []).includes(engine.name);
  await check(`${engine.name}: ${scenario.name}: ${blocked ? 'mixed content named' : 'discovery'}`, async () => {
    const shown = await page.evaluate(stepInPage, { message: 'discovery-message', timeoutMs: PAGE_WAIT_MS });
    if (blocked) {
      expect(!shown.ok && shown.text.includes('mixed content') && shown.text.includes('HTTPS listener'), shown.text);
      return;
    }
    expect(shown.ok && shown.text.includes(`extension on port ${port} (${scenario.listener})`), shown.text);
    expect(shown.rows.length === LAST_PORT - FIRST_PORT + 1, `${shown.rows.length} port rows`);
    const row = (p) => shown.rows[p - FIRST_PORT];
    // The simulated device serves plain HTTP only.
    const deviceHidden = scenario.page === 'https' && MIXED_CONTENT_BLOCKED_IN.includes(engine.name);
    expect(deviceHidden ? row(DEVICE_PORT).includes('no answer')
      : row(DEVICE_PORT).includes('READY') && row(DEVICE_PORT).includes('(simulated)'), `device: ${row(DEVICE_PORT)}`);
    expect(row(port).includes(`${scenario.listener}: `) && row(port).includes('Registered Device Service Extension'),
      `extension: ${row(port)}`);
    expect(row(LAST_PORT).includes('no answer'), `port ${LAST_PORT}: ${row(LAST_PORT)}`);
  });
  if (blocked) return;
  await check(`${engine.name}: ${scenario.name}: device information`, async () => {
    const shown = await page.evaluate(stepInPage,
      { button: 'read-info', message: 'device-message', timeoutMs: PAGE_WAIT_MS });
    expect(shown.ok && shown.device.includes('ZR4410QX') && shown.device.includes('SIM0001'), shown.text + shown.device);
    expect(shown.deviceRaw.startsWith('<DeviceInfo '), 'raw DeviceInfo missing');
  });
  await check(`${engine.name}: ${scenario.name}: capture with the page's PidOptions`, async () => {
    counter.expect(scenario.listener);
    const shown = await page.evaluate(stepInPage,
      { fill: { fType: '2' }, button: 'capture', message: 'capture-message', timeoutMs: PAGE_WAIT_MS });
    expect(shown.ok && shown.text.includes('quality score 78'), shown.text);
    expect(shown.capture.includes('errCode0') && shown.capture.includes('errInfoCapture Success'), shown.capture);
    expect(shown.captureRaw.startsWith('<PidData>') && shown.captureRaw.includes('fType="2"'), shown.captureRaw);
  });
}

// One row of the table on the page that is open: the module alone and every
// call style, all working or all blocked.
async function checkRow(engine, page, row, counter) {
  const { url, port } = LISTENERS[row.listener];
  const blocked = (row.blockedIn || []).includes(engine.name);
  await check(`${engine.name}: ${row.name}: rd-client.js ${blocked ? 'gives RdBlocked' : 'alone'}`, async () => {
    if (!blocked) counter.expect(row.listener);
    const result = await page.evaluate(moduleInPage, { schemes: [row.listener], pidOptions: PID_OPTIONS });
    if (blocked) {
      expect(result.error === 'RdBlocked' && result.reason === BLOCKED_MIXED_CONTENT, JSON.stringify(result));
      return;
    }
    expect(result.scheme === row.listener && result.port === port && result.model.includes('ZR4410QX') &&
      result.errCode === '0' && result.timeout === 'RdTimeout', JSON.stringify(result));
  });
  await check(`${engine.name}: ${row.name}: every call style ${blocked ? 'blocked' : 'captures'}`, async () => {
    const outcomes = [];
    for (const [name, style] of Object.entries(CALL_STYLES)) {
      if (!blocked) counter.expect(row.listener);
      const answer = await page.evaluate(captureInPage, [style, `${url}/rd/capture`, PID_OPTIONS])
        .catch((error) => ({ failure: String(error.message).split('\n')[0] }));
      const works = answer.status === 200 && answer.text.includes('errCode="0"') && answer.text.includes('fType="2"');
      if (works === blocked) outcomes.push(`${name}: ${answer.failure || `${answer.status} ${answer.text.slice(0, 80)}`}`);
    }
    expect(outcomes.length === 0, outcomes.join('\n'));
  });
}

// Counts the CAPTUREs that should reach the proxy (the HTTP listener).
function captureCounter() {
  return { calls: 0, expect(listener) { if (listener === 'http') this.calls += 1; } };
}

async function runEngine(engine, context) {
  const { sites, proxy, device } = context;
  const browser = await engine.launch();
  context.cleanup.push(() => browser.close());
  const page = await browser.newPage();
  proxy.connections.length = 0;
  const counter = captureCounter();

  await checkExamplePage(engine, page, sites, PAGES[0], counter);
  const screenshot = join(buildDir, `browser/page-${engine.name}.png`);
  mkdirSync(dirname(screenshot), { recursive: true });
  await page.screenshot(screenshot);
  if (page.consoleErrors) {
    await check(`${engine.name}: the http page logged no errors besides the closed ports`, async () => {
      expect(page.consoleErrors.length === 0, page.consoleErrors.join('\n'));
    });
  }
  await page.evaluate(loadJQueries);
  await checkRow(engine, page, ROWS[0], counter);
  await check(`${engine.name}: a stopped device gives errCode 5 on the page`, async () => {
    await device.stop();
    counter.expect('http');
    const shown = await page.evaluate(stepInPage, { button: 'capture', message: 'capture-message', timeoutMs: PAGE_WAIT_MS });
    await device.start();
    expect(!shown.ok && shown.text.includes('errCode 5'), shown.text);
    expect(shown.captureRaw.includes('RDSERVICE_NOT_AVAILABLE'), 'raw PidData missing');
  });

  await checkExamplePage(engine, page, sites, PAGES[1], counter);
  await page.evaluate(loadJQueries);
  for (const row of ROWS.slice(1)) await checkRow(engine, page, row, counter);
  await checkExamplePage(engine, page, sites, PAGES[2], counter);
  await page.screenshot(join(buildDir, `browser/page-${engine.name}-https-http-only.png`));

  await check(`${engine.name}: no connection carries a second request, none is re-sent`, async () => {
    const reused = proxy.connections.filter((c) => c.requestLines.length > 1);
    expect(reused.length === 0,
      `${reused.length} connections carried more than one request: ${JSON.stringify(reused.map((c) => c.requestLines))}`);
    const captures = proxy.connections.flatMap((c) => c.requestLines).filter((l) => l.startsWith('CAPTURE '));
    expect(captures.length === counter.calls, `${captures.length} CAPTURE requests on the wire for ${counter.calls} calls`);
    console.log(`     ${proxy.connections.length} connections through the proxy, ` +
      `${captures.length} CAPTUREs for ${counter.calls} calls`);
  });
  await context.cleanup.pop()();
}

async function run(cleanup) {
  const folder = mkdtempSync(join(tmpdir(), 'rdext-browser-'));
  cleanup.push(async () => rmSync(folder, { recursive: true, force: true }));
  const tls = makeCertificate(folder);

  const device = new Device();
  cleanup.push(() => device.stop());
  await device.start();

  let extensionPort = 0;
  const proxy = await startCountingProxy(PROXY_PORT, () => extensionPort);
  cleanup.push(() => proxy.close());
  const extension = await startExtension(folder, tls);
  cleanup.push(() => extension.stop());
  extensionPort = HTTP_PORT;

  const routes = {
    '/vendor/jquery1/': join(here, 'node_modules/jquery1/dist'),
    '/vendor/jquery3/': join(here, 'node_modules/jquery3/dist'),
    '/vendor/jquery4/': join(here, 'node_modules/jquery4/dist'),
    '/': join(root, 'examples/web'),
  };
  const sites = { http: await startStaticServer(routes), https: await startStaticServer(routes, tls) };
  for (const site of Object.values(sites)) cleanup.push(() => new Promise((done) => site.server.close(done)));

  const only = process.env.BROWSERS ? process.env.BROWSERS.split(',') : null;
  for (const engine of ENGINES.filter((e) => !only || only.includes(e.name))) {
    const missing = missingFor(engine);
    if (missing) {
      skipped += 1;
      console.log(`SKIP ${engine.name}: ${missing}`);
      continue;
    }
    const started = Date.now();
    await runEngine(engine, { sites, proxy, device, cleanup }).catch((error) => {
      failed += 1;
      console.log(`FAIL ${engine.name}: ${error && error.stack || error}`);
    });
    console.log(`     ${engine.name} took ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
}

async function main() {
  const cleanup = [];
  const started = Date.now();
  const limit = setTimeout(() => {
    console.log(`FAIL the whole test took longer than ${TEST_LIMIT_MS / 1000} s`);
    failed += 1;
    finish(cleanup, started).then(() => process.exit(1));
  }, TEST_LIMIT_MS);
  try {
    await run(cleanup);
  } catch (error) {
    failed += 1;
    console.log(`FAIL set-up: ${error && error.stack || error}`);
  }
  clearTimeout(limit);
  await finish(cleanup, started);
  process.exit(failed === 0 ? 0 : 1);
}

async function finish(cleanup, started) {
  for (const step of cleanup.reverse()) {
    await step().catch((error) => console.log(`cleanup: ${error}`));
  }
  cleanup.length = 0;
  console.log(`browser test took ${((Date.now() - started) / 1000).toFixed(1)} s`);
  console.log(`${passed} passed, ${failed} failed${skipped ? `, ${skipped} skipped` : ''}`);
}

main();
