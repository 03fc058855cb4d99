// The room remote's page. It draws what the program sends (levels, modes,
// each EQ's bands and its curve from the program's own EQ model) and sends
// the user's edits back as JSON messages over one WebSocket at /ws.
"use strict";

(function () {
  const TEXTS = {
    zh: {
      title: "DSP-V36 遥控网页",
      code: "输入电脑上显示的六位配对码",
      pair: "配对",
      modes: "记忆模式",
      levels: "音量",
      eq: "均衡",
      freq: "频率",
      gain: "增益",
      bypassed: "此均衡已旁路",
      band: "第{n}段",
      wrongCode: "配对码错误",
      lockedOut: "错误次数过多，请一分钟后再试",
      disconnected: "电脑已断开本机",
      stopped: "电脑已停止遥控网页",
      tooMany: "连接的手机过多",
      lost: "连接中断，正在重连……",
      recall: "载入模式{n}？当前参数将被替换。",
      muted: "静音",
      unmuted: "关",
      types: ["关闭", "参量", "低通", "高通", "低架", "高架"],
    },
    en: {
      title: "DSP-V36 Room remote",
      code: "Enter the six-digit pairing code shown on the computer",
      pair: "Pair",
      modes: "Memory modes",
      levels: "Levels",
      eq: "EQ",
      freq: "Freq",
      gain: "Gain",
      bypassed: "This EQ is bypassed",
      band: "Band {n}",
      wrongCode: "Wrong pairing code",
      lockedOut: "Too many wrong codes: try again in a minute",
      disconnected: "The computer disconnected this phone",
      stopped: "The computer stopped the room remote",
      tooMany: "Too many phones are connected",
      lost: "Connection lost, reconnecting…",
      recall: "Recall mode {n}? The current settings will be replaced.",
      muted: "Muted",
      unmuted: "Off",
      types: ["OFF", "PEQ", "LP", "HP", "LS", "HS"],
    },
  };
  const CURVE_MIN_HZ = 18;
  const CURVE_MAX_HZ = 23000;
  const PLOT_DB = 15;
  const SEND_INTERVAL_MS = 40;

  const $ = (id) => document.getElementById(id);
  const state = {
    lang: (navigator.language || "").toLowerCase().startsWith("zh") ? "zh" : "en",
    socket: null,
    code: sessionStorage.getItem("v36.code") || "",
    paired: false,
    controls: [],
    values: {},
    eqs: [],
    freqs: [],
    mode: 0,
    eq: Number(sessionStorage.getItem("v36.eq") || 0),
    bands: [],
    curve: [],
    bypass: false,
    band: 0,
    drag: null,        // {band, pointer} while a finger moves a band
    holding: null,     // the control name a finger is on
    retry: null,
  };
  if (localStorage.getItem("v36.lang")) state.lang = localStorage.getItem("v36.lang");

  function t(key, n) {
    const s = TEXTS[state.lang][key];
    return n === undefined ? s : s.replace("{n}", n);
  }

  // ---- Connection --------------------------------------------------------

  function setStatus(s) { $("status").dataset.state = s; }

  function send(message) {
    if (state.socket && state.socket.readyState === WebSocket.OPEN) {
      state.socket.send(JSON.stringify(message));
    }
  }

  function connect() {
    if (!/^[0-9]{6}$/.test(state.code)) return;
    clearTimeout(state.retry);
    const url = (location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws";
    const socket = new WebSocket(url);
    state.socket = socket;
    setStatus("wait");
    socket.onopen = () => send({ pair: state.code });
    socket.onmessage = (e) => {
      let m;
      try { m = JSON.parse(e.data); } catch (err) { return; }
      receive(m);
    };
    socket.onclose = (e) => {
      if (state.socket !== socket) return;
      state.socket = null;
      state.paired = false;
      setStatus("off");
      const reasons = { 4001: "wrongCode", 4003: "lockedOut", 4000: "disconnected",
        1001: "stopped", 4004: "tooMany" };
      const reason = reasons[e.code];
      if (reason) {
        // The old code is void: the box starts empty for the next one.
        state.code = "";
        sessionStorage.removeItem("v36.code");
        $("code").value = "";
        showPairing(t(reason));
        return;
      }
      toast(t("lost"));
      state.retry = setTimeout(connect, 2000);
    };
  }

  function receive(m) {
    if (m.paired) {
      state.paired = true;
      sessionStorage.setItem("v36.code", state.code);
      setStatus("on");
      $("pair").hidden = true;
      $("remote").hidden = false;
      return;
    }
    if (m.state) {
      state.controls = m.state.controls;
      state.eqs = m.state.eqs;
      state.freqs = m.state.freqs;
      state.mode = m.state.mode;
      for (const c of state.controls) state.values[c.name] = c.value;
      buildControls();
      buildModes();
      buildEqList();
      send({ eq: state.eq });
      return;
    }
    if (m.error !== undefined) {
      toast(m.error);
      return;
    }
    if (m.name !== undefined) {
      state.values[m.name] = m.value;
      if (state.holding !== m.name) showControl(m.name);
      return;
    }
    if (m.mode === "current") {
      state.mode = m.index;
      showModes();
      return;
    }
    if (m.eq !== undefined && m.bands) {
      if (m.eq !== state.eq) return;
      const dragged = state.drag ? state.bands[state.drag.band] : null;
      state.bands = m.bands;
      // The finger's band stays where the finger is until it lifts.
      if (dragged && state.drag.band < state.bands.length) {
        const b = state.bands[state.drag.band];
        b.freq = dragged.freq;
        b.gain = dragged.gain;
      }
      state.curve = m.curve;
      state.bypass = m.bypass;
      if (state.band >= state.bands.length) state.band = 0;
      drawCurve();
      showBand();
    }
  }

  function showPairing(message) {
    $("remote").hidden = true;
    $("pair").hidden = false;
    $("pairMessage").textContent = message || "";
  }

  function pair() {
    const code = $("code").value.replace(/\D/g, "");
    if (code.length !== 6) {
      $("pairMessage").textContent = t("wrongCode");
      return;
    }
    state.code = code;
    $("pairMessage").textContent = "";
    if (state.socket) state.socket.close();
    connect();
  }

  // Sends the newest of a burst of messages at most every SEND_INTERVAL_MS;
  // the last one of a gesture goes at once, marked as its end.
  const pending = new Map();
  function sendThrottled(key, message, end) {
    let p = pending.get(key);
    if (!p) {
      p = { last: 0, timer: null, message: null };
      pending.set(key, p);
    }
    p.message = message;
    const flush = () => {
      clearTimeout(p.timer);
      p.timer = null;
      p.last = performance.now();
      if (p.message) send(p.message);
      p.message = null;
    };
    if (end) {
      message.end = true;
      flush();
      return;
    }
    const wait = SEND_INTERVAL_MS - (performance.now() - p.last);
    if (wait <= 0) flush();
    else if (!p.timer) p.timer = setTimeout(flush, wait);
  }

  // ---- Levels and modes ------------------------------------------------

  function controlLabel(c) { return state.lang === "zh" ? c.zh : c.en; }

  function buildControls() {
    const box = $("controls");
    box.textContent = "";
    for (const c of state.controls) {
      const row = document.createElement("div");
      row.className = "control" + (c.toggle ? " toggle" : "");
      row.dataset.name = c.name;
      const name = document.createElement("span");
      name.className = "name";
      row.appendChild(name);
      if (c.toggle) {
        const b = document.createElement("button");
        b.type = "button";
        b.addEventListener("click", () => {
          const v = state.values[c.name] ? 0 : 1;
          state.values[c.name] = v;
          showControl(c.name);
          send({ set: c.name, value: v, end: true });
        });
        row.appendChild(b);
      } else {
        const out = document.createElement("output");
        row.appendChild(out);
        const r = document.createElement("input");
        r.type = "range";
        r.min = c.min;
        r.max = c.max;
        r.step = 1;
        r.setAttribute("aria-label", c.en);
        const move = (end) => {
          state.values[c.name] = Number(r.value);
          out.textContent = r.value;
          sendThrottled(c.name, { set: c.name, value: Number(r.value) }, end);
        };
        r.addEventListener("pointerdown", () => { state.holding = c.name; });
        r.addEventListener("input", () => { state.holding = c.name; move(false); });
        r.addEventListener("change", () => { move(true); state.holding = null; showControl(c.name); });
        row.appendChild(r);
      }
      box.appendChild(row);
      showControl(c.name);
    }
    relabelControls();
  }

  function relabelControls() {
    for (const c of state.controls) {
      const row = document.querySelector('.control[data-name="' + c.name + '"]');
      if (row) row.querySelector(".name").textContent = controlLabel(c);
      showControl(c.name);
    }
  }

  function showControl(name) {
    const row = document.querySelector('.control[data-name="' + CSS.escape(name) + '"]');
    if (!row) return;
    const v = state.values[name];
    const b = row.querySelector("button");
    if (b) {
      b.setAttribute("aria-pressed", v ? "true" : "false");
      b.textContent = v ? t("muted") : t("unmuted");
      return;
    }
    row.querySelector("input").value = v;
    row.querySelector("output").textContent = v;
  }

  function buildModes() {
    const box = $("modes");
    box.textContent = "";
    for (let i = 1; i <= 4; ++i) {
      const b = document.createElement("button");
      b.type = "button";
      b.textContent = "M" + i;
      b.dataset.index = i;
      b.addEventListener("click", () => {
        if (window.confirm(t("recall", i))) send({ mode: "recall", index: i });
      });
      box.appendChild(b);
    }
    showModes();
  }

  function showModes() {
    for (const b of $("modes").children) {
      b.setAttribute("aria-pressed", Number(b.dataset.index) === state.mode ? "true" : "false");
    }
  }

  // ---- EQ --------------------------------------------------------------------

  function buildEqList() {
    const s = $("eqSelect");
    s.textContent = "";
    for (const e of state.eqs) {
      const o = document.createElement("option");
      o.value = e.eq;
      o.textContent = state.lang === "zh" ? e.zh : e.en;
      s.appendChild(o);
    }
    if (!state.eqs.some((e) => e.eq === state.eq)) state.eq = 0;
    s.value = state.eq;
  }

  function plot() {
    const c = $("curve");
    const width = c.clientWidth;
    const height = Math.round(Math.min(width * 0.62, 300));
    const ratio = window.devicePixelRatio || 1;
    if (c.width !== Math.round(width * ratio) || c.height !== Math.round(height * ratio)) {
      c.width = Math.round(width * ratio);
      c.height = Math.round(height * ratio);
      c.style.height = height + "px";
    }
    return { c, width, height, ratio, left: 30, right: width - 8, top: 10, bottom: height - 20 };
  }

  function xOf(p, f) {
    const span = Math.log(CURVE_MAX_HZ / CURVE_MIN_HZ);
    return p.left + (p.right - p.left) * Math.log(f / CURVE_MIN_HZ) / span;
  }
  function fOf(p, x) {
    const span = Math.log(CURVE_MAX_HZ / CURVE_MIN_HZ);
    return CURVE_MIN_HZ * Math.exp(span * (x - p.left) / (p.right - p.left));
  }
  function yOf(p, db) {
    const d = Math.max(-PLOT_DB - 3, Math.min(PLOT_DB + 3, db));
    return p.top + (p.bottom - p.top) * (PLOT_DB - d) / (2 * PLOT_DB);
  }
  function dbOf(p, y) {
    return PLOT_DB - 2 * PLOT_DB * (y - p.top) / (p.bottom - p.top);
  }

  function drawCurve() {
    const p = plot();
    const g = p.c.getContext("2d");
    g.setTransform(p.ratio, 0, 0, p.ratio, 0, 0);
    g.clearRect(0, 0, p.width, p.height);
    g.font = "11px system-ui, sans-serif";
    g.lineWidth = 1;
    // Grid: decades and dB lines.
    g.strokeStyle = "rgba(255,255,255,0.12)";
    g.fillStyle = "rgba(255,255,255,0.55)";
    for (const f of [20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000]) {
      const x = Math.round(xOf(p, f)) + 0.5;
      g.beginPath(); g.moveTo(x, p.top); g.lineTo(x, p.bottom); g.stroke();
      if ([100, 1000, 10000].includes(f)) {
        g.textAlign = "center";
        g.fillText(f >= 1000 ? f / 1000 + "k" : String(f), x, p.height - 5);
      }
    }
    g.textAlign = "right";
    for (const db of [-15, -10, -5, 0, 5, 10, 15]) {
      const y = Math.round(yOf(p, db)) + 0.5;
      g.strokeStyle = db === 0 ? "rgba(255,255,255,0.35)" : "rgba(255,255,255,0.12)";
      g.beginPath(); g.moveTo(p.left, y); g.lineTo(p.right, y); g.stroke();
      if (db % 10 === 0 || db === 15 || db === -15) g.fillText(String(db), p.left - 4, y + 4);
    }
    // The curve as sent.
    if (state.curve.length === state.freqs.length && state.curve.length > 0) {
      g.save();
      g.beginPath(); g.rect(p.left, p.top - 4, p.right - p.left, p.bottom - p.top + 8); g.clip();
      g.strokeStyle = state.bypass ? "#8a9aa6" : "#4fc3f7";
      g.lineWidth = 2;
      g.beginPath();
      state.curve.forEach((db, i) => {
        const x = xOf(p, state.freqs[i]);
        const y = yOf(p, db);
        if (i === 0) g.moveTo(x, y); else g.lineTo(x, y);
      });
      g.stroke();
      g.restore();
    }
    // The bands' markers at their frequency and gain.
    // Crowded markers (many bands close together) are drawn small and
    // unnumbered, under the numbered ones; the selected one always big,
    // numbered and on top.
    g.textAlign = "center";
    const draw = (b, i, numbered) => {
      const x = xOf(p, b.freq);
      const y = yOf(p, b.gain);
      const selected = i === state.band;
      g.beginPath();
      g.arc(x, y, selected ? 13 : numbered ? 10 : 6, 0, 2 * Math.PI);
      g.fillStyle = selected ? "#ffca28" : b.locked ? "#90a4ae" : "#e3f2fd";
      g.fill();
      if (!numbered) return;
      g.fillStyle = "#10202c";
      g.font = (selected ? "bold 12px" : "11px") + " system-ui, sans-serif";
      g.fillText(String(b.band), x, y + 4);
    };
    let lastLabel = -1e9;
    const small = [];
    const numbered = [];
    state.bands.forEach((b, i) => {
      if (b.type === 0 || i === state.band) return;
      const x = xOf(p, b.freq);
      if (x - lastLabel >= 22) { lastLabel = x; numbered.push(i); } else { small.push(i); }
    });
    for (const i of small) draw(state.bands[i], i, false);
    for (const i of numbered) draw(state.bands[i], i, true);
    const chosen = state.bands[state.band];
    if (chosen && chosen.type !== 0) draw(chosen, state.band, true);
  }

  function markerAt(p, x, y) {
    let best = -1;
    let bestDist = 26 * 26;
    state.bands.forEach((b, i) => {
      if (b.type === 0) return;
      const dx = xOf(p, b.freq) - x;
      const dy = yOf(p, b.gain) - y;
      const d = dx * dx + dy * dy;
      if (d < bestDist || (d === bestDist && i === state.band)) { best = i; bestDist = d; }
    });
    return best;
  }

  function clamp(v, lo, hi) { return Math.max(lo, Math.min(hi, v)); }

  function sendBand(b, fields, end) {
    const band = Object.assign({ eq: state.eq, band: b.band }, fields);
    sendThrottled("band", { band }, end);
  }

  function dragTo(e, end) {
    const p = plot();
    const rect = p.c.getBoundingClientRect();
    const b = state.bands[state.drag.band];
    const fields = {};
    if (!b.locked) {
      b.freq = clamp(Math.round(fOf(p, e.clientX - rect.left)), b.minFreq, b.maxFreq);
      fields.freq = b.freq;
    }
    if (b.hasGain) {
      b.gain = clamp(Math.round(dbOf(p, e.clientY - rect.top) * 10) / 10, b.minGain, b.maxGain);
      fields.gain = b.gain;
    }
    drawCurve();
    showBand();
    sendBand(b, fields, end);
  }

  function setupCanvas() {
    const c = $("curve");
    c.addEventListener("pointerdown", (e) => {
      const p = plot();
      const rect = c.getBoundingClientRect();
      const i = markerAt(p, e.clientX - rect.left, e.clientY - rect.top);
      if (i < 0) return;
      state.band = i;
      state.drag = { band: i, pointer: e.pointerId, moved: false };
      c.setPointerCapture(e.pointerId);
      drawCurve();
      showBand();
      e.preventDefault();
    });
    c.addEventListener("pointermove", (e) => {
      if (!state.drag || e.pointerId !== state.drag.pointer) return;
      state.drag.moved = true;
      dragTo(e, false);
    });
    const finish = (e) => {
      if (!state.drag || e.pointerId !== state.drag.pointer) return;
      if (state.drag.moved) dragTo(e, true);
      state.drag = null;
    };
    c.addEventListener("pointerup", finish);
    c.addEventListener("pointercancel", finish);
    window.addEventListener("resize", drawCurve);
  }

  function showBand() {
    const b = state.bands[state.band];
    $("bypass").hidden = !state.bypass;
    if (!b) { $("band").hidden = true; return; }
    $("band").hidden = false;
    const eq = state.eqs.find((e) => e.eq === state.eq);
    $("bandTitle").textContent = t("band", b.band) + (eq ? " / " + eq.bands : "");
    const types = $("types");
    types.textContent = "";
    if (b.menu && !b.locked) {
      for (let k = 1; k <= 5; ++k) {
        const tb = document.createElement("button");
        tb.type = "button";
        tb.textContent = TEXTS[state.lang].types[k];
        tb.setAttribute("aria-pressed", b.type === k ? "true" : "false");
        tb.addEventListener("click", () => {
          if (b.type !== k) sendBand(b, { type: k }, true);
        });
        types.appendChild(tb);
      }
    }
    types.hidden = types.children.length === 0;
    $("freqValue").textContent = Math.trunc(b.freq) + " Hz";
    $("gainValue").textContent = (b.gain > 0 ? "+" : "") + b.gain.toFixed(1) + " dB";
    $("qValue").textContent = b.q.toFixed(2);
    for (const s of document.querySelectorAll(".stepper")) {
      const field = s.dataset.field;
      const off = (field === "gain" && !b.hasGain) || (field !== "gain" && b.locked);
      for (const btn of s.querySelectorAll("button")) btn.disabled = off;
    }
  }

  function step(field, dir) {
    const b = state.bands[state.band];
    if (!b) return;
    let v;
    if (field === "freq") v = clamp(Math.round(b.freq * Math.pow(2, dir / 12)), b.minFreq, b.maxFreq);
    if (field === "gain") v = clamp(Math.round((b.gain + dir * 0.5) * 10) / 10, b.minGain, b.maxGain);
    if (field === "q") v = clamp(Math.round(b.q * Math.pow(1.12, dir) * 100) / 100, 0.1, b.maxQ);
    sendBand(b, { [field]: v }, true);
  }

  // ---- Language and start ---------------------------------------------------

  function applyLanguage() {
    document.documentElement.lang = state.lang === "zh" ? "zh-CN" : "en";
    for (const el of document.querySelectorAll("[data-t]")) el.textContent = t(el.dataset.t);
    document.title = t("title");
    relabelControls();
    const selected = state.eq;
    buildEqList();
    $("eqSelect").value = selected;
    drawCurve();
    showBand();
  }

  let toastTimer = null;
  function toast(text) {
    const el = $("toast");
    el.textContent = text;
    el.hidden = false;
    clearTimeout(toastTimer);
    toastTimer = setTimeout(() => { el.hidden = true; }, 2600);
  }

  function start() {
    $("lang").addEventListener("click", () => {
      state.lang = state.lang === "zh" ? "en" : "zh";
      localStorage.setItem("v36.lang", state.lang);
      applyLanguage();
    });
    $("pairButton").addEventListener("click", pair);
    $("code").addEventListener("keydown", (e) => { if (e.key === "Enter") pair(); });
    $("eqSelect").addEventListener("change", () => {
      state.eq = Number($("eqSelect").value);
      sessionStorage.setItem("v36.eq", state.eq);
      state.band = 0;
      state.bands = [];
      state.curve = [];
      drawCurve();
      send({ eq: state.eq });
    });
    $("prevBand").addEventListener("click", () => {
      if (!state.bands.length) return;
      state.band = (state.band + state.bands.length - 1) % state.bands.length;
      drawCurve(); showBand();
    });
    $("nextBand").addEventListener("click", () => {
      if (!state.bands.length) return;
      state.band = (state.band + 1) % state.bands.length;
      drawCurve(); showBand();
    });
    for (const s of document.querySelectorAll(".stepper")) {
      for (const btn of s.querySelectorAll("button")) {
        btn.addEventListener("click", () => step(s.dataset.field, Number(btn.dataset.step)));
      }
    }
    setupCanvas();
    applyLanguage();
    if (state.code) connect(); else showPairing("");
  }

  start();
})();
