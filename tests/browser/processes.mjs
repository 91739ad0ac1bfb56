// Child processes of the browser test: started with their output collected,
// ready when a line appears, stopped by their own pid.
import { spawn } from 'node:child_process';

const STOP_GRACE_MS = 5000;

export class Child {
  constructor(name, program, args, options = {}) {
    this.name = name;
    this.output = '';
    this.process = spawn(program, args, { ...options, stdio: ['ignore', 'pipe', 'pipe'] });
    this.pid = this.process.pid;
    this.exited = new Promise((resolve) => this.process.once('exit', resolve));
    this.running = true;
    this.exited.then(() => { this.running = false; });
    const collect = (chunk) => { this.output += chunk.toString(); this.process.emit('output'); };
    this.process.stdout.on('data', collect);
    this.process.stderr.on('data', collect);
  }

  // Resolves with the first match of `pattern` in the output; rejects when
  // the process ends first or nothing matches within timeoutMs.
  waitForOutput(pattern, timeoutMs) {
    return new Promise((resolve, reject) => {
      const finish = (error, match) => {
        clearTimeout(timer);
        this.process.off('output', look);
        this.process.off('exit', ended);
        error ? reject(error) : resolve(match);
      };
      const look = () => {
        const match = this.output.match(pattern);
        if (match) finish(null, match);
      };
      const ended = () => finish(new Error(`${this.name} exited early:\n${this.output}`));
      const timer = setTimeout(
        () => finish(new Error(`${this.name}: no ${pattern} within ${timeoutMs} ms:\n${this.output}`)),
        timeoutMs);
      this.process.on('output', look);
      this.process.once('exit', ended);
      look();
    });
  }

  // SIGTERM by pid, SIGKILL by pid when it has not ended after the grace time.
  async stop() {
    if (!this.running) return;
    process.kill(this.pid, 'SIGTERM');
    let timer;
    const late = new Promise((resolve) => { timer = setTimeout(() => resolve('late'), STOP_GRACE_MS); });
    if (await Promise.race([this.exited, late]) === 'late' && this.running) {
      process.kill(this.pid, 'SIGKILL');
      await this.exited;
    }
    clearTimeout(timer);
  }
}
