// Steps run inside the example page (each function is sent to the browser
// on its own, so it uses nothing from this file).

// Optionally sets form fields, clicks a button once it is enabled, and
// resolves with the message element's { ok, text } once it shows a result.
export function stepInPage({ fill = {}, button, message, timeoutMs }) {
  const byId = (id) => document.getElementById(id);
  const until = (ready, what) => new Promise((resolve, reject) => {
    if (ready()) return resolve();
    const observer = new MutationObserver(() => {
      if (ready()) { clearTimeout(timer); observer.disconnect(); resolve(); }
    });
    const timer = setTimeout(() => {
      observer.disconnect();
      reject(new Error(`${what} within ${timeoutMs} ms: ${byId(message).textContent}`));
    }, timeoutMs);
    observer.observe(document.body, { subtree: true, attributes: true, childList: true, characterData: true });
  });
  const settled = () => ['ok', 'error'].some((kind) => byId(message).classList.contains(kind));
  return (async () => {
    for (const [name, value] of Object.entries(fill)) {
      const input = document.querySelector(`[name="${name}"]`);
      input.value = value;
      input.dispatchEvent(new Event('input', { bubbles: true }));
    }
    if (button) {
      await until(() => !byId(button).disabled, `#${button} not enabled`);
      byId(message).className = 'message';  // settles again only through this click
      byId(button).click();
    }
    await until(settled, `#${message} not settled`);
    const text = (id) => byId(id).textContent;
    return {
      ok: byId(message).classList.contains('ok'), text: text(message),
      rows: Array.from(document.querySelectorAll('#port-rows tr')).map((row) => row.textContent),
      device: text('device-fields'), deviceRaw: text('device-raw'),
      capture: text('capture-fields'), captureRaw: text('capture-raw'),
    };
  })();
}

// Loads the three jQuery versions beside each other as jq1, jq3 and jq4.
export async function loadJQueries() {
  for (const version of ['1', '3', '4']) {
    await new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = `/vendor/jquery${version}/jquery.js`;
      script.onload = resolve;
      script.onerror = () => reject(new Error(`jQuery ${version} did not load`));
      document.head.append(script);
    });
    window[`jq${version}`] = window.jQuery.noConflict(true);
  }
}

// rd-client.js on its own: discovery over `schemes`, device information,
// capture and a typed time-out; a failure as { error, reason, message }.
export async function moduleInPage({ schemes, pidOptions }) {
  const rd = await import('/rd-client.js');
  try {
    const service = await rd.findService({ schemes });
    const info = await rd.readDeviceInfo(service);
    const captured = await rd.capture(service, pidOptions);
    let timeout = '';
    try {
      await rd.rdRequest('DEVICEINFO', service.paths.DEVICEINFO, undefined, 1);
    } catch (error) {
      timeout = error instanceof rd.RdTimeout ? 'RdTimeout' : String(error);
    }
    return { scheme: service.scheme, port: service.port, model: info.device.mi, errCode: captured.resp.errCode, timeout };
  } catch (error) {
    return { error: error.name, reason: error.reason, message: error.message };
  }
}
