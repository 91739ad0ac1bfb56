// The example page: finds an RD service on the local ports, reads the device
// information and captures. The protocol is rd-client.js; this file only
// shows it.
import {
  FIRST_PORT, LAST_PORT, RdBlocked, RdTimeout, RdUnexpectedAnswer, capture as captureWith, chooseService,
  defaultSchemes, discover, noServiceError, pidOptionsXml, readDeviceInfo as readDeviceInfoOf,
} from './rd-client.js';

const OPTION_NAMES = ['fCount', 'fType', 'format', 'pidVer', 'timeout', 'env'];

const byId = (id) => document.getElementById(id);
// ?schemes=https,http chooses the schemes to try; the module's default otherwise.
const schemes = new URLSearchParams(location.search).get('schemes')?.split(',') || defaultSchemes();
let chosen = null;  // the discovery result in use
let ports = [];     // every port's discovery result

function pidOptionsText() {
  const form = byId('pid-options');
  const options = {};
  for (const name of OPTION_NAMES) options[name] = form.elements[name].value;
  return pidOptionsXml(options);
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
  if (error instanceof RdUnexpectedAnswer) {
    return error.message;
  }
  if (error instanceof RdBlocked) {
    return `${what} failed: ${error.message}.`;
  }
  if (error instanceof RdTimeout) {
    return `${what} timed out: ${error.message}. Is the device waiting for a finger, or busy?`;
  }
  return `${what} failed: the RD service at ${chosen.base} did not answer. Is it still running?`;
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
  answerCell.append(document.createTextNode(` ${result.scheme}: ${result.info}`));
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
    const error = noServiceError(ports, schemes);
    const hint = error instanceof RdBlocked ? '' : ' Start the RD service (or the extension) and scan again.';
    showMessage('discovery-message', 'error', `${error.message}${hint}`);
    return;
  }
  const what = chosen.isExtension ? 'the RD service extension' : 'an RD service';
  showMessage('discovery-message', 'ok',
    `Using ${what} on port ${chosen.port} (${chosen.scheme}): ${chosen.info}`);
  for (const id of ['device-message', 'capture-message']) {
    showMessage(id, 'info', `Ready: requests go to ${chosen.base}.`);
  }
}

// --- Actions ----------------------------------------------------------

async function scan() {
  byId('scan').disabled = true;
  showMessage('discovery-message', 'busy',
    `Scanning ports ${FIRST_PORT}\u2013${LAST_PORT} (${schemes.join(', ')})\u2026`);
  const body = byId('port-rows');
  body.replaceChildren();
  for (let port = FIRST_PORT; port <= LAST_PORT; ++port) {
    const row = body.insertRow();
    row.id = `port-${port}`;
    row.insertCell().textContent = port;
    row.insertCell().textContent = '\u2026';
    row.insertCell();
  }
  ports = await discover({ schemes, onResult: renderPortRow });
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
    const answer = await readDeviceInfoOf(chosen);
    byId('device-raw').textContent = answer.text;
    if (answer.kind === 'pidData') {
      showMessage('device-message', 'error', pidDataErrorText(answer.resp));
      return;
    }
    const device = answer.device;
    showFields('device-fields', [['Provider (dpId)', device.dpId], ['RD service (rdsId)', device.rdsId],
      ['Version (rdsVer)', device.rdsVer], ['Model (mi)', device.mi],
      ['Code (dc)', device.dc], ...answer.params]);
    showMessage('device-message', 'ok', `Device ${device.mi || ''} is connected.`);
  } catch (error) {
    if (error instanceof RdUnexpectedAnswer) byId('device-raw').textContent = error.text;
    showMessage('device-message', 'error', failureText(error, 'Reading device information'));
  } finally {
    button.disabled = false;
  }
}

async function capture() {
  const button = byId('capture');
  button.disabled = true;
  showMessage('capture-message', 'busy', 'Capturing: place a finger on the device\u2026');
  showFields('capture-fields', []);
  byId('capture-raw').textContent = '';
  try {
    const answer = await captureWith(chosen, pidOptionsText());
    byId('capture-raw').textContent = answer.text;
    const result = answer.resp;
    showFields('capture-fields', [['errCode', result.errCode], ['errInfo', result.errInfo],
      ['qScore', result.qScore], ['fCount', result.fCount], ['nmPoints', result.nmPoints]]);
    if (result.errCode === '0') {
      showMessage('capture-message', 'ok', `Captured, quality score ${result.qScore || 'not given'}.`);
    } else {
      showMessage('capture-message', 'error', pidDataErrorText(result));
    }
  } catch (error) {
    if (error instanceof RdUnexpectedAnswer) byId('capture-raw').textContent = error.text;
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
