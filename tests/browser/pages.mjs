// The report pages as their readers use them, in Debian's headless Chromium driven by
// playwright-core. Usage: node pages.mjs run DIR [run DIR...] session DIR
//   run DIR      DIR holds run-1.html and run-1.jsonl: the player steps through every line and its
//                drawn shop must be the program's own state block at each block; the arrow keys,
//                Home and End, play and the #t= address move the cursor where they should; zoom
//                parts the two marks nearest 0.2 ms apart (0.02-1 ms; in one of the runs at
//                least); at 375 px no text is
//                below 11 px and nothing is cut off; a press and a drag on the lanes carry the
//                cursor under the pointer; at 1280x720 the shop and the lanes share the screen;
//                at 125 and 150 % zoom no name in the shop is cut.
//   stuck DIR    DIR holds run-1.html and run-1.jsonl of a stuck run: the page opens with the last
//                lines of the barber and of each customer left waiting filling the lanes, their
//                lanes marked; every time in the verdict is a link that moves the cursor there.
//   controlled DIR  DIR holds run-1.html and run-1.jsonl of a controlled run that went wrong: the
//                header says so; the locks held, the waits and the arrows from each unlock or
//                post are drawn on the lanes and follow the zoom to the cursor; it opens with the
//                lines of its numbered story apart on the lanes, though they share a virtual
//                instant, and the story links each step to its instant; it fits 1280x720 as a
//                run page does; its ruler says each virtual time once; a framing page moves its
//                cursor and its zoom through window.barbershopPlayer and puts it in projector
//                mode, which fits 1280x720 without scrolling.
//   session DIR  DIR holds index.html and run-N.html: every run has its row and its page, and the
//                compare view draws both runs it is set to, keeps them in the address and zooms.
// Every page must log nothing to the console and ask for nothing but itself. Writes DIR/dom.html
// and DIR/shot.png of each run page for the checks that follow in .ci/pass-browser.sh.
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';

const MAX_PAGE_BYTES = 400 * 1024;
let zoomed = 0; // run pages that had two marks 0.02-1 ms apart to zoom to
const failures = [];
function check(ok, what) {
  if (!ok) failures.push(what);
  return ok;
}

// A fresh page that records whatever it logs or asks for beyond `file`.
async function open(browser, file, viewport = { width: 1280, height: 900 }) {
  const page = await browser.newPage({ viewport });
  const own = 'file://' + file;
  page.on('console', (message) => check(false, `${file}: console ${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => check(false, `${file}: script error: ${error.message}`));
  page.on('request', (request) => {
    const url = request.url();
    check(url.split('#')[0] === own || url.startsWith('data:'), `${file}: asked for ${url}`);
  });
  return page;
}

function readLog(dir) {
  const lines = fs.readFileSync(path.join(dir, 'run-1.jsonl'), 'utf8').trim().split('\n').map((l) => JSON.parse(l));
  return { roster: lines[0].roster, events: lines.slice(1).filter((l) => l.kind !== undefined) };
}

// What the page shows now: the shop as drawn and the cursor's line.
function shown(page) {
  return page.evaluate(() => {
    const shop = document.getElementById('shop');
    const ids = (selector) => [...shop.querySelectorAll(selector)].map((token) => token.dataset.id);
    const seats = [...shop.querySelectorAll('.seat')].map((seat) => seat.querySelector('.token')?.dataset.id ?? null);
    const now = document.querySelector('ol.narration li.now');
    return {
      t: shop.dataset.t, chair: shop.dataset.chair, queue: JSON.parse(shop.dataset.queue),
      inChair: ids('[data-zone=chair] .token'), seats, away: ids('[data-zone=away] .token'),
      now: now ? +now.id.slice(2) : -1, hash: location.hash,
    };
  });
}

const same = (a, b) => JSON.stringify(a) === JSON.stringify(b);
const msOf = (us) => (us / 1000).toFixed(3);

// Steps from the start through every line; at each state block the drawing must be the block.
async function stepsThroughEveryLine(page, name, events) {
  await page.keyboard.press('Home');
  check((await shown(page)).now === -1, `${name}: Home leaves the cursor on a line`);
  let blocks = 0;
  for (let i = 0; i < events.length; i++) {
    await page.keyboard.press('ArrowRight');
    const s = await shown(page);
    const event = events[i];
    if (!check(s.now === i && s.t === msOf(event.us), `${name}: step ${i} shows line ${s.now} at ${s.t}`)) return;
    if (event.kind !== 'state') continue;
    blocks++;
    const want = event.state;
    const seats = s.seats.slice(0, Math.max(want.queue.length, 6));
    const wantSeats = [...want.queue, ...Array(Math.max(0, 6 - want.queue.length)).fill(null)];
    check(s.chair === (want.chair ?? '') && same(s.inChair, want.chair === null ? [] : [want.chair]),
      `${name}: line ${i}: the barber's chair holds ${s.inChair}, the block says ${want.chair}`);
    check(same(s.queue, want.queue) && same(seats, wantSeats),
      `${name}: line ${i}: the waiting chairs hold ${seats}, the block says ${want.queue}`);
    check(same(s.away, want.gone), `${name}: line ${i}: gone away ${s.away}, the block says ${want.gone}`);
  }
  check(blocks > 2, `${name}: only ${blocks} state blocks to compare`);
}

// The address and the keys move the cursor where they should, and a link brings the instant back.
async function addressAndKeys(page, url, name, events) {
  const k = Math.floor(events.length / 3), at = events[k].us;
  const last = events.findLastIndex((e) => e.us <= at);
  // A fresh load, as a link opens it: the instant must be drawn by the time the page has loaded.
  await page.goto('about:blank');
  await page.goto(`${url}#t=${at / 1000}`, { waitUntil: 'load' });
  let s = await shown(page);
  check(s.t === msOf(at) && s.now === last, `${name}: #t=${at / 1000} draws ${s.t}, line ${s.now}, not line ${last}`);
  await page.keyboard.press('ArrowRight');
  s = await shown(page);
  const next = last + 1, nextUs = events[next].us;
  const shared = events.findLastIndex((e) => e.us <= nextUs) !== next;
  const hash = `#t=${Number(msOf(nextUs))}` + (shared ? `&e=${next}` : '');
  check(s.now === next && s.hash === hash, `${name}: → goes to line ${s.now} (${s.hash}), not ${next} (${hash})`);
  const stepped = s;
  await page.reload({ waitUntil: 'load' });
  check(same(await shown(page), stepped), `${name}: the address ${hash} does not bring its instant back`);
  await page.keyboard.press('ArrowLeft');
  check((await shown(page)).now === last, `${name}: ← does not go back to line ${last}`);
  await page.keyboard.press('End');
  check((await shown(page)).now === events.length - 1, `${name}: End is not the last line`);
  await page.keyboard.press('Home');
  s = await shown(page);
  check(s.t === '0.000' && s.now === -1, `${name}: Home goes to ${s.t}`);
  await page.keyboard.press(' ');
  await page.waitForTimeout(300);
  await page.keyboard.press(' ');
  s = await shown(page);
  check(+s.t > 200 && s.hash === `#t=${Number(s.t)}`, `${name}: 0.3 s of play reached ${s.t} (${s.hash})`);
  await page.click('#n-5');
  check((await shown(page)).now === 5, `${name}: a click on a narration line does not move the cursor there`);
  await page.$eval('#e-7', (mark) => mark.dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true })));
  check((await shown(page)).now === 7, `${name}: a click on a mark does not move the cursor to its line`);
}

// The two marks nearest 0.2 ms apart overlap over the whole run and stand apart once zoomed.
// How far apart a run's lines come is the machine's doing, so any gap from 0.02 ms (a few
// pixels at the deepest zoom) to 1 ms (under a pixel over the whole run) will do. Returns
// whether the run had two such marks.
async function zoomParts(page, url, name) {
  await page.goto(url, { waitUntil: 'load' });
  const pair = await page.evaluate(() => {
    const marks = [...document.querySelectorAll('a.mark')].map((m) => ({ id: m.id, t: +m.dataset.t, y: m.querySelector('.hit').getAttribute('y') }));
    // Zoom keeps the cursor where it is on the screen: a pair at the run's very end would
    // leave the lanes' right edge.
    const end = Math.max(...marks.map((m) => m.t));
    let best = null;
    for (const a of marks) {
      for (const b of marks) {
        if (b.t <= a.t || a.t > 0.9 * end) continue;
        if (!best || Math.abs(b.t - a.t - 200) < Math.abs(best[1].t - best[0].t - 200)) best = [a, b];
      }
    }
    return best;
  });
  if (!pair || pair[1].t - pair[0].t < 20 || pair[1].t - pair[0].t > 1000) return false;
  const apart = () => page.evaluate(([a, b]) => {
    const box = (id) => document.getElementById(id).querySelector('.hit').getBoundingClientRect();
    const ra = box(a), rb = box(b);
    return rb.left - ra.right;
  }, [pair[0].id, pair[1].id]);
  check((await apart()) < 0, `${name}: ${pair[0].id} and ${pair[1].id} stand apart before any zoom`);
  await page.$eval('#' + pair[0].id, (mark) => mark.dispatchEvent(new MouseEvent('click', { bubbles: true, cancelable: true })));
  let gap = await apart();
  for (let presses = 0; gap < 12 && presses < 20; presses++) {
    await page.keyboard.press('+');
    gap = await apart();
  }
  const inView = await page.$eval('#' + pair[1].id, (mark) => {
    const plot = mark.ownerSVGElement.getBoundingClientRect(), box = mark.getBoundingClientRect();
    return box.left >= plot.left && box.right <= plot.right;
  });
  check(gap > 2 && inView, `${name}: zoomed in, ${pair[0].id} and ${pair[1].id} (${pair[1].t - pair[0].t} µs apart) are ${gap.toFixed(1)} px apart`);
  // Zoomed in, a drag along the time axis pans the lanes; the wheel over them zooms back out.
  // (Panning is tried first: once the wheel has zoomed out to the whole run there is nothing to
  // pan.)
  const ticks = () => page.$eval('svg.plot g.axis', (axis) => axis.textContent);
  const zoomedTicks = await ticks();
  const plot = await page.$eval('svg.plot g.axis', (axis) => { const r = axis.getBoundingClientRect(); return { x: r.left + r.width / 2, y: r.top + 4 }; });
  await page.mouse.move(plot.x, plot.y);
  await page.mouse.down();
  await page.mouse.move(plot.x + 200, plot.y, { steps: 4 });
  await page.mouse.up();
  const panned = await ticks();
  check(panned !== zoomedTicks, `${name}: a drag on the time axis does not pan the lanes`);
  await page.mouse.wheel(0, 400);
  check((await ticks()) !== panned, `${name}: the wheel does not zoom the lanes`);
  return true;
}

// Where the cursor is drawn, against the pointer's x, and the instant the shop shows.
function cursorAt(page) {
  return page.evaluate(() => ({
    x: (({ left, right }) => (left + right) / 2)(document.querySelector('svg.plot .cursor').getBoundingClientRect()),
    t: document.getElementById('shop').dataset.t,
  }));
}

// A press on the lanes puts the cursor under the pointer, and a drag carries it along.
async function pressAndDrag(page, url, name) {
  await page.goto(url, { waitUntil: 'load' });
  const lane = await page.$eval('svg.plot [data-lane=barber] .lane-bg', (bg) => {
    bg.scrollIntoView({ block: 'center' });
    const r = bg.ownerSVGElement.getBoundingClientRect(), b = bg.getBoundingClientRect();
    return { left: r.left, width: r.width, y: b.top + b.height / 2 };
  });
  const before = await cursorAt(page);
  const x1 = lane.left + lane.width * 0.3, x2 = lane.left + lane.width * 0.6;
  await page.mouse.move(x1, lane.y);
  await page.mouse.down();
  const pressed = await cursorAt(page);
  await page.mouse.move(x2, lane.y, { steps: 5 });
  const dragged = await cursorAt(page);
  await page.mouse.up();
  const released = await cursorAt(page);
  check(Math.abs(pressed.x - x1) < 3 && pressed.t !== before.t, `${name}: a press on the lanes at x ${x1.toFixed(0)} leaves the cursor at ${pressed.x.toFixed(0)}`);
  check(Math.abs(dragged.x - x2) < 3 && Math.abs(released.x - x2) < 3 && released.t !== pressed.t,
    `${name}: a drag on the lanes to x ${x2.toFixed(0)} leaves the cursor at ${released.x.toFixed(0)}`);
}

// At 1280x720 the shop and the lanes fit on the screen together, the player with them; at 125
// and 150 % zoom (the same screen at a device scale), with the queue at its longest, every name in
// the shop is whole.
async function shopAndLanes(browser, file, name, events) {
  let page = await open(browser, file, { width: 1280, height: 720 });
  await page.goto('file://' + file, { waitUntil: 'load' });
  const height = await page.evaluate(() => {
    const top = Math.min(...['#shop', '#player'].map((s) => document.querySelector(s).getBoundingClientRect().top));
    return document.querySelector('svg.plot').getBoundingClientRect().bottom - top;
  });
  check(height <= 720, `${name}: the shop and the lanes take ${height.toFixed(0)} px, more than a 1280x720 screen`);
  await page.close();
  const longest = events.reduce((best, e, i) => (e.kind === 'state' && e.state.queue.length > (best < 0 ? -1 : events[best].state.queue.length) ? i : best), -1);
  for (const scale of [1.25, 1.5]) {
    page = await browser.newPage({ viewport: { width: Math.round(1280 / scale), height: Math.round(720 / scale) }, deviceScaleFactor: scale });
    await page.goto(`file://${file}#n-${longest}`, { waitUntil: 'load' });
    const cut = await page.$$eval('#shop .token', (tokens) => tokens.filter((t) => {
      const room = t.parentElement.getBoundingClientRect(), box = t.getBoundingClientRect();
      return t.getClientRects().length > 0 && (t.scrollWidth > t.clientWidth + 0.5 || box.right > room.right + 0.5);
    }).map((t) => t.textContent));
    check(cut.length === 0, `${name} at ${scale * 100} %: names cut in the shop: ${cut.join(', ')}`);
    await page.close();
  }
}

// A stuck run opens on where it got stuck: the barber's last line and the last line of each
// customer left waiting, far apart on the lanes, those customers' lanes marked; every time the
// verdict names links to its instant.
async function stuckPage(browser, dir) {
  const file = path.join(dir, 'run-1.html'), name = path.basename(dir);
  const { events } = readLog(dir);
  const lastOf = (match) => events.findLastIndex(match);
  const barber = lastOf((e) => e.actor === 'barber');
  const waiting = [...new Set(events.filter((e) => e.actor === 'customer').map((e) => e.who))]
    .filter((who) => !events.some((e) => e.who === who && e.kind === 'leave-cut'))
    .map((who) => ({ who, line: lastOf((e) => e.who === who) }));
  check(waiting.length > 0, `${name}: no customer is left waiting in this log`);
  const page = await open(browser, file, { width: 1280, height: 720 });
  await page.goto('file://' + file, { waitUntil: 'load' });
  const opened = await page.evaluate(([lines, who]) => {
    const plot = document.querySelector('svg.plot').getBoundingClientRect();
    const xs = lines.map((i) => document.getElementById('e-' + i).getBoundingClientRect()).map((r) => (r.left + r.right) / 2);
    const marked = who.every((w) => document.querySelector(`svg.plot [data-lane=customer][data-who="${w}"]`).classList.contains('fault'));
    return { inside: xs.every((x) => x >= plot.left && x <= plot.right), apart: Math.max(...xs) - Math.min(...xs), width: plot.width, marked };
  }, [[barber, ...waiting.map((w) => w.line)], waiting.map((w) => w.who)]);
  check(opened.inside && opened.apart > opened.width / 4,
    `${name}: the page opens with where it got stuck ${opened.apart.toFixed(0)} px wide of ${opened.width.toFixed(0)}`);
  check(opened.marked, `${name}: the lane of a customer left waiting is not marked`);
  // Every time in the verdict is a link, and each moves the cursor to its instant.
  const plain = await page.$eval('#verdict', (verdict) => {
    const copy = verdict.cloneNode(true);
    copy.querySelectorAll('a').forEach((a) => a.remove());
    return copy.textContent.match(/\bat [0-9]+\.[0-9] ms/g) || [];
  });
  check(plain.length === 0, `${name}: times in the verdict are not links: ${plain.join(', ')}`);
  const links = await page.$$eval('#verdict a', (as) => as.map((a) => a.textContent));
  for (let k = 0; k < links.length; k++) {
    await page.click('#verdict a >> nth=' + k);
    const t = (await shown(page)).t;
    check(Number(t).toFixed(1) + ' ms' === links[k], `${name}: the verdict's link ${links[k]} moves the cursor to ${t}`);
  }
  check(links.length >= 2, `${name}: the verdict links ${links.length} instants`);
  await page.close();
  await phone(browser, file, name);
  console.log(`pages: ${name}: opens where it got stuck, ${links.length} instants linked`);
}

// A controlled run's page: its kind in the header, its synchronisation drawn and kept in step
// with the zoom, and its numbered story's links moving the cursor to their instants.
async function controlledPage(browser, dir) {
  const file = path.join(dir, 'run-1.html'), name = path.basename(dir);
  const page = await open(browser, file, { width: 1280, height: 720 });
  await page.goto('file://' + file, { waitUntil: 'load' });
  await page.screenshot({ path: path.join(dir, 'shot.png') });
  check((await page.$eval('header', (h) => h.textContent)).includes('controlled run, virtual time'),
    `${name}: the header does not say it was a controlled run`);
  const drawn = await page.evaluate(() => {
    const seen = (selector) => [...document.querySelectorAll('svg.plot ' + selector)]
      .filter((el) => { const r = el.getBoundingClientRect(); return r.width > 0 || r.height > 0; }).length;
    return { held: seen('rect.held'), waited: seen('rect.waited'), arrows: seen('line.cause'),
      keys: [...document.querySelectorAll('.legend li')].filter((li) => /^ ?held the /.test(li.textContent)).length };
  });
  check(drawn.held > 0 && drawn.waited > 0 && drawn.arrows > 0 && drawn.keys > 0,
    `${name}: the lanes draw ${JSON.stringify(drawn)} (locks held, waits, arrows, lock keys)`);
  // Opened on its failing moment, the lines of its numbered story printed there, within one
  // virtual instant or a few, stand apart on the lanes.
  const story = await page.$$eval('#story a[data-e]', (as) => as.map((a) => +a.dataset.e));
  const xs = await page.$eval('svg.plot', (plot, lines) => {
    const box = plot.getBoundingClientRect();
    return lines.map((i) => document.getElementById('e-' + i).getBoundingClientRect())
      .map((r) => (r.left + r.right) / 2).filter((x) => x >= box.left && x <= box.right);
  }, story);
  const closest = Math.min(...xs.slice(1).map((x, k) => Math.abs(x - xs[k])));
  check(xs.length > 1 && closest >= 4,
    `${name}: opened, ${xs.length} of its ${story.length} story lines are in view, the closest ${closest.toFixed(1)} px apart`);
  // Zoomed in on the story's last line, its mark stands where the cursor does and the arrows
  // are laid out again.
  const before = await page.$$eval('svg.plot line.cause', (ls) => ls.map((l) => l.getAttribute('x1')).join());
  await page.click('#story a[data-e] >> nth=' + (story.length - 1));
  for (let k = 0; k < 8; k++) await page.keyboard.press('+');
  const zoomedIn = await page.$eval('svg.plot', (plot, i) => {
    const x = (el) => { const r = el.getBoundingClientRect(); return (r.left + r.right) / 2; };
    return { apart: Math.abs(x(document.getElementById('e-' + i)) - x(plot.querySelector('.cursor'))),
      arrows: [...plot.querySelectorAll('line.cause')].map((l) => l.getAttribute('x1')).join() };
  }, story[story.length - 1]);
  check(zoomedIn.apart < 3 && zoomedIn.arrows !== before,
    `${name}: zoomed in on its last story line, the line is ${zoomedIn.apart.toFixed(1)} px from the cursor; arrows moved: ${zoomedIn.arrows !== before}`);
  // Ticks over the steps of one virtual instant say its time once.
  const labels = await page.$$eval('svg.plot g.axis text', (ts) => ts.map((t) => t.textContent));
  check(labels.length > 1 && new Set(labels).size === labels.length, `${name}: the ruler reads ${labels.join(', ')}`);
  // Each step of the numbered story moves the cursor to its instant.
  const steps = await page.$$eval('#story a[data-t]', (as) => as.map((a) => +a.dataset.t));
  check(steps.length > 0, `${name}: the page has no numbered story under its title`);
  for (let k = 0; k < steps.length; k++) {
    await page.click('#story a >> nth=' + k);
    const t = (await shown(page)).t;
    check(t === msOf(steps[k]), `${name}: step ${k + 1} of the story moves the cursor to ${t}, not ${msOf(steps[k])}`);
  }
  // A page that frames this one (the live view) moves the cursor through window.barbershopPlayer.
  const framed = await page.evaluate((ms) => {
    const player = window.barbershopPlayer, shop = document.getElementById('shop');
    if (!player) return { at: [] };
    player.goTo(ms);
    const at = [shop.dataset.t, player.now()];
    const view = player.view({ from: ms - 0.5, to: ms + 0.5 });
    player.end();
    const last = document.querySelector('ol.narration li:last-child').classList.contains('now');
    // Projector mode: the story, the shop and the lanes with their key, no scrolling.
    player.present(true);
    const lanes = document.querySelector('svg.plot').getBoundingClientRect();
    const fits = document.documentElement.scrollHeight <= innerHeight && lanes.right <= innerWidth &&
      document.querySelector('#narration').getClientRects().length === 0;
    player.present(false);
    return { at, end: shop.dataset.t, last, fits, view };
  }, steps[0] / 1000);
  check(Math.abs(framed.view.from - (steps[0] / 1000 - 0.5)) < 0.002 && Math.abs(framed.view.to - (steps[0] / 1000 + 0.5)) < 0.002,
    `${name}: barbershopPlayer.view() shows ${JSON.stringify(framed.view)} asked for 1 ms around ${steps[0] / 1000}`);
  check(same(framed.at, [msOf(steps[0]), steps[0] / 1000]) && framed.last,
    `${name}: barbershopPlayer.goTo(${steps[0] / 1000}) shows ${framed.at}, end() ${framed.end} on the last line: ${framed.last}`);
  check(framed.fits, `${name}: in projector mode the page does not fit 1280x720 on its own`);
  await page.close();
  await phone(browser, file, name);
  await shopAndLanes(browser, file, name, readLog(dir).events);
  console.log(`pages: ${name}: ${drawn.held} locks held, ${drawn.waited} waits, ${drawn.arrows} arrows, ${steps.length} steps of its story`);
}

// At 375 px: no text below 11 px, nothing wider than the screen, the lane names stay put.
async function phone(browser, file, name) {
  const page = await open(browser, file, { width: 375, height: 812 });
  await page.goto('file://' + file, { waitUntil: 'load' });
  const layout = await page.evaluate(() => {
    const small = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    while (walker.nextNode()) {
      const el = walker.currentNode.parentElement;
      if (!walker.currentNode.textContent.trim() || el.closest('title, desc, script, [hidden]')) continue;
      if (el.getClientRects().length === 0) continue;
      let size = parseFloat(getComputedStyle(el).fontSize);
      if (el instanceof SVGElement) size *= Math.hypot(el.getScreenCTM().a, el.getScreenCTM().b);
      if (size < 10.99) small.push(`${el.tagName} "${walker.currentNode.textContent.trim().slice(0, 20)}" ${size.toFixed(1)}px`);
    }
    const box = document.querySelector('.lanes-box'), names = document.querySelector('svg.names');
    const before = names?.getBoundingClientRect().left;
    if (box) box.scrollLeft = 300;
    return {
      small, wide: document.documentElement.scrollWidth, scrolled: box ? box.scrollLeft : 0,
      moved: names ? names.getBoundingClientRect().left - before : 0,
      table: [...document.querySelectorAll('.table')].every((t) => getComputedStyle(t).overflowX === 'auto'),
    };
  });
  check(layout.small.length === 0, `${name} at 375 px: text below 11 px: ${layout.small.slice(0, 5).join('; ')}`);
  check(layout.wide <= 375, `${name} at 375 px: the page is ${layout.wide} px wide, cut off`);
  check(layout.table, `${name} at 375 px: a table does not scroll in its own box`);
  if (file.endsWith('run-1.html')) {
    check(layout.scrolled > 0 && Math.abs(layout.moved) < 1, `${name} at 375 px: the lanes scroll ${layout.scrolled} px and the names move ${layout.moved} px`);
  }
  await page.close();
}

async function runPage(browser, dir) {
  const file = path.join(dir, 'run-1.html'), url = 'file://' + file, name = path.basename(dir);
  const bytes = fs.statSync(file).size;
  check(bytes < MAX_PAGE_BYTES, `${name}: the page is ${bytes} bytes`);
  const { events } = readLog(dir);
  const page = await open(browser, file);
  await page.goto(url, { waitUntil: 'load' });
  fs.writeFileSync(path.join(dir, 'dom.html'), await page.content());
  await page.screenshot({ path: path.join(dir, 'shot.png') });
  await stepsThroughEveryLine(page, name, events);
  await addressAndKeys(page, url, name, events);
  if (await zoomParts(page, url, name)) zoomed++;
  await pressAndDrag(page, url, name);
  await page.close();
  await phone(browser, file, name);
  await shopAndLanes(browser, file, name, events);
  console.log(`pages: ${name}: ${events.length} lines stepped through, ${bytes} bytes`);
}

async function sessionPage(browser, dir) {
  const file = path.join(dir, 'index.html'), name = path.basename(dir) + '/index.html';
  const page = await open(browser, file);
  await page.goto('file://' + file, { waitUntil: 'load' });
  const links = await page.$$eval('#runs tbody tr a[href^="run-"]', (as) => as.map((a) => a.getAttribute('href')));
  const runs = fs.readdirSync(dir).filter((f) => /^run-\d+\.html$/.test(f));
  check(links.length === runs.length && runs.every((f) => links.includes(f)), `${name}: links ${links.length} runs of ${runs.length}`);
  const drawn = () => page.$$eval('svg.compare g[data-run]', (groups) => groups.map((g) => ({
    run: +g.dataset.run, lanes: g.querySelectorAll('[data-lane=customer]').length, barber: g.querySelectorAll('[data-lane=barber]').length,
    bars: g.querySelectorAll('rect.cut').length,
  })));
  const roster = JSON.parse(fs.readFileSync(path.join(dir, 'run-1.jsonl'), 'utf8').split('\n')[0]).roster.length;
  let runsDrawn = await drawn();
  check(runsDrawn.length === 2 && runsDrawn.every((r) => r.lanes === roster && r.barber === 1 && r.bars > 0),
    `${name}: the compare view draws ${JSON.stringify(runsDrawn)}`);
  // By default two runs that ended otherwise, if the session has them: where they part is marked.
  const endings = await page.$$eval('#runs tbody tr', (rows) => new Set(rows.map((r) => r.cells[2].textContent.split(':')[0])).size);
  const parted = await page.$$eval('.compare-box .part', (marks) => marks.length);
  const otherwise = await page.$$eval('.compare-box .differs', (lanes) => lanes.length);
  check(endings < 2 || (parted === 2 && otherwise > 0),
    `${name}: runs that ended otherwise are compared with ${parted} marks where they part, ${otherwise} lanes shaded`);
  await page.selectOption('[data-pick=a]', '4');
  await page.selectOption('[data-pick=b]', '9');
  runsDrawn = await drawn();
  check(same(runsDrawn.map((r) => r.run), [5, 10]), `${name}: picking runs 5 and 10 draws ${runsDrawn.map((r) => r.run)}`);
  // The pair is in the address, so a link opens it again; the view zooms and names its marks.
  const hash = await page.evaluate(() => location.hash);
  await page.reload({ waitUntil: 'load' });
  runsDrawn = await drawn();
  check(hash === '#compare=5,10' && same(runsDrawn.map((r) => r.run), [5, 10]),
    `${name}: the address ${hash} opens runs ${runsDrawn.map((r) => r.run)}`);
  const ticks = () => page.$$eval('.compare-box g.axis', (axis) => axis.map((a) => a.textContent).join());
  const whole = await ticks();
  await page.click('#compare button[data-act=in]', { timeout: 2000 }).catch(() => {});
  check((await ticks()) !== whole, `${name}: zooming in leaves the compare view's axis as it was`);
  const keys = await page.$$eval('#compare .compare-key li', (items) => items.filter((li) => li.getClientRects().length > 0).length);
  check(keys >= 5, `${name}: the compare view's key shows ${keys} marks`);
  await page.close();
  await phone(browser, file, name);
  console.log(`pages: ${name}: ${links.length} runs linked, the compare view drawn`);
}

// Headless, with a fresh profile directory of playwright's own for every launch.
const browser = await chromium.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  // No sandbox: CI runs as root. Nothing that would reach for the network on its own.
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'],
});
try {
  const args = process.argv.slice(2);
  for (let i = 0; i + 1 < args.length; i += 2) {
    if (args[i] === 'run') await runPage(browser, path.resolve(args[i + 1]));
    else if (args[i] === 'session') await sessionPage(browser, path.resolve(args[i + 1]));
    else if (args[i] === 'stuck') await stuckPage(browser, path.resolve(args[i + 1]));
    else if (args[i] === 'controlled') await controlledPage(browser, path.resolve(args[i + 1]));
    else check(false, `unknown argument ${args[i]}`);
  }
  check(zoomed > 0 || !args.includes('run'), 'no run page had two marks 0.02-1 ms apart to zoom to');
} finally {
  await browser.close();
}
for (const failure of failures) console.error('pages: ' + failure);
process.exit(failures.length === 0 ? 0 : 1);
