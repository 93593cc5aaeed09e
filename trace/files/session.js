// The session page's compare view: two runs' lanes one above the other on one time axis, the
// customers who ended otherwise shaded, the moment the two runs part drawn as a dashed line in
// each, and a moment only one of them has marked with a diamond. It draws from #session-data,
// which holds the first runs' lanes in microseconds, each field read by its name.
(function () {
  'use strict';
  var dataNode = document.getElementById('session-data');
  var section = document.getElementById('compare');
  if (!dataNode || !section || !window.JSON) return;
  var data = JSON.parse(dataNode.textContent);
  if (data.runs.length === 0) return;
  var SVG = 'http://www.w3.org/2000/svg';
  var NAMES = 110, RIGHT = 16, LANE = 18, GAP = 4, TITLE = 22, BETWEEN = 14;
  var MOMENTS = ['arrives', 'sits down to wait', 'is cut from', 'leaves cut', 'goes away'];
  var controls = section.querySelector('.compare-controls');
  var pickA = section.querySelector('[data-pick=a]'), pickB = section.querySelector('[data-pick=b]');
  var box = section.querySelector('.compare-box'), words = section.querySelector('.compare-words');

  function el(name, attrs, text) {
    var node = document.createElementNS(SVG, name);
    Object.keys(attrs).forEach(function (key) { node.setAttribute(key, attrs[key]); });
    if (text !== undefined) node.textContent = text;
    return node;
  }
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

  // Where two runs part: the first moment that differs, and the moments only one has.
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
      loneA: ma.filter(function (m) { return !inB[key(m)]; }),
      loneB: mb.filter(function (m) { return !inA[key(m)]; })
    };
  }

  function drawRun(svg, run, y, X, lone, otherwise, width) {
    var names = data.rosters[run.r], group = el('g', {'data-run': run.n});
    group.appendChild(el('text', {x: 4, y: y + 15, 'class': 'title'}, 'run ' + run.n + ' \u00b7 ending ' + run.ending));
    y += TITLE;
    var barber = el('g', {'data-lane': 'barber'});
    barber.appendChild(el('rect', {'class': 'lane-bg', x: 0, y: y, width: width, height: LANE}));
    barber.appendChild(el('text', {x: 4, y: y + 13}, 'Barber'));
    run.barber.forEach(function (s) {
      barber.appendChild(el('rect', {'class': s.doing === 'cutting' ? 'cut' : 'asleep', x: X(s.from), y: y + 3,
        width: Math.max(X(s.to) - X(s.from), 1), height: LANE - 6}));
    });
    group.appendChild(barber);
    run.customers.forEach(function (c, who) {
      var top = y + (who + 1) * (LANE + GAP), lane = el('g', {'data-lane': 'customer', 'data-who': who});
      lane.appendChild(el('rect', {'class': otherwise[who] ? 'lane-bg differs' : 'lane-bg', x: 0, y: top, width: width, height: LANE}));
      lane.appendChild(el('text', {x: 4, y: top + 13}, (otherwise[who] ? '\u2260 ' : '') + names[who]));
      var until = c.cutStart >= 0 ? c.cutStart : (c.left >= 0 ? c.left : run.end);
      if (c.sat >= 0) lane.appendChild(el('rect', {'class': 'wait', x: X(c.sat), y: top + 5, width: Math.max(X(until) - X(c.sat), 1), height: LANE - 10}));
      if (c.cutStart >= 0) lane.appendChild(el('rect', {'class': 'cut', x: X(c.cutStart), y: top + 3, width: Math.max(X(c.cutFinish >= 0 ? c.cutFinish : run.end) - X(c.cutStart), 1), height: LANE - 6}));
      if (c.arrived >= 0) lane.appendChild(el('path', {'class': 'arrive', d: 'M' + (X(c.arrived) - 4) + ' ' + top + 'h8l-4 7z'}));
      if (c.away && c.left >= 0) lane.appendChild(el('path', {'class': 'away', d: 'M' + (X(c.left) - 5) + ' ' + (top + 4) + 'l10 10m0 -10l-10 10'}));
      group.appendChild(lane);
    });
    lone.forEach(function (m) {
      var top = y + (m[1] + 1) * (LANE + GAP) + LANE / 2, x = X(m[2]);
      group.appendChild(el('path', {'class': 'lone', d: 'M' + x + ' ' + (top - 7) + 'l7 7l-7 7l-7 -7z'}, ''));
    });
    svg.appendChild(group);
    return y + (run.customers.length + 1) * (LANE + GAP);
  }

  function draw() {
    var a = data.runs[+pickA.value], b = data.runs[+pickB.value];
    var width = Math.max(box.clientWidth, 560), end = Math.max(a.end, b.end, 1);
    var X = function (us) { return NAMES + us / end * (width - NAMES - RIGHT); };
    var diff = differences(a, b), otherwise = a.customers.map(function (c, who) { return !b.customers[who] || b.customers[who].outcome !== c.outcome; });
    var height = TITLE * 2 + BETWEEN + (a.customers.length + b.customers.length + 2) * (LANE + GAP) + 30;
    var svg = el('svg', {'class': 'compare', width: width, height: height, role: 'img',
      'aria-label': 'Run ' + a.n + ' above run ' + b.n + ' on one time axis'});
    var yA = 0, yB = drawRun(svg, a, yA, X, diff.loneA, otherwise, width) + BETWEEN;
    var bottom = drawRun(svg, b, yB, X, diff.loneB, otherwise, width);
    if (diff.part) {
      [[diff.part[0], yA], [diff.part[1], yB]].forEach(function (p) {
        if (!p[0]) return;
        var x = X(p[0][2]);
        svg.appendChild(el('line', {'class': 'part', x1: x, x2: x, y1: p[1] + TITLE, y2: p[1] + TITLE + (a.customers.length + 1) * (LANE + GAP)}));
      });
    }
    axis(svg, X, end, bottom + 4, width);
    box.replaceChildren(svg);
    words.textContent = describe(a, b, diff, otherwise);
  }

  function axis(svg, X, end, y, width) {
    var rough = end / 1000 / Math.max(3, Math.floor(width / 110));
    var power = Math.pow(10, Math.floor(Math.log10(rough)));
    var step = [1, 2, 5, 10].map(function (f) { return f * power; }).filter(function (s) { return s >= rough; })[0];
    svg.appendChild(el('line', {'class': 'axis', x1: X(0), x2: X(end), y1: y, y2: y}));
    for (var k = 0; k * step <= end / 1000 + 1e-9; k++) {
      var x = X(k * step * 1000);
      svg.appendChild(el('line', {'class': 'axis', x1: x, x2: x, y1: y, y2: y + 5}));
      svg.appendChild(el('text', {x: x, y: y + 18, 'text-anchor': 'middle'}, String(+(k * step).toFixed(3))));
    }
    svg.appendChild(el('text', {x: NAMES - 8, y: y + 18, 'text-anchor': 'end'}, 'ms'));
  }

  function momentWords(run, m) {
    return m ? data.rosters[run.r][m[1]] + ' ' + MOMENTS[m[0]] + ' at ' + ms(m[2]) : 'nothing more';
  }

  function describe(a, b, diff, otherwise) {
    if (!diff.part) return 'Runs ' + a.n + ' and ' + b.n + ' go through the same moments in the same order.';
    var text = 'They part here: in run ' + a.n + ' ' + momentWords(a, diff.part[0]) + ', in run ' +
      b.n + ' ' + momentWords(b, diff.part[1]) + '.';
    var who = otherwise.map(function (x, i) { return x ? data.rosters[a.r][i] : null; }).filter(Boolean);
    if (who.length) text += ' Ended otherwise (\u2260): ' + who.join(', ') + '.';
    return text;
  }

  data.runs.forEach(function (run, i) {
    [pickA, pickB].forEach(function (pick) {
      var option = document.createElement('option');
      option.value = i;
      option.textContent = run.n + ' (ending ' + run.ending + ')';
      pick.appendChild(option);
    });
  });
  // By default the first run against the first that ended otherwise, or else the next one.
  var other = data.runs.findIndex(function (run) { return run.ending !== data.runs[0].ending; });
  pickB.value = other >= 0 ? other : Math.min(1, data.runs.length - 1);
  pickA.addEventListener('change', draw);
  pickB.addEventListener('change', draw);
  window.addEventListener('resize', draw);
  controls.hidden = false;
  draw();
})();
