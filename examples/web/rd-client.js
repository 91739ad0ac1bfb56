// RD service client for web pages: discovery on the local ports, device
// information and capture, with typed errors and a time-out on every request.
// A dependency-free ES module (fetch, AbortController, DOMParser, URL): copy
// it as it is and import what you need.
//
//   import { discover, chooseService, readDeviceInfo, capture, pidOptionsXml } from './rd-client.js';
//   const service = chooseService(await discover());
//   const result = await capture(service, pidOptionsXml({ fCount: 1, fType: 2, timeout: 10000 }));

export const DEFAULT_HOST = '127.0.0.1';
export const FIRST_PORT = 11100;
export const LAST_PORT = 11120;
// The end of the extension's own info text; a device's service names itself otherwise.
export const EXTENSION_MARK = 'Registered Device Service Extension';
// A port that does not answer discovery quickly holds nothing useful.
export const PROBE_TIMEOUT_MS = 3000;
export const INFO_TIMEOUT_MS = 30000;
// A capture waits for the device's own time-out plus the time the extension
// needs to find the device and relay its answer.
export const CAPTURE_MARGIN_MS = 20000;
export const DEFAULT_CAPTURE_TIMEOUT_MS = 10000;

// Every failure of a request is one of these.
export class RdError extends Error {
  constructor(message) { super(message); this.name = new.target.name; }
}
// No answer within the time-out.
export class RdTimeout extends RdError {}
// Refused, or blocked by the browser (local network access): a page cannot
// tell the two apart.
export class RdUnreachable extends RdError {}
// An answer that is not the document the request asks for; `status` and
// `text` hold what came.
export class RdUnexpectedAnswer extends RdError {
  constructor(message, status, text) { super(message); this.status = status; this.text = text; }
}

// One RD request. Resolves with { status, text } of any HTTP answer; rejects
// with RdTimeout or RdUnreachable.
export async function rdRequest(method, url, body, timeoutMs) {
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
    throw new RdUnreachable(String((error && error.message) || error));
  } finally {
    clearTimeout(timer);
  }
}

// The root element of an XML text, or null when it does not parse.
function rootOf(text) {
  const doc = new DOMParser().parseFromString(text, 'text/xml');
  return doc.getElementsByTagName('parsererror').length > 0 ? null : doc.documentElement;
}

// The attributes of an element as a plain object ({} for none).
export function attributesOf(element) {
  const values = {};
  for (const attribute of element ? Array.from(element.attributes) : []) {
    values[attribute.name] = attribute.value;
  }
  return values;
}

// What one port answers to RDSERVICE:
//   { port, kind: 'rd', status, info, paths: { CAPTURE, DEVICEINFO, ... }, isExtension }
//   { port, kind: 'other', text }   an HTTP answer that is no RD service
//   { port, kind: 'none', text }    no answer (closed, blocked, or timed out)
export async function probePort(port, { host = DEFAULT_HOST, timeoutMs = PROBE_TIMEOUT_MS } = {}) {
  const base = `http://${host}:${port}/`;
  let answer;
  try {
    answer = await rdRequest('RDSERVICE', base, undefined, timeoutMs);
  } catch (error) {
    return { port, kind: 'none', text: 'no answer' };
  }
  const root = rootOf(answer.text);
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

// Probes every port of the range at once; resolves with every port's result
// in port order. `onResult` (optional) sees each result as it arrives.
export async function discover({ host = DEFAULT_HOST, firstPort = FIRST_PORT, lastPort = LAST_PORT,
  timeoutMs = PROBE_TIMEOUT_MS, onResult } = {}) {
  const probes = [];
  for (let port = firstPort; port <= lastPort; ++port) {
    probes.push(probePort(port, { host, timeoutMs }).then((result) => {
      if (onResult) onResult(result);
      return result;
    }));
  }
  return Promise.all(probes);
}

// The extension first (it finds the device by itself), then a ready
// service, then any; null when no port holds an RD service.
export function chooseService(results) {
  const services = results.filter((result) => result.kind === 'rd');
  return services.find((s) => s.isExtension) ||
    services.find((s) => s.status === 'READY') || services[0] || null;
}

function escapeAttribute(value) {
  return String(value).replace(/&/g, '&amp;').replace(/"/g, '&quot;')
    .replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

// A PidOptions document whose Opts element carries `options` as attributes,
// in the order given.
export function pidOptionsXml(options) {
  const attributes = Object.entries(options)
    .map(([name, value]) => `${name}="${escapeAttribute(String(value).trim())}"`).join(' ');
  return `<PidOptions ver="1.0"><Opts ${attributes} /></PidOptions>`;
}

// DEVICEINFO to the service's path. Resolves with
//   { kind: 'deviceInfo', device, params: [[name, value], ...], text }
//   { kind: 'pidData', resp, text }   the service's error (resp.errCode, resp.errInfo)
// and rejects with RdTimeout, RdUnreachable or RdUnexpectedAnswer.
export async function readDeviceInfo(service, { timeoutMs = INFO_TIMEOUT_MS } = {}) {
  const answer = await rdRequest('DEVICEINFO', service.paths.DEVICEINFO, undefined, timeoutMs);
  const root = rootOf(answer.text);
  if (root && root.nodeName === 'PidData') {
    return { kind: 'pidData', resp: attributesOf(root.querySelector('Resp')), text: answer.text };
  }
  if (!root || root.nodeName !== 'DeviceInfo') {
    throw new RdUnexpectedAnswer(`Unexpected answer (HTTP ${answer.status}): not a DeviceInfo document.`,
      answer.status, answer.text);
  }
  const params = Array.from(root.getElementsByTagName('Param'))
    .map((param) => [param.getAttribute('name'), param.getAttribute('value')]);
  return { kind: 'deviceInfo', device: attributesOf(root), params, text: answer.text };
}

// CAPTURE with a PidOptions text to the service's path; the time-out is the
// device's own (the options' timeout attribute) plus CAPTURE_MARGIN_MS
// unless given. Resolves with { resp, text }: resp.errCode '0' is a capture,
// anything else the service's error. Rejects with RdTimeout, RdUnreachable
// or RdUnexpectedAnswer.
export async function capture(service, pidOptions, { timeoutMs } = {}) {
  const deviceTimeout = Number.parseInt((pidOptions.match(/\btimeout="(\d+)"/) || [])[1], 10) ||
    DEFAULT_CAPTURE_TIMEOUT_MS;
  const answer = await rdRequest('CAPTURE', service.paths.CAPTURE, pidOptions,
    timeoutMs || deviceTimeout + CAPTURE_MARGIN_MS);
  const root = rootOf(answer.text);
  const resp = root && root.nodeName === 'PidData' && root.querySelector('Resp');
  if (!resp) {
    throw new RdUnexpectedAnswer(`Unexpected answer (HTTP ${answer.status}): not a PidData document.`,
      answer.status, answer.text);
  }
  return { resp: attributesOf(resp), text: answer.text };
}
