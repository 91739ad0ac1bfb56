// RD service client for web pages: discovery on the local ports over HTTP
// and HTTPS, device information and capture, with typed errors and a
// time-out on every request.
// A dependency-free ES module (fetch, AbortController, DOMParser, URL): copy
// it as it is and import what you need.
//
//   import { findService, readDeviceInfo, capture, pidOptionsXml } from './rd-client.js';
//   const service = await findService();   // or chooseService(await discover())
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
// Why a browser stops a request before it leaves (RdBlocked.reason).
export const BLOCKED_MIXED_CONTENT = 'mixed-content';
export const BLOCKED_LOCAL_NETWORK = 'local-network';
// Permission names of Chromium's local-network access prompt, old and new.
const LOCAL_NETWORK_PERMISSIONS = ['local-network-access', 'loopback-network'];

// The schemes to try, in order of preference: an https page may reach the
// extension's HTTPS listener and, in most browsers, its HTTP one; an http
// page takes HTTP (it cannot know whether the certificate is trusted).
export function defaultSchemes() {
  return globalThis.location && globalThis.location.protocol === 'https:' ? ['https', 'http'] : ['http'];
}

// Every failure of a request is one of these.
export class RdError extends Error {
  constructor(message) { super(message); this.name = new.target.name; }
}
// No answer within the time-out.
export class RdTimeout extends RdError {}
// Refused, or no answer the browser lets the page see.
export class RdUnreachable extends RdError {}
// Most likely stopped by the browser before it left: `reason` is
// BLOCKED_MIXED_CONTENT (an https page calling http://) or
// BLOCKED_LOCAL_NETWORK (the user refused local network access). A closed
// port fails the same way, so the message says "likely".
export class RdBlocked extends RdUnreachable {
  constructor(message, reason) { super(message); this.reason = reason; }
}
// Discovery found no RD service on any port and scheme tried.
export class RdNotFound extends RdError {}
// An answer that is not the document the request asks for; `status` and
// `text` hold what came.
export class RdUnexpectedAnswer extends RdError {
  constructor(message, status, text) { super(message); this.status = status; this.text = text; }
}

async function localNetworkRefused() {
  if (!globalThis.navigator || !navigator.permissions) return false;
  for (const name of LOCAL_NETWORK_PERMISSIONS) {
    try {
      if ((await navigator.permissions.query({ name })).state === 'denied') return true;
    } catch {
      // This browser has no such permission.
    }
  }
  return false;
}

// Why the browser likely stopped a request to `url` that failed without an
// answer, or '' when nothing points to the browser.
async function likelyBlock(url) {
  if (await localNetworkRefused()) return BLOCKED_LOCAL_NETWORK;
  const pageIsSecure = globalThis.location && globalThis.location.protocol === 'https:';
  return pageIsSecure && new URL(url).protocol === 'http:' ? BLOCKED_MIXED_CONTENT : '';
}

function blockedMessage(reason, url) {
  if (reason === BLOCKED_LOCAL_NETWORK) {
    return `the browser refuses this page access to the local network (${url}): ` +
      'allow it in the site settings, or an administrator sets the local-network policy for this site';
  }
  return `no answer from ${url}, likely blocked as mixed content: some browsers (WebKit, Safari) ` +
    'let an https page call only https:// on this computer; the extension\'s HTTPS listener serves it';
}

// One RD request. Resolves with { status, text } of any HTTP answer; rejects
// with RdTimeout, RdBlocked or RdUnreachable.
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
    const reason = await likelyBlock(url);
    if (reason) throw new RdBlocked(blockedMessage(reason, url), reason);
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

// What one port answers to RDSERVICE over one scheme:
//   { port, scheme, base, kind: 'rd', status, info, paths: { CAPTURE, DEVICEINFO, ... }, isExtension }
//   { port, scheme, base, kind: 'other', text }     an HTTP answer that is no RD service
//   { port, scheme, base, kind: 'none', text, blocked }   no answer; `blocked` is the
//                                                  likely RdBlocked reason or ''
async function probeScheme(port, scheme, host, timeoutMs) {
  const base = `${scheme}://${host}:${port}/`;
  let answer;
  try {
    answer = await rdRequest('RDSERVICE', base, undefined, timeoutMs);
  } catch (error) {
    return { port, scheme, base, kind: 'none', text: 'no answer', blocked: error.reason || '' };
  }
  const root = rootOf(answer.text);
  if (answer.status !== 200 || !root || root.nodeName !== 'RDService') {
    return { port, scheme, base, kind: 'other', text: `not an RD service (HTTP ${answer.status})` };
  }
  // CAPTURE and DEVICEINFO go to the paths that the service names, on the
  // scheme and port that answered.
  const paths = {};
  for (const item of Array.from(root.getElementsByTagName('Interface'))) {
    paths[item.getAttribute('id')] = new URL(item.getAttribute('path') || '/', base).href;
  }
  const info = root.getAttribute('info') || '';
  return {
    port, scheme, base, kind: 'rd', status: root.getAttribute('status') || '', info, paths,
    isExtension: info.endsWith(EXTENSION_MARK),
  };
}

const KIND_RANK = { rd: 0, other: 1, none: 2 };

// What one port answers to RDSERVICE over each of `schemes` (a port serves
// one scheme): the best answer, earlier schemes first among equals.
export async function probePort(port, { host = DEFAULT_HOST, timeoutMs = PROBE_TIMEOUT_MS,
  schemes = defaultSchemes() } = {}) {
  const results = await Promise.all(schemes.map((scheme) => probeScheme(port, scheme, host, timeoutMs)));
  const best = results.reduce((a, b) => (KIND_RANK[b.kind] < KIND_RANK[a.kind] ? b : a));
  if (best.kind === 'none') best.blocked = results.map((r) => r.blocked).find(Boolean) || '';
  return best;
}

// Probes every port of the range at once; resolves with every port's result
// in port order. `onResult` (optional) sees each result as it arrives.
export async function discover({ host = DEFAULT_HOST, firstPort = FIRST_PORT, lastPort = LAST_PORT,
  timeoutMs = PROBE_TIMEOUT_MS, schemes = defaultSchemes(), onResult } = {}) {
  const probes = [];
  for (let port = firstPort; port <= lastPort; ++port) {
    probes.push(probePort(port, { host, timeoutMs, schemes }).then((result) => {
      if (onResult) onResult(result);
      return result;
    }));
  }
  return Promise.all(probes);
}

// The extension first (it finds the device by itself), then a ready
// service, then any, HTTPS before HTTP among equals; null when no port
// holds an RD service.
export function chooseService(results) {
  const services = results.filter((result) => result.kind === 'rd')
    .sort((a, b) => (a.scheme === 'https' ? 0 : 1) - (b.scheme === 'https' ? 0 : 1));
  return services.find((s) => s.isExtension) ||
    services.find((s) => s.status === 'READY') || services[0] || null;
}

// Why discovery over `schemes` found no service: RdBlocked when the browser
// likely stopped the probes, else RdNotFound.
export function noServiceError(results, schemes = defaultSchemes()) {
  const range = results.length ? `ports ${results[0].port}\u2013${results[results.length - 1].port}` : 'no port';
  const reason = [BLOCKED_LOCAL_NETWORK, BLOCKED_MIXED_CONTENT]
    .find((r) => results.some((result) => result.blocked === r));
  if (reason === BLOCKED_LOCAL_NETWORK) {
    return new RdBlocked(`No RD service answered on ${range}: ${blockedMessage(reason, 'this computer')}.`, reason);
  }
  if (reason) {
    return new RdBlocked(`No RD service answered on ${range}. This https page's http:// requests were ` +
      'likely blocked as mixed content (WebKit and Safari block them; Chromium and Firefox do not): ' +
      'the extension serves such pages on its HTTPS listener (with ssl_localhost.pem), and the ' +
      'browser must trust its certificate.', reason);
  }
  const untrusted = schemes.includes('https') ? ' An HTTPS listener whose certificate the browser does not ' +
    'trust gives no answer either: open its address once to check.' : '';
  return new RdNotFound(`No RD service answered on ${range} (${schemes.join(', ')}).${untrusted}`);
}

// Discovery and choice in one: resolves with the service chosen, rejects
// with RdBlocked or RdNotFound.
export async function findService(options = {}) {
  const results = await discover(options);
  const service = chooseService(results);
  if (!service) throw noServiceError(results, options.schemes);
  return service;
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
