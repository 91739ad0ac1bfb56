// The two loopback servers of the browser test: the page's own web server
// (another origin than the RD service) and a TCP proxy in front of the
// extension that records every request on every connection.
import { createServer as createHttpServer } from 'node:http';
import { createServer as createHttpsServer } from 'node:https';
import { createServer as createTcpServer, connect } from 'node:net';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';

const CLOSE_DELAY_MS = 500;
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };

// Serves `routes` (URL prefix -> folder) on 127.0.0.1 at a free port, over
// HTTPS when `tls` ({ key, cert }) is given.
export async function startStaticServer(routes, tls) {
  const serve = async (request, response) => {
    const path = new URL(request.url, 'http://x').pathname;
    const prefix = Object.keys(routes).filter((p) => path.startsWith(p))
      .sort((a, b) => b.length - a.length)[0];
    const relative = normalize(path.slice(prefix ? prefix.length : 0) || 'index.html');
    try {
      if (prefix === undefined || relative.startsWith('..')) throw new Error('outside');
      const body = await readFile(join(routes[prefix], relative === '.' ? 'index.html' : relative));
      response.writeHead(200, { 'Content-Type': TYPES[extname(relative)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  };
  const server = tls ? createHttpsServer(tls, serve) : createHttpServer(serve);
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, origin: `${tls ? 'https' : 'http'}://127.0.0.1:${server.address().port}` };
}

// Splits a client's byte stream into requests (head plus Content-Length
// bytes of body) and records each request line.
class RequestCounter {
  constructor() { this.pending = Buffer.alloc(0); this.bodyLeft = 0; this.requestLines = []; }

  feed(chunk) {
    this.pending = Buffer.concat([this.pending, chunk]);
    for (;;) {
      if (this.bodyLeft > 0) {
        const skipped = Math.min(this.bodyLeft, this.pending.length);
        this.pending = this.pending.subarray(skipped);
        this.bodyLeft -= skipped;
        if (this.bodyLeft > 0) return;
      }
      const headEnd = this.pending.indexOf('\r\n\r\n');
      if (headEnd < 0) return;
      const head = this.pending.subarray(0, headEnd).toString('latin1');
      this.requestLines.push(head.split('\r\n')[0]);
      const length = head.match(/^content-length:\s*(\d+)/im);
      this.bodyLeft = length ? Number(length[1]) : 0;
      this.pending = this.pending.subarray(headEnd + 4);
    }
  }
}

// Listens on 127.0.0.1:listenPort and relays each connection to the port
// that targetPort() names at that moment. `connections` holds one
// RequestCounter per accepted connection.
export async function startCountingProxy(listenPort, targetPort) {
  const connections = [];
  const sockets = new Set();
  const server = createTcpServer((client) => {
    const counter = new RequestCounter();
    connections.push(counter);
    const upstream = connect(targetPort(), '127.0.0.1');
    for (const socket of [client, upstream]) {
      sockets.add(socket);
      socket.on('close', () => sockets.delete(socket));
      socket.on('error', () => socket.destroy());
    }
    client.on('data', (chunk) => counter.feed(chunk));
    client.pipe(upstream);
    upstream.pipe(client, { end: false });
    // The server's close reaches the browser late, as on a busy machine: a
    // browser that took the answer for keep-alive sends its next request on
    // this connection in the meantime, instead of only sometimes.
    upstream.on('close', () => { setTimeout(() => client.end(), CLOSE_DELAY_MS); });
  });
  await new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(listenPort, '127.0.0.1', resolve);
  });
  const close = () => new Promise((resolve) => {
    for (const socket of sockets) socket.destroy();
    server.close(resolve);
  });
  return { connections, close };
}
