// Every way a web page calls CAPTURE, run inside the page. Each resolves
// with the HTTP status and the answer text, or rejects with the failure.
export const CALL_STYLES = {
  'XHR with Content-Type: text/xml': { call: 'xhr', typed: true },
  'XHR without Content-Type': { call: 'xhr', typed: false },
  'fetch with a typed body': { call: 'fetch', typed: true },
  'fetch with a plain body': { call: 'fetch', typed: false },
  'jQuery 1.12 $.ajax': { call: 'jquery', global: 'jq1' },
  'jQuery 3.x $.ajax': { call: 'jquery', global: 'jq3' },
  'jQuery 4.x $.ajax': { call: 'jquery', global: 'jq4' },
};

// Runs in the page: the arguments are the style, the URL and the body.
export function captureInPage([style, url, body]) {
  if (style.call === 'xhr') {
    return new Promise((resolve, reject) => {
      const xhr = new XMLHttpRequest();
      xhr.open('CAPTURE', url);
      if (style.typed) xhr.setRequestHeader('Content-Type', 'text/xml');
      xhr.onload = () => resolve({ status: xhr.status, text: xhr.responseText });
      xhr.onerror = () => reject(new Error('XHR network error'));
      xhr.send(body);
    });
  }
  if (style.call === 'fetch') {
    const typedBody = style.typed ? new Blob([body], { type: 'text/xml' }) : body;
    return fetch(url, { method: 'CAPTURE', body: typedBody })
      .then(async (response) => ({ status: response.status, text: await response.text() }));
  }
  const jq = window[style.global];
  return new Promise((resolve, reject) => {
    jq.ajax({ type: 'CAPTURE', url, data: body, contentType: 'text/xml; charset=utf-8', processData: false })
      .done((data, textStatus, jqXHR) => resolve({ status: jqXHR.status, text: jqXHR.responseText, version: jq.fn.jquery }))
      .fail((jqXHR, textStatus) => reject(new Error(`jQuery ${jq.fn.jquery}: ${textStatus}`)));
  });
}
