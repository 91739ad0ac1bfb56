// The example page: finds an RD service on the local ports, reads the device
// information and captures, with nothing but fetch and the DOM.
'use strict';

(function () {
  const HOST = '127.0.0.1';
  const FIRST_PORT = 11100;
  const LAST_PORT = 11120;
  const EXTENSION_MARK = 'Registered Device Service Extension';
  // A port that does not answer discovery quickly holds nothing useful.
  const PROBE_TIMEOUT_MS = 3000;
  const INFO_TIMEOUT_MS = 30000;
  // The capture waits for the device's own time-out plus the time the
  // extension needs to find the device and relay its answer.
  const CAPTURE_MARGIN_MS = 20000;
  const OPTION_NAMES = ['fCount', 'fType', 'format', 'pidVer', 'timeout', 'env'];

  class RdTimeout extends Error {}
  class RdUnreachable extends Error {}

  const byId = (id) => document.getElementById(id);
  let chosen = null;  // the discovery result in use
  let ports = [];     // every port's discovery result

  // --- Talking to the service -------------------------------------------

  // One RD request. Resolves with the status and text of any HTTP answer;
  // rejects with RdTimeout or RdUnreachable (refused, or blocked by the
  // browser, which a page cannot tell apart).
  async function rdRequest(method, url, body, timeoutMs) {
    const controller = new AbortController();
    const timer = setTimeout(() => controller.abort(), timeoutMs);
    const init = { method, cache: 'no-store', signal: controller.signal };
    if (body !== undefined) {
      init.body = body;
      init.headers = { 'Content-Type': 'text/xml; charset=utf-8' };
    }
    try {
      const response = await fetch(url, init);
      return { status: response.status, text: await response.text() };
    } catch (error) {
      if (controller.signal.aborted) {
        throw new RdTimeout(`no answer within ${Math.round(timeoutMs / 1000)} s`);
      }
      throw new RdUnreachable(String(error && error.message || error));
    } finally {
      clearTimeout(timer);
    }
  }

  function parseXml(text) {
    const doc = new DOMParser().parseFromString(text, 'text/xml');
    return doc.getElementsByTagName('parsererror').length > 0 ? null : doc;
  }

  function attributesOf(element) {
    const values = {};
    for (const attribute of element ? Array.from(element.attributes) : []) {
      values[attribute.name] = attribute.value;
    }
    return values;
  }

  async function probePort(port) {
    const base = `http://${HOST}:${port}/`;
    let answer;
    try {
      answer = await rdRequest('RDSERVICE', base, undefined, PROBE_TIMEOUT_MS);
    } catch (error) {
      return { port, kind: 'none', text: 'no answer' };
    }
    const doc = parseXml(answer.text);
    const root = doc && doc.documentElement;
    if (answer.status !== 200 || !root || root.nodeName !== 'RDService') {
      return { port, kind: 'other', text: `not an RD service (HTTP ${answer.status})` };
    }
    // CAPTURE and DEVICEINFO go to the paths that the service names.
    const paths = {};
    for (const item of Array.from(root.getElementsByTagName('Interface'))) {
      paths[item.getAttribute('id')] = new URL(item.getAttribute('path') || '/', base).href;
    }
    const info = root.getAttribute('info') || '';
    return {
      port, kind: 'rd', status: root.getAttribute('status') || '', info, paths,
      isExtension: info.endsWith(EXTENSION_MARK),
    };
  }

  // The extension first (it finds the device by itself), then a ready service.
  function chooseService(results) {
    const services = results.filter((result) => result.kind === 'rd');
    return services.find((s) => s.isExtension) ||
      services.find((s) => s.status === 'READY') || services[0] || null;
  }

  function escapeAttribute(value) {
    return String(value).replace(/&/g, '&amp;').replace(/"/g, '&quot;')
      .replace(/</g, '&lt;').replace(/>/g, '&gt;');
  }

  function pidOptionsText() {
    const form = byId('pid-options');
    const attributes = OPTION_NAMES
      .map((name) => `${name}="${escapeAttribute(form.elements[name].value.trim())}"`).join(' ');
    return `<PidOptions ver="1.0"><Opts ${attributes} /></PidOptions>`;
  }

  // --- Showing it -------------------------------------------------------

  function showMessage(id, kind, text) {
    const element = byId(id);
    element.className = `message ${kind}`;
    element.textContent = text;
  }

  function showFields(id, rows) {
    const list = byId(id);
    list.replaceChildren();
    for (const [name, value] of rows) {
      const term = document.createElement('dt');
      term.textContent = name;
      const detail = document.createElement('dd');
      detail.textContent = value === undefined || value === '' ? '\u2014' : value;
      list.append(term, detail);
    }
  }

  function failureText(error, what) {
    if (error instanceof RdTimeout) {
      return `${what} timed out: ${error.message}. Is the device waiting for a finger, or busy?`;
    }
    return `${what} failed: the RD service on port ${chosen.port} did not answer. ` +
      'Is it still running? (A browser that blocks local network access gives the same error.)';
  }

  // A PidData error: errCode 5 means the extension found no device service.
  function pidDataErrorText(resp) {
    if (resp.errCode === '5') {
      return 'No RD device service is available (errCode 5, ' +
        `${resp.errInfo || 'RDSERVICE_NOT_AVAILABLE'}): connect the device and start its service.`;
    }
    return `The RD service reports errCode ${resp.errCode}: ${resp.errInfo || 'no details'}.`;
  }

  function renderPortRow(result) {
    const row = byId(`port-${result.port}`);
    const answerCell = row.children[1];
    const actionCell = row.children[2];
    answerCell.replaceChildren();
    actionCell.replaceChildren();
    row.className = result.kind;
    const badge = document.createElement('span');
    badge.className = `badge ${result.kind === 'rd' ? result.status.toLowerCase() : result.kind}`;
    badge.textContent = result.kind === 'rd' ? result.status || '?' : result.text;
    answerCell.append(badge);
    if (result.kind !== 'rd') {
      return;
    }
    answerCell.append(document.createTextNode(` ${result.info}`));
    if (result === chosen) {
      row.classList.add('chosen');
      actionCell.textContent = 'in use';
      return;
    }
    const use = document.createElement('button');
    use.type = 'button';
    use.className = 'link';
    use.textContent = 'Use';
    use.addEventListener('click', () => choose(result));
    actionCell.append(use);
  }

  function choose(result) {
    chosen = result;
    ports.forEach(renderPortRow);
    byId('read-info').disabled = !chosen || !chosen.paths.DEVICEINFO;
    byId('capture').disabled = !chosen || !chosen.paths.CAPTURE;
    if (!chosen) {
      showMessage('discovery-message', 'error',
        `No RD service answered on ports ${FIRST_PORT}\u2013${LAST_PORT}. ` +
        'Start the RD service (or the extension) and scan again.');
      return;
    }
    const what = chosen.isExtension ? 'the RD service extension' : 'an RD service';
    showMessage('discovery-message', 'ok', `Using ${what} on port ${chosen.port}: ${chosen.info}`);
    for (const id of ['device-message', 'capture-message']) {
      showMessage(id, 'info', `Ready: requests go to port ${chosen.port}.`);
    }
  }

  // --- Actions ----------------------------------------------------------

  async function scan() {
    byId('scan').disabled = true;
    showMessage('discovery-message', 'busy', `Scanning ports ${FIRST_PORT}\u2013${LAST_PORT}\u2026`);
    const body = byId('port-rows');
    body.replaceChildren();
    const probes = [];
    for (let port = FIRST_PORT; port <= LAST_PORT; ++port) {
      const row = body.insertRow();
      row.id = `port-${port}`;
      row.insertCell().textContent = port;
      row.insertCell().textContent = '\u2026';
      row.insertCell();
      probes.push(probePort(port).then((result) => { renderPortRow(result); return result; }));
    }
    ports = await Promise.all(probes);
    byId('scan').disabled = false;
    choose(chooseService(ports));
  }

  async function readDeviceInfo() {
    const button = byId('read-info');
    button.disabled = true;
    showMessage('device-message', 'busy', 'Reading device information\u2026');
    showFields('device-fields', []);
    byId('device-raw').textContent = '';
    try {
      const answer = await rdRequest('DEVICEINFO', chosen.paths.DEVICEINFO, undefined, INFO_TIMEOUT_MS);
      byId('device-raw').textContent = answer.text;
      const doc = parseXml(answer.text);
      const root = doc && doc.documentElement;
      if (root && root.nodeName === 'PidData') {
        showMessage('device-message', 'error', pidDataErrorText(attributesOf(root.querySelector('Resp'))));
      } else if (root && root.nodeName === 'DeviceInfo') {
        const device = attributesOf(root);
        const rows = [['Provider (dpId)', device.dpId], ['RD service (rdsId)', device.rdsId],
          ['Version (rdsVer)', device.rdsVer], ['Model (mi)', device.mi],
          ['Code (dc)', device.dc]];
        for (const param of Array.from(root.getElementsByTagName('Param'))) {
          rows.push([param.getAttribute('name'), param.getAttribute('value')]);
        }
        showFields('device-fields', rows);
        showMessage('device-message', 'ok', `Device ${device.mi || ''} is connected.`);
      } else {
        showMessage('device-message', 'error', `Unexpected answer (HTTP ${answer.status}): not a DeviceInfo document.`);
      }
    } catch (error) {
      showMessage('device-message', 'error', failureText(error, 'Reading device information'));
    } finally {
      button.disabled = false;
    }
  }

  async function capture() {
    const button = byId('capture');
    button.disabled = true;
    const options = pidOptionsText();
    const deviceTimeout = Number.parseInt(byId('pid-options').elements.timeout.value, 10) || 10000;
    showMessage('capture-message', 'busy', 'Capturing: place a finger on the device\u2026');
    showFields('capture-fields', []);
    byId('capture-raw').textContent = '';
    try {
      const answer = await rdRequest('CAPTURE', chosen.paths.CAPTURE, options,
        deviceTimeout + CAPTURE_MARGIN_MS);
      byId('capture-raw').textContent = answer.text;
      const doc = parseXml(answer.text);
      const resp = doc && doc.documentElement.nodeName === 'PidData' && doc.querySelector('Resp');
      if (!resp) {
        showMessage('capture-message', 'error', `Unexpected answer (HTTP ${answer.status}): not a PidData document.`);
        return;
      }
      const result = attributesOf(resp);
      showFields('capture-fields', [['errCode', result.errCode], ['errInfo', result.errInfo],
        ['qScore', result.qScore], ['fCount', result.fCount], ['nmPoints', result.nmPoints]]);
      if (result.errCode === '0') {
        showMessage('capture-message', 'ok', `Captured, quality score ${result.qScore || 'not given'}.`);
      } else {
        showMessage('capture-message', 'error', pidDataErrorText(result));
      }
    } catch (error) {
      showMessage('capture-message', 'error', failureText(error, 'The capture'));
    } finally {
      button.disabled = false;
    }
  }

  function showPidOptions() {
    byId('pid-options-text').textContent = pidOptionsText();
  }

  byId('scan').addEventListener('click', scan);
  byId('read-info').addEventListener('click', readDeviceInfo);
  byId('capture').addEventListener('click', capture);
  byId('pid-options').addEventListener('input', showPidOptions);
  showPidOptions();
  scan();
})();
