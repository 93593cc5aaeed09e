// The live page's benchmark: how long after the program prints a line the page in Chromium has
// drawn it, over full-house runs; and whether a watching page changes the relay's timing, as the
// mean deviation from the exact schedule of runs with and without --live, side by side.
//
// Usage: node bench/live.mjs [BUILD_DIR] [RUNS]   (after `npm ci` in tests/browser)
// Prints a table for docs/benchmarks.md and writes build/bench/live.json. Asserts nothing.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(new URL('../tests/browser/package.json', import.meta.url));
const { chromium } = require('playwright-core');

const build = path.resolve(process.argv[2] || 'build');
const runs = Number(process.argv[3] || 5);
const trace = path.join(build, 'barbershop-trace');
const now = () => performance.timeOrigin + performance.now();

// A line of the program's output that begins one of a run's events, as the page lists them.
const EVENT = /^(<<|\[\[|Curr: |Finished all customers\.)/;

// The address the companion prints for driving its page.
function liveAddress(child) {
  return new Promise((resolve) => {
    let text = '';
    child.stderr.on('data', (chunk) => {
      text += chunk.toString();
      const found = /open (http:\S+)/.exec(text);
      if (found) resolve(found[1]);
    });
  });
}

// Live full-house runs, the page open before the second begins: when each event's line of runs
// 2 and 3 reached the companion's output, and when the page first showed that run drawn with
// that many events.
async function latencyRuns(browser) {
  const child = spawn(trace, ['--scenario', 'full-house', '--runs', '3', '--live', '0'], { stdio: ['pipe', 'pipe', 'pipe'] });
  const printed = [[], [], [], []];
  let run = 0, rest = '';
  child.stdout.on('data', (chunk) => {
    const at = now();
    rest += chunk.toString();
    const lines = rest.split('\n');
    rest = lines.pop();
    for (const line of lines) {
      if (line.startsWith('Your choice: 6')) run++;
      else if (run > 0 && run < printed.length && EVENT.test(line)) printed[run].push(at);
    }
  });
  const address = await liveAddress(child);
  const page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
  await page.goto(address);
  // Every frame, which run the page shows, how many of its events, and when it first did.
  await page.evaluate(() => {
    window.drawnAt = {};
    const look = () => {
      const frame = document.querySelector('#viewer iframe.current');
      const items = frame?.contentDocument?.querySelectorAll('ol.narration > li').length ?? 0;
      const shown = (window.drawnAt[frame?.dataset.n] ??= []);
      const at = performance.timeOrigin + performance.now();
      while (shown.length < items) shown.push(at);
      requestAnimationFrame(look);
    };
    requestAnimationFrame(look);
  });
  await new Promise((resolve) => child.on('exit', resolve));
  const drawn = await page.evaluate(() => window.drawnAt);
  await page.close();
  return [2, 3].flatMap((n) => printed[n].map((at, i) => (drawn[n] && i < drawn[n].length ? drawn[n][i] - at : null)))
    .filter((d) => d !== null);
}

// The mean absolute deviation from the exact schedule of RUNS full houses, with or without a
// page watching live.
async function fidelity(browser, live) {
  const file = path.join(os.tmpdir(), `live-bench-${process.pid}-${live}.json`);
  const args = ['--scenario', 'full-house', '--runs', '3', '--quiet', '--export-json', file];
  const child = spawn(trace, live ? [...args, '--live', '0'] : args, { stdio: ['pipe', 'ignore', 'pipe'] });
  let page = null;
  if (live) {
    const address = await liveAddress(child);
    page = await browser.newPage({ viewport: { width: 1280, height: 720 } });
    await page.goto(address);
  }
  await new Promise((resolve) => child.on('exit', resolve));
  if (page) await page.close();
  const deviations = JSON.parse(fs.readFileSync(file, 'utf8')).runs.flatMap((run) => run.deviations);
  fs.unlinkSync(file);
  return deviations.reduce((sum, d) => sum + Math.abs(d.measured_ms - d.exact_ms), 0) / deviations.length;
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking'],
});
const delays = [];
for (let i = 0; i < runs; i++) delays.push(...(await latencyRuns(browser)));
delays.sort((a, b) => a - b);
const with_ = [], without = [];
for (let i = 0; i < runs; i++) {
  // Alternating, so both are measured in the same minutes.
  if (i % 2 === 0) { without.push(await fidelity(browser, false)); with_.push(await fidelity(browser, true)); }
  else { with_.push(await fidelity(browser, true)); without.push(await fidelity(browser, false)); }
}
await browser.close();
const mean = (list) => list.reduce((a, b) => a + b, 0) / list.length;
const result = {
  lines: delays.length,
  median_ms: delays[Math.floor(delays.length / 2)],
  p90_ms: delays[Math.floor(delays.length * 0.9)],
  worst_ms: delays[delays.length - 1],
  deviation_without_ms: mean(without),
  deviation_with_ms: mean(with_),
};
result.fidelity_change = result.deviation_with_ms / result.deviation_without_ms - 1;
fs.mkdirSync(path.join(build, 'bench'), { recursive: true });
fs.writeFileSync(path.join(build, 'bench', 'live.json'), JSON.stringify(result, null, 1) + '\n');
console.log(`| lines drawn | median | 90th percentile | worst | mean deviation without --live | with a page watching | change |`);
console.log(`| ${result.lines} | ${result.median_ms.toFixed(1)} ms | ${result.p90_ms.toFixed(1)} ms | ` +
            `${result.worst_ms.toFixed(1)} ms | ${result.deviation_without_ms.toFixed(2)} ms | ` +
            `${result.deviation_with_ms.toFixed(2)} ms | ${(100 * result.fidelity_change).toFixed(1)} % |`);
