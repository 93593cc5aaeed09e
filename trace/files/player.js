// The run page's player: a time cursor over the run, the shop drawn as it stood at the cursor,
// the lanes zoomed and panned around it, and the cursor kept in the address (#t=MS). It only
// moves and copies what the page already holds: #player-data names when each line came, the
// shop wherever it changed and the shop's own numbers, and every drawn time in the lanes carries
// its microseconds (data-t, data-t0, data-t1; an arrow's ends data-ta, data-tb). Without it the
// page stays the still picture of the run's end. A controlled run's page draws each step apart
// from the others of its instant (#spread-data): the cursor moves over those drawing
// times, and whatever the page reads out (the clock, the ruler, the address) is virtual time.
// window.barbershopPlayer lets a page that frames this one move the cursor and the zoom and put
// the page in projector mode.
(function () {
  'use strict';
  var dataNode = document.getElementById('player-data');
  var plot = document.querySelector('svg.plot');
  if (!dataNode || !plot || !window.JSON || !document.body.classList) return;
  var data = JSON.parse(dataNode.textContent);
  // The lanes end where the run is drawn to, or at its last line when that came later.
  var spreadNode = document.getElementById('spread-data');
  var spread = spreadNode ? JSON.parse(spreadNode.textContent) : null, lineUs = data.lineUs, shopMoments = data.shop;
  var times = spread ? spread.lines : lineUs; // where each line is drawn
  var endUs = Math.max(spread ? spread.end : data.endUs, times[times.length - 1] || 0, 1);
  var MIN_SPAN = 20; // microseconds across the lanes at the deepest zoom
  var LEFT = 8, RIGHT = 16; // the plot's margins, as page_lanes.cpp draws them
  var doc = document;
  doc.documentElement.classList.add('js');

  var shop = doc.getElementById('shop'), player = doc.getElementById('player');
  var names = doc.querySelector('svg.names'), box = doc.querySelector('.lanes-box');
  var narration = doc.querySelector('.narration-box');
  var scrub = player.querySelector('[data-act=scrub]'), clock = player.querySelector('.clock');
  var playButton = player.querySelector('[data-act=play]');
  var nowLine = player.querySelector('.now-line');
  var cursor = plot.querySelector('.cursor'), axisGroup = plot.querySelector('g.axis');
  var state = {t: endUs, index: times.length - 1, playing: false, speed: 1,
    v0: 0, v1: endUs, width: +plot.getAttribute('width'), lit: -1, last: 0, written: 0};

  function clamp(v, lo, hi) { return Math.min(Math.max(v, lo), hi); }
  function msText(us) { return (us / 1000).toFixed(3); }

  // Between the drawing's times and the virtual clock, along the spread's knots [drawn, virtual];
  // a real-time run is drawn at its own times.
  function along(t, from, to) {
    var knots = spread ? spread.knots : [], lo = 0, hi = knots.length;
    if (hi === 0) return t;
    while (lo < hi) {
      var mid = (lo + hi) >> 1;
      if (knots[mid][from] < t) lo = mid + 1; else hi = mid;
    }
    if (lo === knots.length) return t + knots[lo - 1][to] - knots[lo - 1][from];
    var b = knots[lo];
    if (b[from] === t || lo === 0) return b[from] === t ? b[to] : t;
    var a = knots[lo - 1];
    return a[to] + Math.round((t - a[from]) / (b[from] - a[from]) * (b[to] - a[to]));
  }
  function virt(drawn) { return along(drawn, 0, 1); }
  function drawnAt(us) { return along(us, 1, 0); }

  // The last line printed at or before `us`; -1 before the first.
  function indexAt(us) {
    var lo = 0, hi = times.length;
    while (lo < hi) {
      var mid = (lo + hi) >> 1;
      if (times[mid] <= us) lo = mid + 1; else hi = mid;
    }
    return lo - 1;
  }

  // The shop once the first `lines` lines are out: the last change at or before them.
  function shopAfter(lines) {
    var lo = 0, hi = shopMoments.length;
    while (lo < hi) {
      var mid = (lo + hi) >> 1;
      if (shopMoments[mid].lines <= lines) lo = mid + 1; else hi = mid;
    }
    return shopMoments[Math.max(lo - 1, 0)];
  }

  // ---- The shop ----
  var bank = {}, idOf = {};
  Array.prototype.forEach.call(shop.querySelectorAll('.bank .token'), function (token) {
    bank[token.dataset.who] = token;
    idOf[token.dataset.who] = token.dataset.id;
  });
  var zones = {};
  ['street', 'chair', 'door', 'cut', 'away', 'early'].forEach(function (name) {
    zones[name] = shop.querySelector('[data-zone=' + name + ']');
  });
  var seats = shop.querySelector('.seats'), barber = shop.querySelector('.barber');

  function put(place, who) {
    Array.prototype.slice.call(place.querySelectorAll('.token')).forEach(function (token) {
      token.remove();
    });
    who.forEach(function (w) { place.appendChild(bank[w].cloneNode(true)); });
  }

  // As many chairs as waiting customers, and never fewer than the shop has.
  function drawSeats(queue) {
    var first = seats.children[0];
    while (seats.children.length > Math.max(data.waitChairs, queue.length) && seats.lastElementChild.classList.contains('extra')) {
      seats.lastElementChild.remove();
    }
    while (seats.children.length < queue.length) {
      var seat = first.cloneNode(true);
      seat.classList.add('extra');
      seat.dataset.seat = seats.children.length + 1;
      seat.querySelector('.seat-name').textContent = seat.dataset.seat;
      seats.appendChild(seat);
    }
    Array.prototype.forEach.call(seats.children, function (seat, k) {
      put(seat, k < queue.length ? [queue[k]] : []);
    });
  }

  function drawShop(frame, us) {
    var chair = frame.chair >= 0 ? [frame.chair] : [], placed = {};
    [chair, frame.queue, frame.door, frame.cut, frame.away, frame.early].forEach(function (list) {
      list.forEach(function (w) { placed[w] = true; });
    });
    barber.dataset.barber = frame.barber;
    barber.querySelector('.doing').textContent = frame.barber;
    put(zones.chair, chair);
    drawSeats(frame.queue);
    put(zones.door, frame.door);
    put(zones.cut, frame.cut);
    put(zones.away, frame.away);
    put(zones.early, frame.early);
    zones.cut.querySelector('.count').textContent = frame.finished;
    zones.away.querySelector('.count').textContent = frame.gone;
    zones.early.querySelector('.count').textContent = frame.early.length;
    put(zones.street, Object.keys(bank).filter(function (w) { return !placed[w]; }).map(Number));
    shop.dataset.t = msText(us);
    shop.dataset.chair = frame.chair >= 0 ? idOf[frame.chair] : '';
    shop.dataset.queue = JSON.stringify(frame.queue.map(function (w) { return idOf[w]; }));
    shop.querySelector('.shop-when').textContent = 'at ' + msText(us) + ' ms';
  }

  // ---- The lanes, laid out for the stretch [v0, v1] ----
  var spans = [], points = [], labels = [], fills = [], arrows = [];
  Array.prototype.forEach.call(plot.querySelectorAll('[data-t0]'), function (el) {
    (el.tagName === 'text' ? labels : spans).push([el, +el.dataset.t0, +el.dataset.t1, +(el.dataset.w || 0)]);
  });
  Array.prototype.forEach.call(plot.querySelectorAll('[data-t]'), function (el) {
    points.push([el, +el.dataset.t]);
  });
  Array.prototype.forEach.call(plot.querySelectorAll('[data-ta]'), function (el) {
    arrows.push([el, +el.dataset.ta, +el.dataset.tb]);
  });
  Array.prototype.forEach.call(plot.querySelectorAll('.lane-bg, .clip'), function (el) { fills.push(el); });
  var grid = plot.querySelector('.grid');

  function X(us) {
    return LEFT + (us - state.v0) / (state.v1 - state.v0) * (state.width - LEFT - RIGHT);
  }
  function timeAt(clientX) {
    var x = clientX - plot.getBoundingClientRect().left;
    return state.v0 + (x - LEFT) / (state.width - LEFT - RIGHT) * (state.v1 - state.v0);
  }

  // Ticks of 1, 2 or 5 times a power of ten, about one per 110 pixels.
  function axis() {
    var y = +axisGroup.dataset.y, range = (state.v1 - state.v0) / 1000;
    var rough = range / Math.max(3, Math.floor(state.width / 110));
    var power = Math.pow(10, Math.floor(Math.log10(rough)));
    var step = [1, 2, 5, 10].map(function (f) { return f * power; }).filter(function (s) { return s >= rough; })[0];
    var digits = Math.max(0, -Math.floor(Math.log10(step) + 1e-9));
    // Within a millisecond a controlled run's ruler reads its virtual microseconds, the same
    // under the steps of one instant.
    if (spread && step < 1) digits = 3;
    // A strip to grab: a drag along the axis pans.
    var parts = ['<rect class="hit" x="0" y="' + (y - 4) + '" width="' + state.width + '" height="30"/>' +
      '<line class="axis" x1="' + LEFT + '" x2="' + (state.width - RIGHT) + '" y1="' + y + '" y2="' + y + '"/>'];
    // Ticks over the steps of one instant read the same virtual time: only the first says it. A
    // label the plot's edge would cut (about 8 px a character) is left out.
    var said = '';
    for (var k = Math.ceil(state.v0 / 1000 / step - 1e-9); k * step <= state.v1 / 1000 + 1e-9; k++) {
      var x = X(k * step * 1000), label = (virt(k * step * 1000) / 1000).toFixed(digits);
      var whole = x >= label.length * 4 && x + label.length * 4 <= state.width;
      parts.push('<line class="axis" x1="' + x.toFixed(1) + '" x2="' + x.toFixed(1) + '" y1="' + y + '" y2="' + (y + 5) + '"/>' +
        (label === said || !whole ? '' : '<text x="' + x.toFixed(1) + '" y="' + (y + 18) + '" text-anchor="middle">' + label + '</text>'));
      said = label;
    }
    axisGroup.innerHTML = parts.join('');
  }

  function layout() {
    var lo = -50, hi = state.width + 50;
    plot.setAttribute('width', state.width);
    fills.forEach(function (el) { el.setAttribute('width', state.width); });
    if (grid) grid.setAttribute('x2', state.width);
    spans.forEach(function (s) {
      var a = clamp(X(s[1]), lo, hi), b = clamp(X(s[2]), lo, hi);
      s[0].setAttribute('x', a.toFixed(2));
      s[0].setAttribute('width', Math.max(b - a, 1).toFixed(2));
    });
    labels.forEach(function (s) {
      var a = Math.max(X(s[1]), LEFT), b = Math.min(X(s[2]), state.width - RIGHT);
      s[0].setAttribute('x', (a + 3).toFixed(2));
      s[0].setAttribute('display', b - a > s[3] ? 'inline' : 'none');
    });
    arrows.forEach(function (a) {
      a[0].setAttribute('x1', clamp(X(a[1]), -1000, state.width + 1000).toFixed(2));
      a[0].setAttribute('x2', clamp(X(a[2]), -1000, state.width + 1000).toFixed(2));
    });
    points.forEach(function (p) {
      p[0].setAttribute('transform', 'translate(' + clamp(X(p[1]), -1000, state.width + 1000).toFixed(2) + ' 0)');
    });
    axis();
    moveCursor();
  }

  function moveCursor() {
    cursor.setAttribute('transform', 'translate(' + clamp(X(state.t), -10, state.width + 10).toFixed(2) + ' 0)');
  }

  function setView(v0, span) {
    span = clamp(span, MIN_SPAN, endUs);
    state.v0 = clamp(v0, 0, endUs - span);
    state.v1 = state.v0 + span;
    layout();
  }

  // Zooms by `factor`, keeping the instant `around` (the cursor, unless given) where it is.
  function zoom(factor, around) {
    var span = state.v1 - state.v0, next = clamp(span / factor, MIN_SPAN, endUs);
    var t = around === undefined ? state.t : around;
    var at = (t - state.v0) / span;
    if (at < 0 || at > 1) at = 0.5;
    setView(t - at * next, next);
  }

  // Brings the cursor back into view when it has left it.
  function follow() {
    var span = state.v1 - state.v0;
    if (state.t < state.v0 || state.t > state.v1) setView(state.t - span * (state.playing ? 0.1 : 0.5), span);
  }

  function measure() {
    var room = box.clientWidth - names.getBoundingClientRect().width;
    state.width = Math.max(Math.floor(room), 480);
  }

  // ---- The cursor ----
  function lineText(li) {
    var when = li.querySelector('.when');
    return li.textContent.slice(when ? when.textContent.length : 0).trim().replace(/\s*\n\s*/g, ' \u00b7 ');
  }

  // Scrolls the narration's own box, never the page.
  function keepInView(li) {
    var top = li.offsetTop, bottom = top + li.offsetHeight;
    if (top < narration.scrollTop || bottom > narration.scrollTop + narration.clientHeight) {
      narration.scrollTop = Math.max(0, top - narration.clientHeight / 3);
    }
  }

  function highlight(i) {
    if (state.lit >= 0) {
      doc.getElementById('n-' + state.lit).classList.remove('now');
      doc.getElementById('e-' + state.lit).classList.remove('now');
    }
    state.lit = i;
    if (i < 0) {
      nowLine.textContent = 'Before the first line: the barber asleep, nobody come yet.';
      return;
    }
    var li = doc.getElementById('n-' + i);
    li.classList.add('now');
    doc.getElementById('e-' + i).classList.add('now');
    keepInView(li);
    nowLine.textContent = msText(lineUs[i]) + ' ms  ' + lineText(li);
  }

  // The address: #t=MS, and &e=I when the line is not the last one of its microsecond.
  function writeAddress() {
    var hash = '#t=' + Number(msText(virt(state.t)));
    if (state.index >= 0 && indexAt(drawnAt(virt(state.t))) !== state.index) hash += '&e=' + state.index;
    if (location.hash === hash) return;
    try { history.replaceState(null, '', hash); } catch (e) { /* a page the browser keeps unaddressable */ }
  }

  function readAddress() {
    var m = /^#t=([0-9]+(?:\.[0-9]*)?)(?:&e=([0-9]+))?$/.exec(location.hash);
    if (m) {
      var us = Math.round(parseFloat(m[1]) * 1000), e = m[2] === undefined ? -1 : +m[2];
      var known = e >= 0 && e < times.length && lineUs[e] === us;
      goTo(known ? times[e] : drawnAt(us), known ? e : undefined);
      return true;
    }
    m = /^#[ne]-([0-9]+)$/.exec(location.hash);
    if (m && +m[1] < times.length) {
      goTo(times[+m[1]], +m[1]);
      return true;
    }
    return false;
  }

  // Moves the cursor to `us`; `index` names the line when several share that microsecond.
  function goTo(us, index) {
    state.t = clamp(us, 0, endUs);
    state.index = index === undefined ? indexAt(state.t) : index;
    drawShop(shopAfter(state.index + 1), virt(state.t));
    if (state.index !== state.lit) highlight(state.index);
    scrub.value = state.t / 1000;
    clock.textContent = msText(virt(state.t)) + ' ms';
    follow();
    moveCursor();
    if (!state.playing && state.ready) writeAddress();
  }

  // ---- Play ----
  function tick(now) {
    if (!state.playing) return;
    var next = state.t + (now - state.last) * 1000 * state.speed;
    state.last = now;
    if (next >= endUs) {
      pause();
      goTo(endUs);
      return;
    }
    goTo(next);
    if (now - state.written > 400) {
      state.written = now;
      writeAddress();
    }
    requestAnimationFrame(tick);
  }
  function play() {
    if (state.t >= endUs) goTo(0, -1);
    state.playing = true;
    state.last = performance.now();
    playButton.textContent = '\u275a\u275a';
    playButton.setAttribute('aria-pressed', 'true');
    // A line a moment would be too much for a screen reader: it hears the line it pauses on.
    nowLine.setAttribute('aria-live', 'off');
    requestAnimationFrame(tick);
  }
  function pause() {
    if (!state.playing) return;
    state.playing = false;
    playButton.textContent = '\u25b6';
    playButton.setAttribute('aria-pressed', 'false');
    nowLine.setAttribute('aria-live', 'polite');
    writeAddress();
  }
  function step(direction) {
    pause();
    var i = state.index + direction;
    // From between two lines, back goes to the line before the cursor.
    if (direction < 0 && state.index >= 0 && state.t > times[state.index]) i = state.index;
    if (i < -1 || i >= times.length) return;
    goTo(i < 0 ? 0 : times[i], i);
  }

  var actions = {
    start: function () { pause(); goTo(0, -1); },
    end: function () { pause(); goTo(endUs); },
    prev: function () { step(-1); },
    next: function () { step(1); },
    play: function () { if (state.playing) pause(); else play(); },
    in: function () { zoom(2); },
    out: function () { zoom(0.5); },
    fit: function () { setView(0, endUs); }
  };
  var keys = {ArrowLeft: 'prev', ArrowRight: 'next', ' ': 'play', k: 'play', '+': 'in', '=': 'in',
    '-': 'out', _: 'out', '0': 'fit', Home: 'start', End: 'end'};

  // ---- Wiring ----
  player.addEventListener('click', function (e) {
    var button = e.target.closest('button[data-act]');
    if (button) actions[button.dataset.act]();
  });
  player.querySelector('[data-act=speed]').addEventListener('change', function (e) {
    state.speed = +e.target.value;
  });
  scrub.addEventListener('input', function () { goTo(Math.round(+scrub.value * 1000)); });
  doc.addEventListener('keydown', function (e) {
    var tag = e.target.tagName;
    if (e.ctrlKey || e.metaKey || e.altKey || !keys[e.key]) return;
    if (tag === 'INPUT' || tag === 'SELECT' || tag === 'TEXTAREA') return;
    if (tag === 'BUTTON' && (e.key === ' ' || e.key === 'Enter')) return;
    e.preventDefault();
    actions[keys[e.key]]();
  });
  // Every instant the verdict or the numbered story names moves the cursor there, with the shop
  // and lanes in view: to its line (data-e), or to the instant itself (data-t) when it has one.
  function followLink(e) {
    var link = e.target.closest('a[data-e], a[data-t]');
    if (!link) return;
    e.preventDefault();
    pause();
    var i = link.dataset.e === undefined ? -1 : +link.dataset.e;
    var us = link.dataset.t === undefined ? lineUs[i] : +link.dataset.t;
    var known = i >= 0 && lineUs[i] === us;
    goTo(known ? times[i] : drawnAt(us), known ? i : undefined);
    player.scrollIntoView({block: 'start'});
  }
  ['verdict', 'story'].forEach(function (id) {
    var part = doc.getElementById(id);
    if (part) part.addEventListener('click', followLink);
  });
  narration.addEventListener('click', function (e) {
    var li = e.target.closest('li[id^="n-"]');
    if (!li) return;
    e.preventDefault();
    pause();
    var i = +li.id.slice(2);
    goTo(times[i], i);
  });

  // A press or a drag on the lanes moves the cursor with the pointer, a click on a mark to its
  // line; a drag on the time axis, or with Shift held, pans the lanes instead.
  var drag = null;
  function scrubTo(clientX) {
    goTo(clamp(Math.round(timeAt(clientX)), state.v0, state.v1));
  }
  plot.addEventListener('pointerdown', function (e) {
    if (e.pointerType === 'touch' || e.button !== 0) return;
    var pan = e.shiftKey || !!e.target.closest('g.axis');
    drag = {x: e.clientX, v0: state.v0, moved: false, pan: pan, mark: e.target.closest('.mark')};
    pause();
    if (!pan && !drag.mark) scrubTo(e.clientX);
    e.preventDefault();
  });
  plot.addEventListener('pointermove', function (e) {
    if (!drag) return;
    var dx = e.clientX - drag.x;
    if (!drag.moved && Math.abs(dx) > 4) {
      // Only a drag holds the pointer: a click keeps its target, the mark under it.
      drag.moved = true;
      if (plot.setPointerCapture) plot.setPointerCapture(e.pointerId);
    }
    if (!drag.moved) return;
    if (drag.pan) {
      var span = state.v1 - state.v0;
      setView(drag.v0 - dx / (state.width - LEFT - RIGHT) * span, span);
    } else {
      scrubTo(e.clientX);
    }
  });
  // The click that ends a press comes in the same task; a drag released elsewhere has none.
  plot.addEventListener('pointerup', function () {
    var ended = drag;
    setTimeout(function () { if (drag === ended) drag = null; }, 0);
  });
  plot.addEventListener('pointercancel', function () { drag = null; });
  plot.addEventListener('click', function (e) {
    e.preventDefault();
    var was = drag;
    drag = null;
    if (was && (was.moved || was.pan)) return;
    pause();
    var mark = e.target.closest('.mark') || (was && was.mark);
    if (mark) {
      var i = +mark.id.slice(2);
      goTo(times[i], i);
    } else if (!was) {
      goTo(timeAt(e.clientX));
    }
  });
  plot.addEventListener('wheel', function (e) {
    e.preventDefault();
    var span = state.v1 - state.v0;
    if (Math.abs(e.deltaX) > Math.abs(e.deltaY)) {
      setView(state.v0 + e.deltaX / state.width * span, span);
    } else {
      zoom(Math.exp(-e.deltaY * 0.002), timeAt(e.clientX));
    }
  }, {passive: false});

  // Two fingers zoom around the instant between them; one finger scrolls the lanes as usual.
  var pinch = null;
  function apart(touches) { return Math.abs(touches[0].clientX - touches[1].clientX) + 1; }
  plot.addEventListener('touchstart', function (e) {
    if (e.touches.length !== 2) return;
    var mid = (e.touches[0].clientX + e.touches[1].clientX) / 2;
    pinch = {d: apart(e.touches), span: state.v1 - state.v0, t: timeAt(mid), at: (timeAt(mid) - state.v0) / (state.v1 - state.v0)};
  }, {passive: true});
  plot.addEventListener('touchmove', function (e) {
    if (!pinch || e.touches.length !== 2) return;
    e.preventDefault();
    var span = clamp(pinch.span * pinch.d / apart(e.touches), MIN_SPAN, endUs);
    setView(pinch.t - pinch.at * span, span);
  }, {passive: false});
  plot.addEventListener('touchend', function () { pinch = null; });

  window.addEventListener('resize', function () { measure(); layout(); });
  window.addEventListener('hashchange', readAddress);
  // Paper gets the shop at the end and the whole run, at the width the print style expects.
  window.addEventListener('beforeprint', function () {
    state.saved = [state.v0, state.v1 - state.v0, state.width];
    drawShop(shopMoments[shopMoments.length - 1], virt(endUs));
    state.width = 850;
    setView(0, endUs);
  });
  window.addEventListener('afterprint', function () {
    if (!state.saved) return;
    state.width = state.saved[2];
    setView(state.saved[0], state.saved[1]);
    goTo(state.t, state.index);
  });

  // A broken or stuck run opens on what its verdict is about: the instants it names fill the
  // lanes, the cursor on the last of them; a run that held opens at its end. A controlled run
  // opens on the failing moment its numbered story tells, its steps drawn apart.
  function openOnFault() {
    var named = spread && doc.querySelector('#story a[data-e]') ? '#story a[data-e]' : '#verdict a.fault[data-e]';
    var lines = Array.prototype.map.call(doc.querySelectorAll(named), function (a) {
      return +a.dataset.e;
    }).filter(function (i) { return i >= 0 && i < times.length; });
    if (lines.length === 0) return false;
    var last = lines.reduce(function (a, b) { return times[b] > times[a] || (times[b] === times[a] && b > a) ? b : a; });
    var lo = Math.min.apply(null, lines.map(function (i) { return times[i]; })), hi = times[last];
    var span = Math.max((hi - lo) * 1.25, endUs / 100, MIN_SPAN * 10);
    if (spread) {
      // The steps of the failing instant, and those just before it: an earlier instant, far
      // away on the clock, would squeeze them back together.
      var near = lines.map(function (i) { return times[i]; }).sort(function (a, b) { return b - a; });
      lo = hi;
      for (var k = 0; k < near.length && lo - near[k] <= MIN_SPAN * 10; k++) lo = Math.min(lo, near[k]);
      span = Math.max((hi - lo) * 1.3, MIN_SPAN * 2);
    }
    setView((lo + hi) / 2 - span / 2, span);
    goTo(hi, last);
    return true;
  }

  // For a page that shows this one in a frame (the live view, which draws a run as it goes): put
  // the cursor on the run's newest moment or on an instant in ms, and read where it is.
  window.barbershopPlayer = {
    end: actions.end,
    goTo: function (ms) { pause(); goTo(drawnAt(Math.round(+ms * 1000))); },
    now: function () { return virt(state.t) / 1000; },
    // The span the lanes show, {from, to} in ms; given one, shows it (a redrawn page keeps its
    // reader's zoom).
    view: function (span) {
      if (span) {
        var from = drawnAt(Math.round(span.from * 1000));
        setView(from, drawnAt(Math.round(span.to * 1000)) - from);
      }
      return {from: virt(state.v0) / 1000, to: virt(state.v1) / 1000};
    },
    // Projector mode: large type, and only what the moment needs (page.css, html.present).
    present: function (on) {
      doc.documentElement.classList.toggle('present', !!on);
      measure();
      layout();
    }
  };
  if (/[?&]present(&|=|$)/.test(location.search)) window.barbershopPlayer.present(true);

  if (spread) scrub.max = endUs / 1000;
  player.hidden = false;
  measure();
  layout();
  if (!readAddress() && !openOnFault()) goTo(endUs);
  state.ready = true;
})();
