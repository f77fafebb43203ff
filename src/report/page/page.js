// The call report page: an overview of the whole trace (calls per interval
// by outcome), the chosen window's timeline (one row per call, one bar per
// state) and the table of calls. All three draw from the data element only
// what is visible, so a week of calls opens as fast as an hour. Every text
// from the trace reaches the page through textContent or the canvas, never
// as markup.
'use strict';
(() => {
  const D = JSON.parse(document.getElementById('data').textContent);
  const N = D.handle.length;
  const $ = (id) => document.getElementById(id);

  // ---- The calls, decoded from their columns.
  const start = new Float64Array(N);
  const stateFrom = new Int32Array(N + 1);
  for (let i = 0, t = D.t0; i < N; i++) {
    t += D.start[i];
    start[i] = t;
    stateFrom[i + 1] = stateFrom[i] + D.ns[i];
  }
  const end = (i) => start[i] + D.len[i];
  const stateLine = new Float64Array(D.sl.length);
  for (let k = 0, line = 0; k < D.sl.length; k++) {
    line += D.sl[k];
    stateLine[k] = line;
  }
  const t0 = D.t0;
  const t1 = Math.max(D.t1, D.t0 + 1000);
  let longest = 1000;
  for (let i = 0; i < N; i++) longest = Math.max(longest, D.len[i]);

  const pad = (n, w) => String(n).padStart(w || 2, '0');
  // "hh:mm:ss.zzz", with "+Nd " in front from the second day on.
  const timeText = (ms, withMs) => {
    ms = Math.round(ms);
    const day = Math.floor(ms / 86400000), r = ms - day * 86400000;
    return (day ? '+' + day + 'd ' : '') + pad(Math.floor(r / 3600000)) + ':' + pad(Math.floor(r / 60000) % 60) +
      ':' + pad(Math.floor(r / 1000) % 60) + (withMs === false ? '' : '.' + pad(r % 1000, 3));
  };
  // "1:02:03.004", "2:03.004" or "3.004".
  const durationText = (ms) => {
    const h = Math.floor(ms / 3600000), m = Math.floor(ms / 60000) % 60, s = Math.floor(ms / 1000) % 60;
    const tail = s + '.' + pad(ms % 1000, 3);
    return h ? h + ':' + pad(m) + ':' + pad(tail, 6) : m ? m + ':' + pad(tail, 6) : tail;
  };
  const callCount = (n) => n + (n === 1 ? ' call' : ' calls');
  const handleText = (i) => D.handle[i].toString(16).toUpperCase().padStart(8, '0');
  const text = (column, i) => D.text[D[column][i]];
  const outcomeName = (i) => D.outcomes[D.outcome[i]];
  const css = getComputedStyle(document.documentElement);
  const outcomeColour = (o) => css.getPropertyValue('--o' + (o % 8)).trim();

  // ---- State colours: told apart by lightness and pattern as well as hue,
  // so that they stay apart for the common forms of colour blindness.
  const stateStyles = {
    OFFERING: ['#e69f00'], ACCEPTED: ['#f0e442'], DIALTONE: ['#56b4e9'], DIALING: ['#0072b2'],
    PROCEEDING: ['#0072b2', 'stripes'], RINGBACK: ['#56b4e9', 'stripes'], CONNECTED: ['#009e73'],
    ONHOLD: ['#999933'], ONHOLDPENDCONF: ['#999933', 'stripes'], ONHOLDPENDTRANSFER: ['#999933', 'dots'],
    CONFERENCED: ['#332288'], BUSY: ['#d55e00'], SPECIALINFO: ['#d55e00', 'stripes'],
    DISCONNECTED: ['#bbbbbb'], UNKNOWN: ['#555555', 'dots'],
  };
  // Patterns belong to the context that made them: one set per canvas.
  const fillSets = new WeakMap();
  const stateFill = (ctx, name) => {
    if (!fillSets.has(ctx)) fillSets.set(ctx, new Map());
    const fills = fillSets.get(ctx);
    if (fills.has(name)) return fills.get(name);
    const [colour, pattern] = stateStyles[name] || ['#555555', 'dots'];
    let fill = colour;
    if (pattern) {
      const tile = document.createElement('canvas');
      tile.width = tile.height = 8;
      const g = tile.getContext('2d');
      g.fillStyle = colour;
      g.fillRect(0, 0, 8, 8);
      g.fillStyle = g.strokeStyle = '#ffffff';
      if (pattern === 'stripes') {
        g.lineWidth = 2;
        g.beginPath();
        g.moveTo(-2, 10); g.lineTo(10, -2); g.moveTo(6, 10); g.lineTo(10, 6); g.moveTo(-2, 2); g.lineTo(2, -2);
        g.stroke();
      } else {
        g.fillRect(1, 1, 3, 3);
        g.fillRect(5, 5, 3, 3);
      }
      fill = ctx.createPattern(tile, 'repeat');
    }
    fills.set(name, fill);
    return fill;
  };

  // ---- What is chosen: the window, the filter, the sort, the picked call.
  const view = { from: t0, to: t1, picked: -1, query: '', outcome: -1, inWindow: false, sort: 'start', up: true };
  const defaultSpan = () => Math.min(t1 - t0, 600000);
  const setWindow = (from, to) => {
    const span = Math.min(Math.max(to - from, 1000), t1 - t0);
    from = Math.max(t0, Math.min(from, t1 - span));
    view.from = from;
    view.to = from + span;
  };
  setWindow(t0, t0 + defaultSpan());

  // ---- The search: a number matches whatever its spaces, dashes and
  // brackets; a name matches in any case.
  const squeeze = (s) => s.replace(/[\s\-().\/]/g, '');
  const lowered = D.text.map((s) => s.toLowerCase());
  const squeezed = lowered.map(squeeze);
  const searched = ['caller', 'called', 'connected', 'earlier'];
  const passes = (i) => {
    if (view.outcome >= 0 && D.outcome[i] !== view.outcome) return false;
    if (view.inWindow && (end(i) < view.from || start[i] > view.to)) return false;
    if (!view.query) return true;
    const q = view.query.toLowerCase(), qs = squeeze(q);
    if (handleText(i).toLowerCase().includes(q)) return true;
    for (const column of searched) {
      const k = D[column][i];
      if (lowered[k].includes(q) || (qs && squeezed[k].includes(qs))) return true;
    }
    return false;
  };
  let passing = new Uint8Array(N);
  const refilter = () => {
    for (let i = 0; i < N; i++) passing[i] = passes(i) ? 1 : 0;
  };

  // ---- Canvas helpers.
  const fitCanvas = (canvas, height) => {
    const ratio = window.devicePixelRatio || 1, width = canvas.clientWidth;
    if (canvas.width !== Math.round(width * ratio) || canvas.height !== Math.round(height * ratio)) {
      canvas.width = Math.round(width * ratio);
      canvas.height = Math.round(height * ratio);
      canvas.style.height = height + 'px';
    }
    const ctx = canvas.getContext('2d');
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.clearRect(0, 0, width, height);
    ctx.font = '12px system-ui, sans-serif';
    ctx.textBaseline = 'middle';
    return [ctx, width];
  };
  // Text cut with an ellipsis to fit a width.
  const elide = (ctx, s, width) => {
    if (ctx.measureText(s).width <= width) return s;
    let lo = 0, hi = s.length;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (ctx.measureText(s.slice(0, mid) + '\u2026').width <= width) lo = mid; else hi = mid - 1;
    }
    return s.slice(0, lo) + '\u2026';
  };
  const steps = [1e3, 2e3, 5e3, 1e4, 15e3, 3e4, 6e4, 12e4, 3e5, 6e5, 9e5, 18e5, 36e5, 72e5, 108e5, 216e5, 432e5,
    864e5, 1728e5, 6048e5];
  const stepFor = (span, count) => steps.find((s) => span / s <= count) || steps[steps.length - 1];
  const stepText = (s) => s < 6e4 ? s / 1e3 + ' s' : s < 36e5 ? s / 6e4 + ' min' : s < 864e5 ? s / 36e5 + ' h' :
    s / 864e5 + ' d';
  // Time labels under (or over) a plot, each kept inside it.
  const drawAxis = (ctx, left, width, from, to, y) => {
    const span = to - from, step = stepFor(span, Math.max(2, Math.floor(width / 90)));
    const withSeconds = step < 6e4;
    ctx.fillStyle = '#57606a';
    ctx.strokeStyle = '#d0d7de';
    for (let t = Math.ceil(from / step) * step; t <= to; t += step) {
      const x = left + (t - from) / span * width;
      const label = timeText(t, false).slice(0, withSeconds ? undefined : -3);
      const w = ctx.measureText(label).width;
      ctx.fillText(label, Math.max(left, Math.min(x - w / 2, left + width - w)), y);
      ctx.beginPath();
      ctx.moveTo(Math.round(x) + 0.5, y + 7);
      ctx.lineTo(Math.round(x) + 0.5, y + 11);
      ctx.stroke();
    }
  };

  // ---- The overview: calls per interval, stacked by outcome.
  const overview = $('overview');
  const overviewHeight = 150, axisHeight = 18;
  let bucket = 6e4, buckets = null;
  const rebucket = () => {
    const width = Math.max(200, overview.clientWidth);
    bucket = stepFor(t1 - t0, width / 6);
    const count = Math.ceil((t1 - t0 + 1) / bucket), kinds = D.outcomes.length;
    buckets = new Uint32Array(count * kinds);
    for (let i = 0; i < N; i++) {
      if (passing[i]) buckets[Math.floor((start[i] - t0) / bucket) * kinds + D.outcome[i]]++;
    }
    $('bucket').textContent = stepText(bucket);
  };
  const drawOverview = () => {
    const [ctx, width] = fitCanvas(overview, overviewHeight);
    const kinds = D.outcomes.length, count = buckets.length / kinds, plot = overviewHeight - axisHeight - 4;
    let most = 1;
    for (let b = 0; b < count; b++) {
      let sum = 0;
      for (let o = 0; o < kinds; o++) sum += buckets[b * kinds + o];
      most = Math.max(most, sum);
    }
    const x = (t) => (t - t0) / (t1 - t0) * width;
    for (let b = 0; b < count; b++) {
      const left = x(t0 + b * bucket), w = Math.max(1, x(t0 + (b + 1) * bucket) - left - 1);
      let y = plot;
      for (let o = 0; o < kinds; o++) {
        const n = buckets[b * kinds + o];
        if (!n) continue;
        const h = Math.max(1, n / most * (plot - 14));
        ctx.fillStyle = outcomeColour(o);
        ctx.fillRect(left, y - h, w, h);
        y -= h;
      }
    }
    ctx.fillStyle = '#57606a';
    ctx.fillText(most + ' calls', 4, 9);
    drawAxis(ctx, 0, width, t0, t1, overviewHeight - axisHeight / 2);
    // The window: shaded, framed, and at least a few pixels wide with a mark
    // above it, so that an hour in a month can still be found.
    const a = Math.min(x(view.from), width - 4), b = Math.max(a + 4, x(view.to));
    ctx.fillStyle = 'rgba(9,105,218,0.15)';
    ctx.fillRect(a, 0, b - a, plot);
    ctx.strokeStyle = '#0969da';
    ctx.lineWidth = 2;
    ctx.strokeRect(a + 1, 1, b - a - 2, plot - 2);
    ctx.lineWidth = 1;
    const middle = Math.max(6, Math.min(width - 6, (a + b) / 2));
    ctx.fillStyle = '#0969da';
    ctx.beginPath();
    ctx.moveTo(middle - 6, 0);
    ctx.lineTo(middle + 6, 0);
    ctx.lineTo(middle, 8);
    ctx.fill();
    if (view.picked >= 0) {
      const p = Math.round(x(start[view.picked])) + 0.5;
      ctx.strokeStyle = '#1f2328';
      ctx.lineWidth = 2;
      ctx.beginPath();
      ctx.moveTo(p, 0);
      ctx.lineTo(p, plot);
      ctx.stroke();
      ctx.lineWidth = 1;
    }
  };
  let drag = null;
  const overviewTime = (e) => {
    const r = overview.getBoundingClientRect();
    return t0 + Math.max(0, Math.min(1, (e.clientX - r.left) / r.width)) * (t1 - t0);
  };
  overview.addEventListener('mousedown', (e) => { drag = { from: overviewTime(e), x: e.clientX }; e.preventDefault(); });
  window.addEventListener('mousemove', (e) => {
    if (!drag) return;
    const t = overviewTime(e);
    if (Math.abs(e.clientX - drag.x) > 3) {
      setWindow(Math.min(drag.from, t), Math.max(drag.from, t));
      drawOverview();
    }
  });
  window.addEventListener('mouseup', (e) => {
    if (!drag) return;
    const t = overviewTime(e);
    if (Math.abs(e.clientX - drag.x) <= 3) {
      const span = view.to - view.from >= t1 - t0 ? defaultSpan() : view.to - view.from;
      setWindow(t - span / 2, t + span / 2);
    } else {
      setWindow(Math.min(drag.from, t), Math.max(drag.from, t));
    }
    drag = null;
    windowChanged();
  });
  const move = (share) => {
    const span = view.to - view.from;
    setWindow(view.from + span * share, view.to + span * share);
    windowChanged();
  };
  const zoom = (factor) => {
    const middle = view.picked >= 0 && start[view.picked] >= view.from && start[view.picked] <= view.to
      ? start[view.picked] : (view.from + view.to) / 2;
    const span = (view.to - view.from) * factor;
    setWindow(middle - span / 2, middle + span / 2);
    windowChanged();
  };
  const whole = () => { setWindow(t0, t1); windowChanged(); };
  overview.addEventListener('keydown', (e) => {
    const keys = { ArrowLeft: () => move(-0.5), ArrowRight: () => move(0.5), '+': () => zoom(0.5), '=': () => zoom(0.5),
      '-': () => zoom(2), '0': whole, Home: () => move(-1e9), End: () => move(1e9) };
    if (keys[e.key]) { keys[e.key](); e.preventDefault(); }
  });
  $('earlier').onclick = () => move(-0.5);
  $('later').onclick = () => move(0.5);
  $('zoom-in').onclick = () => zoom(0.5);
  $('zoom-out').onclick = () => zoom(2);
  $('whole').onclick = whole;

  // ---- The window's timeline: one row per call that the window touches.
  const timeline = $('timeline'), timelineCanvas = $('timeline-canvas'), space = $('timeline-space');
  const rowHeight = 20, topAxis = 22, maxHeight = 480;
  let rows = [];
  const labelWidth = () => Math.min(300, Math.floor(timeline.clientWidth * 0.3));
  const labelText = (i) => timeText(start[i], false) + '  ' + handleText(i) + '  ' + text('caller', i) +
    (text('called', i) ? ' \u2192 ' + text('called', i) : '');
  const rerow = () => {
    rows = [];
    const from = view.from - longest;
    let lo = 0, hi = N;
    while (lo < hi) { const mid = (lo + hi) >> 1; if (start[mid] < from) lo = mid + 1; else hi = mid; }
    for (let i = sorted ? lo : 0; i < N; i++) {
      if (sorted && start[i] > view.to) break;
      if (passing[i] && end(i) >= view.from && start[i] <= view.to) rows.push(i);
    }
    const height = Math.min(maxHeight, topAxis + Math.max(1, rows.length) * rowHeight);
    timeline.style.height = height + 2 + 'px';
    space.style.height = Math.max(0, topAxis + rows.length * rowHeight - height) + 'px';
  };
  let sorted = true;
  for (let i = 1; i < N; i++) if (start[i] < start[i - 1]) { sorted = false; break; }
  const segmentsOf = (i, visit) => {
    for (let k = stateFrom[i]; k < stateFrom[i + 1]; k++) {
      const name = D.states[D.ss[k]];
      if (name === 'IDLE') continue;
      const a = start[i] + D.st[k], b = k + 1 < stateFrom[i + 1] ? start[i] + D.st[k + 1] : end(i);
      visit(k, name, a, b);
    }
  };
  const drawTimeline = () => {
    const height = parseFloat(timeline.style.height) - 2;
    const [ctx, width] = fitCanvas(timelineCanvas, height);
    const left = labelWidth() + 8, plot = width - left - 4, span = view.to - view.from;
    const x = (t) => left + (t - view.from) / span * plot;
    const first = Math.floor(timeline.scrollTop / rowHeight);
    const last = Math.min(rows.length, first + Math.ceil((height - topAxis) / rowHeight) + 1);
    const offset = topAxis - (timeline.scrollTop - first * rowHeight);
    ctx.save();
    ctx.beginPath();
    ctx.rect(0, topAxis, width, height - topAxis);
    ctx.clip();
    for (let r = first; r < last; r++) {
      const i = rows[r], y = offset + (r - first) * rowHeight;
      if (i === view.picked) {
        ctx.fillStyle = '#fff8c5';
        ctx.fillRect(0, y, width, rowHeight);
        ctx.fillStyle = '#ffd33d';
        ctx.fillRect(0, y, 4, rowHeight);
      } else if (r % 2) {
        ctx.fillStyle = '#f6f8fa';
        ctx.fillRect(0, y, width, rowHeight);
      }
      ctx.fillStyle = outcomeColour(D.outcome[i]);
      ctx.fillRect(6, y + 5, 4, rowHeight - 10);
      ctx.fillStyle = '#1f2328';
      ctx.fillText(elide(ctx, labelText(i), left - 22), 14, y + rowHeight / 2);
      segmentsOf(i, (k, name, a, b) => {
        if (b < view.from || a > view.to) return;
        const xa = x(Math.max(a, view.from)), xb = x(Math.min(b, view.to));
        ctx.fillStyle = stateFill(ctx, name);
        ctx.fillRect(xa, y + 3, Math.max(1, xb - xa), rowHeight - 6);
      });
      if (i === view.picked) {
        ctx.strokeStyle = '#1f2328';
        ctx.lineWidth = 2;
        ctx.strokeRect(Math.max(left, x(start[i])) - 1, y + 2, Math.max(2, x(end(i)) - x(start[i])) + 2,
          rowHeight - 4);
        ctx.lineWidth = 1;
      }
    }
    ctx.restore();
    if (!rows.length) {
      ctx.fillStyle = '#57606a';
      ctx.fillText('No call in this window' + (view.query || view.outcome >= 0 ? ' passes the filter' : ''),
        left, topAxis + rowHeight / 2);
    }
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, width, topAxis);
    drawAxis(ctx, left, plot, view.from, view.to, topAxis / 2 - 2);
    $('window-text').textContent = timeText(view.from) + ' \u2013 ' + timeText(view.to) + ', ' +
      durationText(Math.round(view.to - view.from)) + ': ' + callCount(rows.length);
  };
  timeline.addEventListener('scroll', () => requestAnimationFrame(drawTimeline));
  // Where the mouse is over the timeline: the call, and the state under it.
  const hit = (e) => {
    const r = timelineCanvas.getBoundingClientRect(), mx = e.clientX - r.left, my = e.clientY - r.top;
    if (my < topAxis) return null;
    const row = Math.floor((my - topAxis + timeline.scrollTop) / rowHeight);
    if (row < 0 || row >= rows.length) return null;
    const i = rows[row], left = labelWidth() + 8, plot = r.width - left - 4;
    const t = view.from + (mx - left) / plot * (view.to - view.from), slack = 3 / plot * (view.to - view.from);
    let state = -1;
    if (mx >= left) segmentsOf(i, (k, name, a, b) => { if (t >= a - slack && t <= b + slack) state = k; });
    return { i, row, state, label: mx < left };
  };
  const tip = $('tip');
  const stateText = (k) => {
    if (D.lines && D.lines[k]) return D.lines[k];
    const mode = D.modes[D.sm[k]];
    let i = 0, hi = N - 1;
    while (i < hi) { const mid = (i + hi + 1) >> 1; if (stateFrom[mid] <= k) i = mid; else hi = mid - 1; }
    return 'line ' + stateLine[k] + '  ' + timeText(start[i] + D.st[k]) + '  ' + handleText(i) + '  ' +
      D.states[D.ss[k]] + (mode ? ' (' + mode + ')' : '');
  };
  timelineCanvas.addEventListener('mousemove', (e) => {
    const h = hit(e);
    const s = !h ? '' : h.label ? labelText(h.i) + '  (' + outcomeName(h.i) + ')' : h.state >= 0 ? stateText(h.state) : '';
    tip.hidden = !s;
    if (s) {
      tip.textContent = s;
      tip.style.left = Math.min(e.clientX + 12, window.innerWidth - tip.offsetWidth - 8) + 'px';
      tip.style.top = e.clientY + 16 + 'px';
    }
  });
  timelineCanvas.addEventListener('mouseleave', () => { tip.hidden = true; });
  timelineCanvas.addEventListener('click', (e) => { const h = hit(e); if (h) pick(h.i, false); });
  timelineCanvas.addEventListener('dblclick', (e) => { const h = hit(e); if (h) pick(h.i, true); });
  const stepPick = (list, delta, e) => {
    if (!list.length) return;
    const at = list.indexOf(view.picked);
    const next = at < 0 ? (delta > 0 ? 0 : list.length - 1) : Math.max(0, Math.min(list.length - 1, at + delta));
    pick(list[next], false);
    e.preventDefault();
  };
  timeline.addEventListener('keydown', (e) => {
    if (e.key === 'ArrowDown') stepPick(rows, 1, e);
    else if (e.key === 'ArrowUp') stepPick(rows, -1, e);
    else if (e.key === 'Enter' && view.picked >= 0) pick(view.picked, true);
  });

  // ---- The legend: the states that occur.
  const legend = $('legend');
  for (const name of D.states) {
    if (name === 'IDLE') continue;
    const item = document.createElement('span'), swatch = document.createElement('canvas');
    swatch.width = 16;
    swatch.height = 10;
    const g = swatch.getContext('2d');
    g.fillStyle = stateFill(g, name);
    g.fillRect(0, 0, 16, 10);
    item.append(swatch, name);
    legend.append(item);
  }

  // ---- The table: only its visible rows exist.
  const columns = [
    ['handle', 'Handle', handleText, (i) => D.handle[i]],
    ['start', 'Start', (i) => timeText(start[i]), (i) => start[i]],
    ['duration', 'Duration', (i) => D.ended[i] ? durationText(D.len[i]) : '-', (i) => D.ended[i] ? D.len[i] : -1],
    ['outcome', 'Outcome', outcomeName, (i) => outcomeName(i)],
    ['caller', 'Caller', (i) => text('caller', i)],
    ['called', 'Called', (i) => text('called', i)],
    ['connected', 'Connected', (i) => text('connected', i)],
    ['final', 'Final state', (i) => D.final[i] >= 0 ? D.states[D.final[i]] : ''],
    // "EXTERNAL" for LINECALLORIGIN_EXTERNAL: the whole name is the cell's tooltip.
    ['origin', 'Origin', (i) => text('origin', i).replace(/^LINECALLORIGIN_/, ''), null, (i) => text('origin', i)],
    ['reason', 'Reason', (i) => text('reason', i).replace(/^LINECALLREASON_/, ''), null, (i) => text('reason', i)],
    ['earlier', 'Earlier identifiers', (i) => text('earlier', i)],
  ];
  const marked = new Set(['handle', 'caller', 'called', 'connected', 'earlier']);
  const wrap = $('table-wrap'), body = document.querySelector('#calls tbody');
  const headRow = document.querySelector('#calls thead tr');
  for (const [key, title] of columns) {
    const th = document.createElement('th'), button = document.createElement('button');
    th.dataset.key = key;
    button.textContent = title;
    button.title = 'Sort by ' + title.toLowerCase();
    button.onclick = () => {
      view.up = view.sort === key ? !view.up : true;
      view.sort = key;
      tableChanged(true);
    };
    th.append(button);
    headRow.append(th);
  }
  const outcomeSelect = $('outcome');
  D.outcomes.forEach((name, o) => outcomeSelect.add(new Option(name, String(o))));
  let order = new Int32Array(0);
  const reorder = () => {
    const list = [];
    for (let i = 0; i < N; i++) if (passing[i]) list.push(i);
    const column = columns.find((c) => c[0] === view.sort) || columns[1];
    const key = column[3] || column[2], dir = view.up ? 1 : -1;
    const keys = new Map();
    if (view.sort !== 'start') for (const i of list) keys.set(i, key(i));
    const value = view.sort === 'start' ? (i) => start[i] : (i) => keys.get(i);
    list.sort((a, b) => {
      const x = value(a), y = value(b);
      return (x < y ? -dir : x > y ? dir : 0) || start[a] - start[b] || a - b;
    });
    order = Int32Array.from(list);
    for (const th of headRow.children) {
      if (th.dataset.key === view.sort) th.setAttribute('aria-sort', view.up ? 'ascending' : 'descending');
      else th.removeAttribute('aria-sort');
    }
  };
  const tableRow = 23;
  // A cell's text, the search's match marked.
  const fill = (td, s, mark) => {
    const q = mark && view.query ? view.query.toLowerCase() : '';
    const at = q ? s.toLowerCase().indexOf(q) : -1;
    if (at < 0) {
      td.textContent = s;
      return;
    }
    const m = document.createElement('mark');
    m.textContent = s.slice(at, at + q.length);
    td.append(s.slice(0, at), m, s.slice(at + q.length));
  };
  const spacer = (height) => {
    const tr = document.createElement('tr'), td = document.createElement('td');
    tr.className = 'spacer';
    td.colSpan = columns.length;
    td.style.height = height + 'px';
    tr.append(td);
    return tr;
  };
  const drawTable = () => {
    const headHeight = headRow.offsetHeight || tableRow;
    const first = Math.max(0, Math.floor((wrap.scrollTop - headHeight) / tableRow) - 5);
    const last = Math.min(order.length, first + Math.ceil(Math.max(wrap.clientHeight, 480) / tableRow) + 10);
    const part = document.createDocumentFragment();
    part.append(spacer(first * tableRow));
    for (let r = first; r < last; r++) {
      const i = order[r], tr = document.createElement('tr');
      tr.className = i === view.picked ? 'call picked' : 'call';
      tr.dataset.i = i;
      for (const [key, , value, , whole] of columns) {
        const td = document.createElement('td'), s = value(i);
        if (key === 'handle') {
          const a = document.createElement('a');
          a.href = '#call=' + s + '&at=' + start[i];
          fill(a, s, true);
          td.append(a);
        } else {
          fill(td, s, marked.has(key));
          if (whole && whole(i) !== s) td.title = whole(i);
          else if (s.length > 12) td.title = s;
        }
        if (key === 'start' || key === 'duration') td.className = 'num';
        if (key === 'outcome') {
          td.className = 'o' + D.outcome[i];
          td.prepend(document.createElement('i'));
        }
        tr.append(td);
      }
      part.append(tr);
    }
    part.append(spacer((order.length - last) * tableRow));
    body.replaceChildren(part);
    $('table-text').textContent = order.length === N ? callCount(N) : order.length + ' of ' + callCount(N);
  };
  wrap.addEventListener('scroll', () => requestAnimationFrame(drawTable));
  body.addEventListener('click', (e) => {
    const tr = e.target.closest('tr.call');
    if (!tr) return;
    e.preventDefault();
    pick(+tr.dataset.i, true);
  });
  wrap.addEventListener('keydown', (e) => {
    if (e.key === 'ArrowDown') stepPick(order, 1, e);
    else if (e.key === 'ArrowUp') stepPick(order, -1, e);
    else if (e.key === 'PageDown') stepPick(order, 15, e);
    else if (e.key === 'PageUp') stepPick(order, -15, e);
    else if (e.key === 'Enter' && view.picked >= 0) pick(view.picked, true);
  });
  const scrollTableTo = (i) => {
    const r = order.indexOf(i);
    if (r < 0) return;
    const headHeight = headRow.offsetHeight || tableRow, y = headHeight + r * tableRow;
    if (y < wrap.scrollTop + headHeight) wrap.scrollTop = y - headHeight;
    else if (y + tableRow > wrap.scrollTop + wrap.clientHeight) wrap.scrollTop = y + tableRow - wrap.clientHeight;
  };

  // ---- The address keeps the view, so that a link names a window and a call:
  // #from=..&to=..&call=03010A76&at=<its start>&q=..&o=<outcome>.
  let applying = false;
  const writeAddress = () => {
    if (applying) return;
    const p = new URLSearchParams();
    p.set('from', Math.round(view.from));
    p.set('to', Math.round(view.to));
    if (view.picked >= 0) {
      p.set('call', handleText(view.picked));
      p.set('at', start[view.picked]);
    }
    if (view.query) p.set('q', view.query);
    if (view.outcome >= 0) p.set('o', D.outcomes[view.outcome]);
    try {
      history.replaceState(null, '', '#' + p.toString());
    } catch (e) {
      // A browser that refuses to change a file's address keeps the view without it.
    }
  };
  const readAddress = () => {
    const p = new URLSearchParams(location.hash.slice(1));
    applying = true;
    view.query = p.get('q') || '';
    $('search').value = view.query;
    view.outcome = p.has('o') ? D.outcomes.indexOf(p.get('o')) : -1;
    outcomeSelect.value = view.outcome >= 0 ? String(view.outcome) : '';
    refilter();
    if (p.has('from') && p.has('to') && +p.get('to') > +p.get('from')) setWindow(+p.get('from'), +p.get('to'));
    else if (p.has('w')) {
      // The links of earlier pages: w the window's width (0 the whole trace), p thousandths of the way.
      const span = +p.get('w') > 0 ? Math.min(+p.get('w'), t1 - t0) : t1 - t0;
      const from = t0 + (t1 - t0 - span) * Math.max(0, Math.min(1000, +p.get('p') || 0)) / 1000;
      setWindow(from, from + span);
    }
    view.picked = -1;
    const wanted = (p.get('call') || '').toUpperCase().replace(/^0X/, '').padStart(8, '0');
    if (p.has('call')) {
      const at = +p.get('at');
      for (let i = 0; i < N; i++) {
        if (handleText(i) === wanted && (view.picked < 0 || start[i] === at)) view.picked = i;
        if (view.picked === i && start[i] === at) break;
      }
    }
    applying = false;
    tableChanged(false);
    if (view.picked >= 0) pick(view.picked, !p.has('from'));
  };
  window.addEventListener('hashchange', readAddress);

  // ---- Picking a call: it is marked in the overview, the timeline and the table.
  const pick = (i, zoomTo) => {
    view.picked = i;
    if (zoomTo) {
      const margin = Math.max(D.len[i] * 0.25, 5000);
      setWindow(start[i] - margin, end(i) + margin);
    }
    if (end(i) < view.from || start[i] > view.to) {
      const span = view.to - view.from;
      setWindow(start[i] - span / 3, start[i] - span / 3 + span);
    }
    windowChanged();
    const r = rows.indexOf(i);
    if (r >= 0) {
      const y = r * rowHeight, visible = timeline.clientHeight - topAxis;
      if (y < timeline.scrollTop || y + rowHeight > timeline.scrollTop + visible) {
        timeline.scrollTop = Math.max(0, y - visible / 2);
      }
    }
    scrollTableTo(i);
    drawTimeline();
    drawTable();
  };
  const windowChanged = () => {
    if (view.inWindow) {
      refilter();
      rebucket();
      reorder();
    }
    rerow();
    drawOverview();
    drawTimeline();
    drawTable();
    writeAddress();
  };
  function tableChanged(keepPick) {
    rebucket();
    reorder();
    if (!keepPick && view.picked >= 0 && !passing[view.picked]) view.picked = -1;
    wrap.scrollTop = 0;
    windowChanged();
  }
  const filterChanged = () => {
    refilter();
    tableChanged(false);
  };
  let typing = 0;
  $('search').addEventListener('input', (e) => {
    clearTimeout(typing);
    typing = setTimeout(() => { view.query = e.target.value.trim(); filterChanged(); }, N > 20000 ? 200 : 0);
  });
  outcomeSelect.addEventListener('change', () => { view.outcome = outcomeSelect.value === '' ? -1 : +outcomeSelect.value; filterChanged(); });
  $('in-window').addEventListener('change', (e) => { view.inWindow = e.target.checked; filterChanged(); });
  document.querySelectorAll('a.call-link').forEach((a) => a.addEventListener('click', (e) => {
    e.preventDefault();
    history.replaceState(null, '', a.getAttribute('href'));
    readAddress();
  }));
  let resizing = 0;
  window.addEventListener('resize', () => {
    cancelAnimationFrame(resizing);
    resizing = requestAnimationFrame(() => { rebucket(); windowChanged(); });
  });

  refilter();
  rebucket();
  readAddress();
  document.body.dataset.ready = 'true';
})();
