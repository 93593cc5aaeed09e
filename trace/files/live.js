// The live page's shell. It follows a barbershop-trace session over its event stream (hello,
// runs, page, choice) and frames the newest run's own page, drawn again as the run goes on. The
// next drawing loads in a hidden frame and takes the shown one's place once loaded, so the
// picture never flashes; a finished run opens from run/N. With a key that may drive, it answers
// a stepped run's questions (POST drive). It shows the session's challenge, a start view of every
// challenge, and has a projector mode (?present, or the key p) for a 1280x720 screen. Every
// request is relative to its own address and carries the key that address holds.
(function () {
  'use strict';
  var doc = document, root = doc.documentElement;
  var key = new URLSearchParams(location.search).get('k') || '';
  var withKey = '?k=' + encodeURIComponent(key);
  function $(selector) { return doc.querySelector(selector); }
  var statusNode = $('#status'), list = $('#runs .list'), followButton = $('[data-act=follow]');
  var viewer = $('#viewer'), start = $('#start'), challengeNode = $('#challenge'), drive = $('#drive');

  // What the stream has said, as it last said it.
  var session = {hello: null, runs: [], tries: 0, hintAfter: Infinity, ended: false, lost: false,
    choice: null, waiting: false, refused: ''};
  // The viewer: following the newest run's drawings, or showing finished run `shown`. `newest`
  // is the newest page event; `given` names the last drawing handed to a frame.
  var view = {following: true, shown: 0, newest: null, current: null, next: null, queued: null,
    given: '', startOpen: false, presenting: false};

  function el(tag, cls, text) {
    var node = doc.createElement(tag);
    if (cls) node.className = cls;
    if (text !== undefined) node.textContent = text;
    return node;
  }
  function newestRow() { return session.runs[session.runs.length - 1] || null; }
  function rowOf(n) {
    for (var i = 0; i < session.runs.length; i++) if (session.runs[i].n === n) return session.runs[i];
    return null;
  }
  function playerOf(frame) {
    try { return (frame && frame.contentWindow && frame.contentWindow.barbershopPlayer) || null; } catch (e) { return null; }
  }

  // ---- The viewer ----
  // Loads `source` ({n, html} or {n, src}; `follow` when it is the newest drawing) into a hidden
  // frame. A drawing that comes while another loads waits for it; only the newest waits.
  function load(source) {
    view.given = source.given;
    if (view.next) { view.queued = source; return; }
    var frame = el('iframe', 'next');
    frame.title = 'run ' + source.n;
    frame.dataset.n = source.n;
    view.next = frame;
    frame.addEventListener('load', function () { swap(frame, source); });
    if (source.html !== undefined) frame.srcdoc = source.html; else frame.src = source.src;
    viewer.appendChild(frame);
  }

  // The loaded frame takes the shown one's place: in projector mode, fitted; following, on its
  // newest moment; the same run's zoom kept when the reader changed it.
  function swap(frame, source) {
    var old = view.current, player = playerOf(frame);
    view.next = null;
    if (player) {
      if (view.presenting) player.present(true);
      fit(frame);
      if (source.follow) player.end();
      // As it opened, before any zoom is carried over: a zoom is carried on while it differs.
      frame.dataset.span = JSON.stringify(player.view());
      var zoom = old && old.dataset.n === frame.dataset.n ? zoomedSpan(old) : null;
      if (zoom) player.view(zoom);
    }
    frame.className = 'current';
    if (old) old.remove();
    view.current = frame;
    frame.contentWindow.addEventListener('keydown', onKey);
    if (view.queued) {
      var next = view.queued;
      view.queued = null;
      load(next);
    }
  }

  // The span a reader zoomed or panned the frame's lanes to, or null when it is as it opened.
  function zoomedSpan(frame) {
    var player = playerOf(frame), opened = frame.dataset.span ? JSON.parse(frame.dataset.span) : null;
    if (!player || !opened) return null;
    var now = player.view();
    return Math.abs(now.from - opened.from) + Math.abs(now.to - opened.to) > 1e-6 ? now : null;
  }

  // In projector mode a run page taller than the viewer is shown whole and smaller: the frame is
  // laid out larger by as much and scaled down, so its shop and lanes need no scrolling.
  function fit(frame) {
    if (!frame) return;
    var w = viewer.clientWidth, h = viewer.clientHeight, scale = 1, inner = null;
    frame.style.transform = '';
    frame.style.width = w + 'px';
    frame.style.height = h + 'px';
    try { inner = frame.contentDocument; } catch (e) { inner = null; }
    if (view.presenting && inner && inner.documentElement && h > 0) {
      scale = Math.max(Math.min(1, h / inner.documentElement.scrollHeight), 0.5);
    }
    if (scale >= 1) return;
    frame.style.width = w / scale + 'px';
    frame.style.height = h / scale + 'px';
    frame.style.transform = 'scale(' + scale + ')';
  }

  function follow() {
    view.following = true;
    if (view.newest) showNewest();
    showRuns();
  }
  function showNewest() {
    var page = view.newest, given = 'page ' + page.n + ' ' + page.seq;
    if (given !== view.given) load({n: page.n, html: page.html, follow: true, given: given});
  }
  // A finished run: its page from the server, or the newest drawing when that is its last.
  function showRun(n) {
    view.following = false;
    view.shown = n;
    var page = view.newest;
    if (page && page.n === n && page.done) load({n: n, html: page.html, given: 'run ' + n});
    else load({n: n, src: 'run/' + n + withKey, given: 'run ' + n});
    showRuns();
  }

  function showStart(open) {
    view.startOpen = open;
    start.hidden = !open && view.newest !== null;
    start.querySelector('[data-act=close]').hidden = view.newest === null;
    $('[data-act=challenges]').setAttribute('aria-pressed', String(!start.hidden));
  }

  // ---- The bar ----
  function showRuns() {
    session.runs.forEach(function (row, i) {
      var a = list.children[i];
      if (!a) {
        a = list.appendChild(el('a'));
        a.dataset.n = row.n;
        a.href = 'run/' + row.n + withKey;
        a.textContent = row.n;
      }
      a.className = !row.done ? 'going' : row.headline === 'every rule holds' ? 'holds' : 'broken';
      if (row.met) a.className += ' met';
      a.title = 'run ' + row.n + ': ' + row.headline + (row.met ? '; the goal is met' : '');
      a.setAttribute('aria-current', String(row.n === shownRun()));
    });
    var newest = newestRow();
    followButton.hidden = view.following || !newest || newest.n === view.shown;
    if (view.following) list.scrollLeft = list.scrollWidth;
    showStatus();
  }
  function shownRun() {
    var newest = newestRow();
    return view.following ? (newest ? newest.n : 0) : view.shown;
  }

  function showStatus() {
    var row = rowOf(shownRun()), parts = [];
    if (row) parts.push('run ' + row.n + ' \u00b7 ' + row.headline);
    if (session.ended) parts.push('the session has ended');
    else if (session.lost) parts.push('the stream was lost; trying again\u2026');
    if (!parts.length) parts.push(session.hello ? 'waiting for the first run\u2026' : 'connecting to the session\u2026');
    statusNode.textContent = parts.join(' \u00b7 ');
    statusNode.dataset.run = row ? row.n : '';
    statusNode.dataset.done = row ? String(row.done) : '';
    doc.body.classList.toggle('live', !!session.hello && !session.lost && !session.ended);
    doc.body.classList.toggle('lost', session.lost && !session.ended);
  }

  // ---- The challenge and the start view ----
  function showChallenge() {
    var goal = session.hello && session.hello.challenge, newest = newestRow();
    challengeNode.hidden = !goal;
    if (!goal) return;
    var met = !!(newest && newest.met === true);
    challengeNode.dataset.met = String(met);
    challengeNode.textContent = '';
    var line = challengeNode.appendChild(el('p'));
    line.appendChild(el('strong', '', 'Goal: '));
    line.appendChild(doc.createTextNode(goal.goal));
    line.appendChild(el('span', 'state', met ? 'met \u2713' : session.hello.correctShop ? '' : 'not met yet'));
    if (session.tries > 0) line.appendChild(el('span', 'tries', ' \u00b7 ' + session.tries + (session.tries === 1 ? ' try' : ' tries') + ' before this'));
    if (session.hello.correctShop) {
      challengeNode.appendChild(el('p', 'correct', 'this is the correct shop: no order of moves breaks it'));
    } else if (!met && session.tries >= session.hintAfter) {
      challengeNode.appendChild(el('p', 'hint', 'Hint: ' + goal.hint));
    }
  }

  function showChallenges() {
    var items = start.querySelector('.challenges'), own = session.hello.challenge;
    items.textContent = '';
    (session.hello.challenges || []).forEach(function (c) {
      var li = items.appendChild(el('li', own && own.variant === c.variant ? 'this' : ''));
      li.appendChild(el('h2', '', c.goal));
      li.appendChild(el('p', '', 'the ' + c.variant + ' shop, scenario ' + c.scenario));
      [['on that shop: ', c.variantCommand], ['on the correct shop: ', c.correctCommand]].forEach(function (pair) {
        var p = li.appendChild(el('p', '', pair[0]));
        p.appendChild(el('code', '', pair[1]));
      });
    });
  }

  // ---- Driving ----
  function showDrive() {
    var c = session.choice;
    drive.hidden = !(session.hello && session.hello.drive && c) || session.ended;
    if (drive.hidden) return;
    var asked = c.k !== null && c.k !== undefined, busy = session.waiting;
    drive.classList.toggle('waiting', busy);
    drive.dataset.k = asked ? c.k : '';
    drive.textContent = '';
    drive.appendChild(el('h2', '', asked ? c.question : c.over ? 'the run is over' : 'the run goes on'));
    if (asked) drive.appendChild(el('p', 'at', 'run ' + c.n + ' \u00b7 choice ' + c.k + ' \u00b7 at ' + c.at));
    (asked ? c.threads : []).forEach(function (t) {
      var b = drive.appendChild(el('button', t.plain ? 'plain' : ''));
      b.type = 'button';
      b.dataset.tid = t.tid;
      b.disabled = busy || !t.canGo;
      b.appendChild(el('span', 'words', t.words));
      if (!t.canGo) b.appendChild(el('span', 'why', t.why ? 'cannot go: ' + t.why : 'cannot go now'));
      if (t.plain) b.appendChild(el('span', 'tag', 'the plain order\u2019s pick (Enter)'));
    });
    var acts = drive.appendChild(el('p', 'acts'));
    [['plain', 'plain order', asked], ['next', 'to the next line (n)', asked],
      ['back', 'back (b)', asked || c.over], ['again', 'again', c.over]].forEach(function (a) {
      var b = acts.appendChild(el('button', '', a[1]));
      b.type = 'button';
      b.dataset.act = a[0];
      b.disabled = busy || !a[2];
      b.hidden = a[0] === 'again' ? !c.over : (a[0] === 'plain' || a[0] === 'next') && c.over;
    });
    var note = busy ? 'sent; waiting for the run\u2026' : session.refused ||
      (asked ? '' : c.over ? 'Take the last move back, or run it again from the start.' : 'waiting for the next question\u2026');
    drive.appendChild(el('p', 'note', note)).setAttribute('role', 'status');
  }

  // Sends one answer. Until the next question the panel waits; a 409 (answered already, or
  // nothing to answer now) waits too, for a little while, then shows the question again.
  function send(body) {
    var asked = session.choice;
    session.waiting = true;
    session.refused = '';
    showDrive();
    function settle(why) {
      if (session.choice !== asked || !session.waiting) return;
      session.waiting = false;
      session.refused = why;
      showDrive();
    }
    fetch('drive' + withKey, {method: 'POST', body: body,
      headers: {'Content-Type': 'application/x-www-form-urlencoded'}}).then(function (answer) {
      if (answer.status === 409) setTimeout(function () { settle(''); }, 2000);
      else if (answer.status !== 204) settle('not taken (' + answer.status + ')');
    }, function () { settle('not sent: the server cannot be reached'); });
  }

  function act(name, tid) {
    var c = session.choice;
    if (!c || session.waiting) return;
    if (name === 'pick') send('act=pick&choice=' + c.k + '&tid=' + tid);
    else if ((name === 'plain' || name === 'next') && c.k !== null) send('act=' + name + '&choice=' + c.k);
    else if (name === 'back' || (name === 'again' && c.over)) send('act=' + name);
  }

  // ---- Projector mode and the keys ----
  function present(on) {
    view.presenting = on;
    root.classList.toggle('present', on);
    $('[data-act=present]').setAttribute('aria-pressed', String(on));
    var player = playerOf(view.current);
    if (player) player.present(on);
    fit(view.current);
  }

  function onKey(e) {
    var tag = e.target.tagName || '';
    if (e.ctrlKey || e.metaKey || e.altKey || /^(INPUT|SELECT|TEXTAREA)$/.test(tag)) return;
    var canDrive = session.hello && session.hello.drive && !drive.hidden;
    if (e.key === 'p') present(!view.presenting);
    else if (e.key === 'Enter' && canDrive && tag !== 'BUTTON' && tag !== 'A') act('plain');
    else if (e.key === 'b' && canDrive) act('back');
    else if (e.key === 'n' && canDrive) act('next');
    else return;
    e.preventDefault();
  }

  // ---- The stream ----
  var handlers = {
    hello: function (h) {
      session.hello = h;
      showChallenges();
      showChallenge();
      showDrive();
      showStatus();
    },
    runs: function (r) {
      session.runs = r.runs;
      session.tries = r.tries;
      session.hintAfter = r.hintAfter;
      session.ended = r.ended;
      showRuns();
      showChallenge();
      showDrive();
    },
    page: function (page) {
      view.newest = page;
      if (view.following) showNewest();
      if (!view.startOpen) showStart(false);
    },
    choice: function (c) {
      session.choice = c;
      session.waiting = false;
      session.refused = '';
      showDrive();
    }
  };

  function connect() {
    var stream = new EventSource('events' + withKey);
    Object.keys(handlers).forEach(function (name) {
      stream.addEventListener(name, function (e) { handlers[name](JSON.parse(e.data)); });
    });
    stream.onopen = function () { session.lost = false; showStatus(); };
    // EventSource connects again by itself, and is sent the catch-up; one the server refused
    // (too many pages open) is tried again a little later. An ended session sends nothing more.
    stream.onerror = function () {
      if (session.ended) stream.close();
      else if (stream.readyState === EventSource.CLOSED) setTimeout(connect, 5000);
      session.lost = true;
      showStatus();
    };
  }

  doc.addEventListener('keydown', onKey);
  $('#bar').addEventListener('click', function (e) {
    var run = e.target.closest('#runs a[data-n]'), button = e.target.closest('button[data-act]');
    if (run) {
      e.preventDefault();
      var n = +run.dataset.n, newest = newestRow();
      if (newest && newest.n === n) follow(); else showRun(n);
    } else if (button && button.dataset.act === 'follow') follow();
    else if (button && button.dataset.act === 'challenges') showStart(start.hidden);
    else if (button && button.dataset.act === 'present') present(!view.presenting);
  });
  start.addEventListener('click', function (e) {
    if (e.target.closest('[data-act=close]')) showStart(false);
  });
  drive.addEventListener('click', function (e) {
    var b = e.target.closest('button');
    if (b && b.dataset.tid !== undefined) act('pick', b.dataset.tid);
    else if (b) act(b.dataset.act);
  });
  if (window.ResizeObserver) new ResizeObserver(function () { fit(view.current); }).observe(viewer);
  start.hidden = false;
  present(/[?&]present(&|=|$)/.test(location.search));
  connect();
})();
