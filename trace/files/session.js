// The session page's compare view: two runs' lanes one above the other on one time axis, the
// customers who ended otherwise shaded, the moment the two runs part drawn as a dashed line in
// each, and a moment only one of them has marked with a diamond. The axis zooms (the buttons,
// the keys + - 0 over the view, the wheel) and pans (a drag); the pair is kept in the address
// (#compare=A,B), so a link opens the same two runs. It draws from #session-data, which holds
// the first runs' lanes in microseconds and the words for each way a visit ends, each field read
// by its name.
(function () {
  'use strict';
  var dataNode = document.getElementById('session-data');
  var section = document.getElementById('compare');
  if (!dataNode || !section || !window.JSON) return;
  var data = JSON.parse(dataNode.textContent);
  if (data.runs.length === 0) return;
  var SVG = 'http://www.w3.org/2000/svg';
  var NAMES = 110, RIGHT = 16, LANE = 18, GAP = 4, TITLE = 22, BETWEEN = 14, MIN_SPAN = 20;
  // What each moment of a visit is called, in the order a visit goes through them.
  var MOMENTS = ['comes in', 'sits down to wait', 'gets into the barber\u2019s chair',
    'leaves with the haircut', 'goes away uncut'];
  var controls = section.querySelector('.compare-controls');
  var pickA = section.querySelector('[data-pick=a]'), pickB = section.querySelector('[data-pick=b]');
  var box = section.querySelector('.compare-box'), words = section.querySelector('.compare-words');
  var view = {v0: 0, v1: 0, end: 0, pair: ''};

  function el(name, attrs, text) {
    var node = document.createElementNS(SVG, name);
    Object.keys(attrs).forEach(function (key) { node.setAttribute(key, attrs[key]); });
    if (text !== undefined) node.textContent = text;
    return node;
  }
  function clamp(v, lo, hi) { return Math.min(Math.max(v, lo), hi); }
  function ms(us) { return (us / 1000).toFixed(1) + ' ms'; }

  // A run's moments in time order: [kind, who, us], kind an index into MOMENTS.
  function moments(run) {
    var list = [];
    run.customers.forEach(function (c, who) {
      var at = [c.arrived, c.sat, c.cutStart, c.cutFinish, c.away ? c.left : -1];
      at.forEach(function (us, kind) { if (us >= 0) list.push([kind, who, us]); });
    });
    return list.sort(function (a, b) { return a[2] - b[2] || a[1] - b[1] || a[0] - b[0]; });
  }
  function key(m) { return m[0] + ':' + m[1]; }

  // Where two runs part: the first moment that differs (and the last they share), and the
  // moments only one has.
  function differences(a, b) {
    var ma = moments(a), mb = moments(b), part = -1;
    for (var i = 0; i < Math.max(ma.length, mb.length) && part < 0; i++) {
      if (!ma[i] || !mb[i] || key(ma[i]) !== key(mb[i])) part = i;
    }
    var inA = {}, inB = {};
    ma.forEach(function (m) { inA[key(m)] = true; });
    mb.forEach(function (m) { inB[key(m)] = true; });
    return {
      part: part < 0 ? null : [ma[part] || null, mb[part] || null],
      shared: part > 0 ? ma[part - 1] : null,
      loneA: ma.filter(function (m) { return !inB[key(m)]; }),
      loneB: mb.filter(function (m) { return !inA[key(m)]; })
    };
  }

  function drawRun(svg, run, y, X, lone, otherwise, width) {
    var names = data.rosters[run.r], group = el('g', {'data-run': run.n});
    var lanes = el('g', {'clip-path': 'url(#compare-clip)'});
    group.appendChild(el('text', {x: 4, y: y + 15, 'class': 'title'}, 'run ' + run.n + ' \u00b7 ending ' + run.ending));
    y += TITLE;
    var barber = el('g', {'data-lane': 'barber'});
    barber.appendChild(el('rect', {'class': 'lane-bg', x: 0, y: y, width: width, height: LANE}));
    barber.appendChild(el('text', {x: 4, y: y + 13}, 'Barber'));
    run.barber.forEach(function (s) {
      lanes.appendChild(el('rect', {'class': s.doing === 'cutting' ? 'cut' : 'asleep', x: X(s.from), y: y + 3,
        width: Math.max(X(s.to) - X(s.from), 1), height: LANE - 6}));
    });
    group.appendChild(barber);
    run.customers.forEach(function (c, who) {
      var top = y + (who + 1) * (LANE + GAP), lane = el('g', {'data-lane': 'customer', 'data-who': who});
      lane.appendChild(el('rect', {'class': otherwise[who] ? 'lane-bg differs' : 'lane-bg', x: 0, y: top, width: width, height: LANE}));
      lane.appendChild(el('text', {x: 4, y: top + 13}, (otherwise[who] ? '\u2260 ' : '') + names[who]));
      var until = c.cutStart >= 0 ? c.cutStart : (c.left >= 0 ? c.left : run.end);
      var bars = el('g', {'data-who': who});
      if (c.sat >= 0) bars.appendChild(el('rect', {'class': 'wait', x: X(c.sat), y: top + 5, width: Math.max(X(until) - X(c.sat), 1), height: LANE - 10}));
      if (c.cutStart >= 0) bars.appendChild(el('rect', {'class': 'cut', x: X(c.cutStart), y: top + 3, width: Math.max(X(c.cutFinish >= 0 ? c.cutFinish : run.end) - X(c.cutStart), 1), height: LANE - 6}));
      if (c.arrived >= 0) bars.appendChild(el('path', {'class': 'arrive', d: 'M' + (X(c.arrived) - 4) + ' ' + top + 'h8l-4 7z'}));
      if (c.away && c.left >= 0) bars.appendChild(el('path', {'class': 'away', d: 'M' + (X(c.left) - 5) + ' ' + (top + 4) + 'l10 10m0 -10l-10 10'}));
      lanes.appendChild(bars);
      group.appendChild(lane);
    });
    lone.forEach(function (m) {
      var top = y + (m[1] + 1) * (LANE + GAP) + LANE / 2, x = X(m[2]);
      lanes.appendChild(el('path', {'class': 'lone', d: 'M' + x + ' ' + (top - 7) + 'l7 7l-7 7l-7 -7z'}, ''));
    });
    group.appendChild(lanes);
    svg.appendChild(group);
    return y + (run.customers.length + 1) * (LANE + GAP);
  }

  function pair() { return [data.runs[+pickA.value], data.runs[+pickB.value]]; }

  function draw() {
    var runs = pair(), a = runs[0], b = runs[1];
    var width = Math.max(box.clientWidth, 560);
    var X = function (us) { return NAMES + (us - view.v0) / (view.v1 - view.v0) * (width - NAMES - RIGHT); };
    var diff = differences(a, b), otherwise = a.customers.map(function (c, who) { return !b.customers[who] || b.customers[who].outcome !== c.outcome; });
    var height = TITLE * 2 + BETWEEN + (a.customers.length + b.customers.length + 2) * (LANE + GAP) + 30;
    var svg = el('svg', {'class': 'compare', width: width, height: height, role: 'img',
      'aria-label': 'Run ' + a.n + ' above run ' + b.n + ' on one time axis'});
    var clip = el('clipPath', {id: 'compare-clip'});
    clip.appendChild(el('rect', {x: NAMES - 6, y: 0, width: width - NAMES + 6, height: height}));
    svg.appendChild(clip);
    var yA = 0, yB = drawRun(svg, a, yA, X, diff.loneA, otherwise, width) + BETWEEN;
    var bottom = drawRun(svg, b, yB, X, diff.loneB, otherwise, width);
    if (diff.part) {
      var parts = el('g', {'clip-path': 'url(#compare-clip)'});
      [[diff.part[0], yA], [diff.part[1], yB]].forEach(function (p) {
        if (!p[0]) return;
        var x = X(p[0][2]);
        parts.appendChild(el('line', {'class': 'part', x1: x, x2: x, y1: p[1] + TITLE, y2: p[1] + TITLE + (a.customers.length + 1) * (LANE + GAP)}));
      });
      svg.appendChild(parts);
    }
    axis(svg, X, bottom + 4, width);
    box.replaceChildren(svg);
    words.replaceChildren(describe(a, b, diff, otherwise));
    // Each run's own page, opened at the moment it parts from the other.
    if (diff.part) [[a, diff.part[0]], [b, diff.part[1]]].forEach(function (p, k) {
      if (!p[1]) return;
      var link = document.createElement('a');
      link.href = 'run-' + p[0].n + '.html#t=' + p[1][2] / 1000;
      link.textContent = 'run ' + p[0].n + ' at ' + ms(p[1][2]);
      words.append(k === 0 ? ' See it in ' : ' and in ', link);
    });
    if (diff.part) words.append('.');
  }

  function axis(svg, X, y, width) {
    var rough = (view.v1 - view.v0) / 1000 / Math.max(3, Math.floor(width / 110));
    var power = Math.pow(10, Math.floor(Math.log10(rough)));
    var step = [1, 2, 5, 10].map(function (f) { return f * power; }).filter(function (s) { return s >= rough; })[0];
    var digits = Math.max(0, -Math.floor(Math.log10(step) + 1e-9));
    var g = el('g', {'class': 'axis'});
    g.appendChild(el('line', {'class': 'axis', x1: NAMES, x2: width - RIGHT, y1: y, y2: y}));
    for (var k = Math.ceil(view.v0 / 1000 / step - 1e-9); k * step <= view.v1 / 1000 + 1e-9; k++) {
      var x = X(k * step * 1000);
      g.appendChild(el('line', {'class': 'axis', x1: x, x2: x, y1: y, y2: y + 5}));
      g.appendChild(el('text', {x: x, y: y + 18, 'text-anchor': 'middle'}, (k * step).toFixed(digits)));
    }
    g.appendChild(el('text', {x: NAMES - 8, y: y + 18, 'text-anchor': 'end'}, 'ms'));
    svg.appendChild(g);
  }

  function who(run, m) { return data.rosters[run.r][m[1]]; }

  // Where the runs part, told as what happened: the last moment they share, then what each did.
  function describe(a, b, diff, otherwise) {
    if (!diff.part) return 'Runs ' + a.n + ' and ' + b.n + ' go through the same moments in the same order.';
    var text = diff.shared
      ? 'Both runs go the same way until ' + who(a, diff.shared) + ' ' + MOMENTS[diff.shared[0]] + ' (at ' +
        ms(diff.shared[2]) + ' in run ' + a.n + '). Then they part: '
      : 'The runs part at once: ';
    var first = function (run, m) {
      return m ? 'in run ' + run.n + ' ' + who(run, m) + ' ' + MOMENTS[m[0]] + ' next, at ' + ms(m[2])
        : 'run ' + run.n + ' has nothing more';
    };
    text += first(a, diff.part[0]) + ', while ' + first(b, diff.part[1]) + '.';
    var ended = [];
    otherwise.forEach(function (x, i) {
      if (!x) return;
      var wordsB = b.customers[i] ? data.outcomes[b.customers[i].outcome] : 'was not there';
      ended.push(data.rosters[a.r][i] + ': in run ' + a.n + ' ' + data.outcomes[a.customers[i].outcome] + ', in run ' +
        b.n + ' ' + wordsB);
    });
    if (ended.length) text += ' Ended differently (\u2260): ' + ended.join('; ') + '.';
    return text;
  }

  // ---- Zoom and pan ----
  function setView(v0, span) {
    span = clamp(span, MIN_SPAN, view.end);
    view.v0 = clamp(v0, 0, view.end - span);
    view.v1 = view.v0 + span;
    draw();
  }
  function zoom(factor, around) {
    var span = view.v1 - view.v0, next = clamp(span / factor, MIN_SPAN, view.end);
    var t = around === undefined ? (view.v0 + view.v1) / 2 : around;
    setView(t - (t - view.v0) / span * next, next);
  }
  function timeAt(clientX) {
    var svg = box.querySelector('svg'), width = +svg.getAttribute('width');
    var x = clientX - svg.getBoundingClientRect().left;
    return view.v0 + (x - NAMES) / (width - NAMES - RIGHT) * (view.v1 - view.v0);
  }
  function whole() {
    var runs = pair();
    view.end = Math.max(runs[0].end, runs[1].end, 1);
    setView(0, view.end);
  }
  var actions = {in: function () { zoom(2); }, out: function () { zoom(0.5); }, fit: whole};
  controls.addEventListener('click', function (e) {
    var button = e.target.closest('button[data-act]');
    if (button) actions[button.dataset.act]();
  });
  box.addEventListener('wheel', function (e) {
    e.preventDefault();
    var span = view.v1 - view.v0, width = box.clientWidth;
    if (Math.abs(e.deltaX) > Math.abs(e.deltaY)) setView(view.v0 + e.deltaX / width * span, span);
    else zoom(Math.exp(-e.deltaY * 0.002), timeAt(e.clientX));
  }, {passive: false});
  var drag = null;
  box.addEventListener('pointerdown', function (e) {
    if (e.pointerType === 'touch' || e.button !== 0) return;
    drag = {x: e.clientX, v0: view.v0};
    if (box.setPointerCapture) box.setPointerCapture(e.pointerId);
  });
  box.addEventListener('pointermove', function (e) {
    if (!drag) return;
    var span = view.v1 - view.v0, width = +box.querySelector('svg').getAttribute('width');
    setView(drag.v0 - (e.clientX - drag.x) / (width - NAMES - RIGHT) * span, span);
  });
  box.addEventListener('pointerup', function () { drag = null; });
  box.addEventListener('pointercancel', function () { drag = null; });
  section.addEventListener('keydown', function (e) {
    var act = {'+': 'in', '=': 'in', '-': 'out', _: 'out', '0': 'fit'}[e.key];
    if (!act || e.ctrlKey || e.metaKey || e.altKey || e.target.tagName === 'SELECT') return;
    e.preventDefault();
    actions[act]();
  });

  // ---- The address: #compare=A,B, the two runs' numbers ----
  function indexOf(number) {
    for (var i = 0; i < data.runs.length; i++) if (data.runs[i].n === number) return i;
    return -1;
  }
  function readAddress() {
    var m = /^#compare=([0-9]+),([0-9]+)$/.exec(location.hash);
    if (!m || indexOf(+m[1]) < 0 || indexOf(+m[2]) < 0) return false;
    pickA.value = indexOf(+m[1]);
    pickB.value = indexOf(+m[2]);
    return true;
  }
  function picked() {
    var runs = pair(), hash = '#compare=' + runs[0].n + ',' + runs[1].n;
    if (location.hash !== hash) {
      try { history.replaceState(null, '', hash); } catch (e) { /* a page the browser keeps unaddressable */ }
    }
    whole();
  }

  data.runs.forEach(function (run, i) {
    [pickA, pickB].forEach(function (pick) {
      var option = document.createElement('option');
      option.value = i;
      option.textContent = run.n + ' (ending ' + run.ending + ')';
      pick.appendChild(option);
    });
  });
  pickA.addEventListener('change', picked);
  pickB.addEventListener('change', picked);
  window.addEventListener('resize', draw);
  window.addEventListener('hashchange', function () { if (readAddress()) whole(); });
  controls.hidden = false;
  section.querySelector('.compare-key').hidden = false;
  if (readAddress()) {
    section.scrollIntoView();
  } else {
    // By default the first run against the first that ended otherwise, or else the next one.
    var other = data.runs.findIndex(function (run) { return run.ending !== data.runs[0].ending; });
    pickB.value = other >= 0 ? other : Math.min(1, data.runs.length - 1);
  }
  whole();
})();
