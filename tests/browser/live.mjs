// The live page as a class sees it: barbershop-trace --live in Debian's headless Chromium, driven
// by playwright-core. Usage: node live.mjs BUILD_DIR (barbershop-trace and its variants built).
//   following  a full house run live, slowed: every drawing shown that ends on a state block draws
//              the shop as the block says, its player on its newest line, and the lines shown
//              never go back; a reload in mid-run catches up; in projector mode at 1280x720 the
//              shop and the lanes are on the screen with nothing to scroll.
//   driving    the lost-wakeup variant stepped from the page's buttons along its failing schedule
//              (the picks --explore --seed 1 saved) meets its challenge and gets stuck; the same
//              clicks on the correct shop do not, and "again" starts a new try.
// A page that logs to the console, fails a script or asks another origin fails. LIVE_SHOT=FILE
// saves the projector-mode screenshot of the full house.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const LIMIT = 15000; // ms for any one wait; the slowest step here takes a few seconds
const build = path.resolve(process.argv[2] || 'build');
const trace = path.join(build, 'barbershop-trace');
const failures = [], children = [];
function check(ok, what) {
  if (!ok) failures.push(what);
  return ok;
}
const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);

// barbershop-trace serving its session, standard input open and silent, and the drive address.
async function serve(args) {
  const child = spawn(trace, [...args, '--live', '0'], { stdio: ['pipe', 'ignore', 'pipe'] });
  children.push(child);
  let said = ''; // read all along, so a chatty session never fills the pipe and stalls
  child.stderr.on('data', (text) => { said += text; });
  for (const until = Date.now() + LIMIT; !/open (http:\S+)/.test(said); await new Promise((r) => setTimeout(r, 50))) {
    if (Date.now() > until) throw new Error(`no address from ${args.join(' ')}: ${said}`);
  }
  return { child, url: /open (http:\S+)/.exec(said)[1] };
}

async function open(browser, url, viewport = { width: 1280, height: 900 }) {
  const page = await browser.newPage({ viewport });
  // Counts the animation frames in which the viewer, having shown a run, shows none: a flash.
  await page.addInitScript(() => {
    if (window !== top) return;
    let seen = false;
    window.flashes = 0;
    requestAnimationFrame(function look() {
      if (document.querySelector('#viewer iframe.current')?.contentDocument?.getElementById('shop')) seen = true;
      else if (seen) window.flashes++;
      requestAnimationFrame(look);
    });
  });
  // The browser's own word that the event stream was cut: what a session's end does to it.
  const cut = (m) => m.location().url.includes('/events?') && m.text().startsWith('Failed to load resource');
  page.on('console', (m) => cut(m) || check(false, `console ${m.type()}: ${m.text()} (${m.location().url})`));
  page.on('pageerror', (error) => check(false, `script error: ${error.message}`));
  page.on('request', (r) => check(r.url().startsWith(new URL(url).origin + '/') || /^(data|about):/.test(r.url()), `asked for ${r.url()}`));
  await page.goto(url);
  return page;
}

// The run shown: its number and lines, whether its player is on the newest one, the shop as
// drawn, and the state block its last line is, if it is one.
function shown(page) {
  return page.evaluate(() => {
    const frame = document.querySelector('#viewer iframe.current'), d = frame && frame.contentDocument;
    const shop = d && d.getElementById('shop');
    if (!shop) return null;
    const lines = d.querySelectorAll('ol.narration li'), last = lines[lines.length - 1];
    return { n: +frame.dataset.n, lines: lines.length, atEnd: !!last && last.classList.contains('now'),
      block: last && last.querySelector('pre') ? last.querySelector('pre').textContent : null,
      drawn: { chair: shop.dataset.chair || null, queue: JSON.parse(shop.dataset.queue),
        away: [...shop.querySelectorAll('[data-zone=away] .token')].map((t) => t.dataset.id) } };
  });
}

// A state block as the program prints it: "Curr: {ID}", "Wait Queue: [ID]...", "Go away: [ID]...".
function blockOf(text) {
  const list = (name) => [...(text.split('\n').find((l) => l.startsWith(name + ':')) || '').matchAll(/\[([^\]]*)\]/g)].map((m) => m[1]);
  const chair = /^Curr: \{(.*)\}$/m.exec(text);
  return { chair: chair ? chair[1] : null, queue: list('Wait Queue'), away: list('Go away') };
}

// At 1280x720 in projector mode the bar, the shop and the lanes are on the screen and nothing
// scrolls, neither the shell nor the run's page inside it.
async function projector(page) {
  // In one go, so no drawing swaps in between: the run page's boxes, through the frame's scale.
  const seen = await page.evaluate(() => {
    const frame = document.querySelector('#viewer iframe.current'), d = frame.contentDocument;
    const at = frame.getBoundingClientRect(), scale = at.width / frame.offsetWidth;
    const box = (s) => (({ top, bottom, left, right }) => [at.left + left * scale, at.top + top * scale,
      at.left + right * scale, at.top + bottom * scale].map(Math.round))(d.querySelector(s).getBoundingClientRect());
    return { shop: box('#shop'), lanes: box('svg.plot'), inner: d.documentElement.scrollHeight - d.defaultView.innerHeight,
      outer: document.documentElement.scrollHeight - innerHeight };
  });
  const inside = [seen.shop, seen.lanes].every(([x0, y0, x1, y1]) => x0 >= 0 && y0 >= 0 && x1 <= 1280 && y1 <= 720);
  check(inside && seen.inner <= 1 && seen.outer <= 0, `projector: at 1280x720 ${JSON.stringify(seen)}`);
  if (process.env.LIVE_SHOT) await page.screenshot({ path: process.env.LIVE_SHOT });
}

async function following(browser) {
  const { child, url } = await serve(['--scenario', 'full-house', '--slow', '5', '--run']);
  const page = await open(browser, url), big = await open(browser, url + '&present', { width: 1280, height: 720 });
  let before = null, blocks = 0, reloaded = false, presented = false, over = false;
  child.on('exit', () => { over = true; });
  // Until the session is over: the run's very end may not reach the page before its server stops.
  for (const until = Date.now() + 4 * LIMIT; !over && Date.now() < until; await page.waitForTimeout(40)) {
    const s = await shown(page);
    if (!s || (before && same(s, before))) continue;
    check(!before || s.n !== before.n || s.lines >= before.lines, `following: the lines shown went back from ${before && before.lines} to ${s.lines}`);
    check(s.atEnd, `following: the player of a drawing of ${s.lines} lines is not on its newest line`);
    blocks += s.block !== null;
    if (s.block !== null) check(same(s.drawn, blockOf(s.block)), `following: line ${s.lines} draws ${JSON.stringify(s.drawn)}, its block says ${s.block}`);
    before = s;
    if (!presented && s.drawn.queue.length === 6) {
      presented = true;
      await projector(big);
    }
    if (!reloaded && s.lines > 40) {
      reloaded = true;
      await page.reload();
      const caught = await page.waitForFunction(([n, lines]) => {
        const frame = document.querySelector('#viewer iframe.current');
        return +frame?.dataset.n === n && frame.contentDocument.querySelectorAll('ol.narration li').length >= lines;
      }, [before.n, before.lines], { timeout: LIMIT }).catch(() => false);
      check(caught, `following: reloaded at run ${before.n}, ${before.lines} lines, the page does not catch up`);
    }
  }
  const flashes = await page.evaluate(() => window.flashes);
  check(over && presented && reloaded && blocks > 3 && flashes === 0,
    `following: ${blocks} blocks compared, reloaded ${reloaded}, projector ${presented}, the session over ${over}, ${flashes} flashes`);
  await Promise.all([page.close(), big.close()]);
  console.log(`live: following a full house, ${blocks} drawings compared with their state blocks`);
}

// Clicks, at each question, the thread the failing schedule picked there, or the plain order's
// pick when that thread cannot go; the number of questions once the run is over.
async function driveAlong(page, picks) {
  let asked = 0, last = -1;
  for (;;) {
    const ready = await page.waitForSelector(
      '#drive:not(.waiting) :is([data-act=plain]:not([disabled]), [data-act=again]:not([hidden]))', { timeout: LIMIT });
    if ((await ready.getAttribute('data-act')) === 'again') return asked;
    const k = +(await page.getAttribute('#drive', 'data-k'));
    if (!check(k > last, `driving: question ${k} asked after ${last}`)) return asked;
    last = k;
    await ((await page.$(`#drive button[data-tid="${picks[k]}"]:not([disabled])`)) || ready).click();
    asked++;
  }
}

async function driving(browser) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'live-'));
  spawnSync(trace, ['--variant', 'lost-wakeup', '--explore', '--seed', '1', '--report', folder], { timeout: LIMIT });
  const picks = {};
  for (const text of fs.readFileSync(path.join(folder, 'run-1.jsonl'), 'utf8').trim().split('\n')) {
    const line = JSON.parse(text);
    if (line.choice !== undefined && line.pick !== undefined) picks[line.choice] = line.pick;
  }
  fs.rmSync(folder, { recursive: true });
  const table = [
    { args: ['--variant', 'lost-wakeup'], met: 'true', status: /run 1 · .*the run got stuck/ },
    { args: ['--challenge', 'lost-wakeup'], met: 'false', status: /run 1 · every rule holds/, correct: true },
  ];
  for (const want of table) {
    const { child, url } = await serve([...want.args, '--step']);
    const page = await open(browser, url);
    const asked = await driveAlong(page, picks);
    const ok = await page.waitForFunction(([met, status]) => document.querySelector('#challenge').dataset.met === met &&
      new RegExp(status).test(document.querySelector('#status').textContent), [want.met, want.status.source], { timeout: LIMIT }).catch(() => false);
    const said = await page.textContent('#challenge'), end = await shown(page);
    check(ok && end.atEnd && (!want.correct || said.includes('this is the correct shop')),
      `driving ${want.args.join(' ')}: after ${asked} questions the status says "${await page.textContent('#status')}", the challenge "${said}", on the last line: ${end.atEnd}`);
    if (want.correct) {
      await page.click('#drive [data-act=again]');
      await page.waitForSelector('#runs a[data-n="2"]', { timeout: LIMIT }).catch(() => check(false, 'driving: "again" started no second run'));
    }
    await page.close();
    console.log(`live: driving ${want.args.join(' ')}, ${asked} questions answered from the page`);
  }
}

const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
try {
  await following(browser);
  await driving(browser);
} finally {
  children.forEach((child) => child.kill());
  await browser.close();
}
for (const failure of failures) console.error('live: ' + failure);
process.exit(failures.length === 0 ? 0 : 1);
