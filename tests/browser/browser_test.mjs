// The example page and every browser call style against the extension and
// the simulated device, in headless Chromium, from another origin.
//
// Wire check: a TCP proxy in this process takes port 11100 before the
// extension starts, so the extension listens on the next free port and the
// page (which prefers the lowest port that names the extension) talks to it
// through the proxy. The proxy splits each connection's bytes into requests,
// and it passes the extension's close on to the browser only after a while:
// a browser that takes an answer for keep-alive then sends its next request
// (typically the CAPTURE after its preflight) on the same connection, which
// shows as a second request on it; one that re-sent a request would show
// more CAPTUREs than calls.
import { mkdirSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

import { FIRST_PORT, LAST_PORT } from '../../examples/web/rd-client.js';
import { CALL_STYLES, captureInPage } from './call_styles.mjs';
import { Child } from './processes.mjs';
import { startCountingProxy, startStaticServer } from './servers.mjs';

const here = dirname(fileURLToPath(import.meta.url));
const root = resolve(here, '../..');
const buildDir = resolve(process.env.RDEXT_BUILD_DIR || join(root, 'build/linux'));
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const TEST_LIMIT_MS = 180000;
const START_MS = 15000;
const PAGE_WAIT_MS = 30000;
const PROXY_PORT = FIRST_PORT;
const DEVICE_PORT = 11105;
const PID_OPTIONS = '<PidOptions ver="1.0"><Opts fCount="1" fType="2" format="0" pidVer="2.0" ' +
  'timeout="10000" env="P" /></PidOptions>';

let passed = 0;
let failed = 0;

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

// The message element of a step once the page has finished that step.
async function settledMessage(page, id) {
  await page.waitForSelector(`#${id}.ok, #${id}.error`, { timeout: PAGE_WAIT_MS });
  return page.evaluate((elementId) => {
    const element = document.getElementById(elementId);
    return { ok: element.classList.contains('ok'), text: element.textContent };
  }, id);
}

async function clickAndSettle(page, buttonId, messageId) {
  await page.waitForSelector(`#${buttonId}:not([disabled])`, { timeout: PAGE_WAIT_MS });
  // A reset message can only settle again through this click.
  await page.evaluate((id) => { document.getElementById(id).className = 'message'; }, messageId);
  await page.click(`#${buttonId}`);
  return settledMessage(page, messageId);
}

async function run(cleanup) {
  const device = new Child('rdservice_sim', join(buildDir, 'src/rdservice_sim'),
    ['--port', String(DEVICE_PORT)]);
  cleanup.push(() => device.stop());
  await device.waitForOutput(/Simulated RD service at/, START_MS);

  let extensionPort = 0;
  const proxy = await startCountingProxy(PROXY_PORT, () => extensionPort);
  cleanup.push(() => proxy.close());
  const extension = new Child('rdserver_ext', join(buildDir, 'src/rdserver_ext'), ['-console']);
  cleanup.push(() => extension.stop());
  const hosted = await extension.waitForOutput(/Web service hosted at http:\/\/[\d.]+:(\d+)/, START_MS);
  extensionPort = Number(hosted[1]);

  const site = await startStaticServer({
    '/vendor/jquery1/': join(here, 'node_modules/jquery1/dist'),
    '/vendor/jquery3/': join(here, 'node_modules/jquery3/dist'),
    '/vendor/jquery4/': join(here, 'node_modules/jquery4/dist'),
    '/': join(root, 'examples/web'),
  });
  cleanup.push(() => new Promise((done) => site.server.close(done)));

  const browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  cleanup.push(() => browser.close());
  const page = await browser.newPage({ viewport: { width: 1100, height: 1000 } });
  const consoleErrors = [];
  page.on('console', (message) => { if (message.type() === 'error') consoleErrors.push(message.text()); });
  await page.goto(`${site.origin}/index.html`);
  let calls = 0;  // CAPTURE calls made through the proxy

  await check('discovery finds the extension and shows every port', async () => {
    const message = await settledMessage(page, 'discovery-message');
    expect(message.ok && message.text.includes(`extension on port ${PROXY_PORT}`), message.text);
    const rows = await page.$$eval('#port-rows tr', (trs) => trs.map((tr) => tr.textContent));
    expect(rows.length === LAST_PORT - FIRST_PORT + 1, `${rows.length} port rows`);
    expect(rows[DEVICE_PORT - FIRST_PORT].includes('READY') && rows[DEVICE_PORT - FIRST_PORT].includes('(simulated)'),
      `device row: ${rows[DEVICE_PORT - FIRST_PORT]}`);
    expect(rows[extensionPort - FIRST_PORT].includes('Registered Device Service Extension'),
      `extension row: ${rows[extensionPort - FIRST_PORT]}`);
    expect(rows[LAST_PORT - FIRST_PORT].includes('no answer'), `port ${LAST_PORT} row: ${rows[LAST_PORT - FIRST_PORT]}`);
  });

  await check('device information is shown', async () => {
    const message = await clickAndSettle(page, 'read-info', 'device-message');
    expect(message.ok, message.text);
    const fields = await page.textContent('#device-fields');
    expect(fields.includes('ZR4410QX') && fields.includes('SIM0001'), `fields: ${fields}`);
    expect((await page.textContent('#device-raw')).startsWith('<DeviceInfo '), 'raw DeviceInfo missing');
  });

  await check('the page captures with its PidOptions', async () => {
    await page.fill('input[name="fType"]', '0');
    await page.fill('input[name="fType"]', '2');
    const message = await clickAndSettle(page, 'capture', 'capture-message');
    calls += 1;
    expect(message.ok && message.text.includes('quality score 78'), message.text);
    const fields = await page.textContent('#capture-fields');
    expect(fields.includes('errCode0') && fields.includes('errInfoCapture Success'), `fields: ${fields}`);
    const raw = await page.textContent('#capture-raw');
    expect(raw.startsWith('<PidData>') && raw.includes('fType="2"'), `raw: ${raw.slice(0, 80)}`);
  });

  const screenshot = join(buildDir, 'browser/page.png');
  mkdirSync(dirname(screenshot), { recursive: true });
  await page.screenshot({ path: screenshot, fullPage: true });

  for (const [version, global] of [['1', 'jq1'], ['3', 'jq3'], ['4', 'jq4']]) {
    await page.addScriptTag({ url: `/vendor/jquery${version}/jquery.js` });
    await page.evaluate((name) => { window[name] = window.jQuery.noConflict(true); }, global);
  }
  const captureUrl = `http://127.0.0.1:${PROXY_PORT}/rd/capture`;
  for (const [name, style] of Object.entries(CALL_STYLES)) {
    await check(`CAPTURE by ${name}`, async () => {
      calls += 1;
      const answer = await page.evaluate(captureInPage, [style, captureUrl, PID_OPTIONS]);
      expect(answer.status === 200, `status ${answer.status}`);
      expect(answer.text.includes('errCode="0"') && answer.text.includes('fType="2"'),
        `answer: ${answer.text.slice(0, 120)}`);
      if (answer.version) console.log(`     jQuery ${answer.version}`);
    });
  }

  await check('rd-client.js alone: discovery, device information, capture, typed time-out', async () => {
    calls += 1;
    const result = await page.evaluate(async ([options]) => {
      const rd = await import('/rd-client.js');
      const service = rd.chooseService(await rd.discover());
      const info = await rd.readDeviceInfo(service);
      const captured = await rd.capture(service, options);
      let timeout = '';
      try {
        await rd.rdRequest('DEVICEINFO', service.paths.DEVICEINFO, undefined, 1);
      } catch (error) {
        timeout = error instanceof rd.RdTimeout ? 'RdTimeout' : String(error);
      }
      return { port: service.port, model: info.device.mi, errCode: captured.resp.errCode, timeout };
    }, [PID_OPTIONS]);
    expect(result.port === PROXY_PORT && result.model.includes('ZR4410QX') && result.errCode === '0' &&
      result.timeout === 'RdTimeout', JSON.stringify(result));
  });

  await check('a stopped device gives errCode 5 on the page', async () => {
    await device.stop();
    const message = await clickAndSettle(page, 'capture', 'capture-message');
    calls += 1;
    expect(!message.ok && message.text.includes('errCode 5'), message.text);
    expect((await page.textContent('#capture-raw')).includes('RDSERVICE_NOT_AVAILABLE'), 'raw PidData missing');
  });

  await check('no connection carries a second request, none is re-sent', async () => {
    const reused = proxy.connections.filter((c) => c.requestLines.length > 1);
    expect(reused.length === 0,
      `${reused.length} connections carried more than one request: ${JSON.stringify(reused.map((c) => c.requestLines))}`);
    const captures = proxy.connections.flatMap((c) => c.requestLines).filter((l) => l.startsWith('CAPTURE '));
    expect(captures.length === calls, `${captures.length} CAPTURE requests on the wire for ${calls} calls`);
    console.log(`     ${proxy.connections.length} connections through the proxy, ` +
      `${captures.length} CAPTUREs for ${calls} calls`);
  });

  await check('the page logged no errors besides the closed ports', async () => {
    const unexpected = consoleErrors.filter((text) => !text.includes('net::ERR_CONNECTION_REFUSED'));
    expect(unexpected.length === 0, unexpected.join('\n'));
  });
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
  console.log(`${passed} passed, ${failed} failed`);
}

main();
