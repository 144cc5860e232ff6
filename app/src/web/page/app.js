// Kelvane's page: shows the receiver as the program reports it and sends the operator's
// requests; every change comes back as a state message, so the page never guesses.
"use strict";
(() => {
  const token = new URLSearchParams(location.search).get("token") || "";
  const $ = (id) => document.getElementById(id);
  const now = () => performance.timeOrigin + performance.now();
  // For the benchmark: report-to-page delays (ms) and when each request was sent.
  const stats = { delays: [], hz: [], shown: [], sent: [], states: 0, firstState: null };
  window.kelvane = { stats, state: null, send: (m) => send(m) };

  let ws = null, nextId = 1, state = null, refused = false;

  function say(text, ok) {
    const m = $("message");
    m.textContent = text || "";
    m.className = ok ? "ok" : "";
  }

  function send(msg) {
    if (!ws || ws.readyState !== WebSocket.OPEN) {
      say("Not connected to the program");
      return;
    }
    msg.id = nextId++;
    if (stats.sent.length < 10000) stats.sent.push(now());
    ws.send(JSON.stringify(msg));
  }

  function khzText(hz) {
    if (!(hz >= 0)) return "-";
    const khz = (hz / 1000).toFixed(3);
    const [whole, frac] = khz.split(".");
    return whole.replace(/\B(?=(\d{3})+(?!\d))/g, "\u2009") + "." + frac;
  }

  function sText(db) {
    if (db <= 0) return "S0";
    if (db <= 54) return "S" + Math.floor(db / 6);
    return "S9+" + Math.round(db - 54);
  }

  function pill(id, text, cls) {
    const p = $(id);
    p.textContent = text;
    p.className = "pill " + (cls || "");
  }

  function mark(containerId, attr, value) {
    for (const b of $(containerId).querySelectorAll("button"))
      b.classList.toggle("on", b.dataset[attr] === String(value));
  }

  function showState(s) {
    state = s;
    window.kelvane.state = s;
    pill("link", s.connected ? "linked" : "no link", s.connected ? "" : "off");
    pill("hold", s.held ? "held" : "free", s.held ? "" : "dim");
    const busy = s.scan || (s.locked ? "locked" : "");
    pill("lock", busy, "warn" + (busy ? "" : " hidden"));
    pill("ro", "read-only", "dim" + (s.readOnly ? "" : " hidden"));
    $("khz").textContent = khzText(s.connected ? s.hz : -1);
    $("freq").classList.toggle("stale", !s.connected);
    $("band").textContent = s.band || "";
    $("band").classList.toggle("flag", !!s.bandFlagged);
    $("record").textContent = s.recordNumber ? (s.recordTag + " " + s.recordNumber) : "";
    $("station").textContent = s.station || "";
    const db = s.smeterRaw >= 0 ? s.smeterDb : 0;
    $("fill").style.width = Math.min(100, (db / 114) * 100).toFixed(1) + "%";
    $("sval").textContent = s.smeterRaw >= 0 ? (s.smeterText || sText(db)) : "-";
    $("s-mode").textContent = s.modeText || s.mode || "-";
    $("s-filter").textContent = s.filterText || s.filter || "-";
    $("s-agc").textContent = s.agcText || s.agc || "-";
    $("s-att").textContent = s.connected ? (s.att ? "on" : "off") : "-";
    $("s-nb").textContent = s.connected ? (s.nb > 0 ? String(s.nb) : "off") : "-";
    $("s-sq").textContent = s.squelchText || (s.squelchOpen ? "open" : "closed");
    for (const e of document.querySelectorAll(".bs")) e.textContent = s.bandStep ? s.bandStep + " Hz" : "band";
    for (const e of document.querySelectorAll(".ls")) e.textContent = s.localStep ? s.localStep + " Hz" : "local";
    mark("modes", "value", s.mode);
    mark("filters", "value", s.filter);
    for (const b of $("agcs").querySelectorAll("button"))
      b.classList.toggle("on", b.dataset.cmd === "agc" ? b.dataset.value === s.agc : Number(b.dataset.num) === s.nb);
    $("hold-btn").textContent = s.held ? "Leave" : "Hold";
    $("hold-btn").classList.toggle("on", s.held);
    $("scan-start").classList.toggle("on", !!s.scan);
    const ro = s.readOnly;
    for (const b of document.querySelectorAll("button")) b.disabled = ro;
    $("entry").disabled = ro;
    // Timed once the page shows it.
    if (typeof s.at === "number" && stats.delays.length < 10000) {
      const t = now();
      stats.delays.push(t - s.at);
      stats.hz.push(s.hz);
      stats.shown.push(t);
    }
    if (stats.firstState === null) stats.firstState = performance.now();
    stats.states++;
  }

  function showLists(l) {
    const mem = $("memories");
    mem.textContent = "";
    l.memories.forEach((m, i) => {
      const b = document.createElement("button");
      b.dataset.memory = i;
      b.textContent = i + ": " + (m.hz > 0 ? khzText(m.hz) : "-");
      if (m.hz > 0) {
        const c = document.createElement("small");
        c.textContent = m.mode + (m.comment ? " " + m.comment : "");
        b.appendChild(c);
      } else {
        b.disabled = true;
      }
      b.addEventListener("click", () => send({ cmd: "memory", value: i }));
      mem.appendChild(b);
    });
    const sel = $("channels");
    sel.textContent = "";
    l.channels.forEach((c, i) => {
      if (!(c.hz > 0)) return;
      const o = document.createElement("option");
      o.value = i;
      o.textContent = String(i).padStart(3, "0") + "  " + khzText(c.hz) + " " + c.mode + (c.comment ? " " + c.comment : "");
      sel.appendChild(o);
    });
    if (!sel.options.length) {
      const o = document.createElement("option");
      o.textContent = "no channels stored";
      o.value = "";
      sel.appendChild(o);
    }
    // Raw readings: larger is weaker; bars grow with the noise.
    const noise = $("noise");
    noise.textContent = "";
    const dbs = l.noise.map((raw) => (raw > 0 && raw < 256 ? Math.pow((256 - raw) / 62.74, 1 / 0.231) : 0));
    const top = Math.max(6, ...dbs);
    dbs.forEach((db, mhz) => {
      const d = document.createElement("div");
      d.style.height = ((db / top) * 100).toFixed(1) + "%";
      if (!db) d.className = "none";
      d.title = mhz + " MHz: " + (l.noise[mhz] ? sText(db) + " (" + l.noise[mhz] + ")" : "no reading");
      noise.appendChild(d);
    });
    $("noise-when").textContent = l.noiseWhen || "none yet";
  }

  function onMessage(ev) {
    let m;
    try { m = JSON.parse(ev.data); } catch (e) { return; }
    if (m.type === "state") showState(m);
    else if (m.type === "lists") showLists(m);
    else if (m.type === "refused") say("Refused: " + m.reason);
    else if (m.type === "error") say("Error: " + m.reason);
    else if (m.type === "done") say("", true);
  }

  function connect() {
    let opened = false;
    pill("page", "connecting", "dim");
    ws = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host +
                       "/ws?token=" + encodeURIComponent(token));
    ws.addEventListener("open", () => { opened = true; pill("page", "live"); say("", true); });
    ws.addEventListener("message", onMessage);
    ws.addEventListener("close", (ev) => {
      refused = ev.code === 1008;
      pill("page", refused ? "refused" : "reconnecting", "off");
      if (refused) {
        say("The program refused this page: " + (ev.reason || "no token"));
        return;
      }
      // A refused upgrade looks like a lost connection: say what it may be, and try again.
      if (!opened) say("No connection: the program is not serving this page, or refused its token");
      setTimeout(connect, 2000);
    });
  }

  // Controls.
  for (const b of document.querySelectorAll("[data-step]"))
    b.addEventListener("click", () => send({ cmd: "step", by: b.dataset.step, value: Number(b.dataset.dir) }));
  for (const b of document.querySelectorAll("[data-cmd]"))
    b.addEventListener("click", () => send({ cmd: b.dataset.cmd, value: b.dataset.num !== undefined ? Number(b.dataset.num) : b.dataset.value }));
  $("tune").addEventListener("submit", (ev) => {
    ev.preventDefault();
    const v = $("entry").value.trim();
    if (v) send({ cmd: "tune", value: v });
  });
  $("hold-btn").addEventListener("click", () => send({ cmd: "hold", value: !(state && state.held) }));
  $("scan-start").addEventListener("click", () => send({ cmd: "scan", value: true }));
  $("scan-stop").addEventListener("click", () => send({ cmd: "scan", value: false }));
  $("channel-go").addEventListener("click", () => {
    const v = $("channels").value;
    if (v !== "" && !isNaN(Number(v))) send({ cmd: "channel", value: Number(v) });
  });

  // Swipe sideways or turn the wheel over the frequency: the local step.
  const freq = $("freq");
  let swipeX = null;
  const SwipePx = 40;
  freq.addEventListener("pointerdown", (ev) => { swipeX = ev.clientX; freq.setPointerCapture(ev.pointerId); });
  freq.addEventListener("pointermove", (ev) => {
    if (swipeX === null) return;
    const dx = ev.clientX - swipeX;
    if (Math.abs(dx) < SwipePx) return;
    swipeX += Math.sign(dx) * SwipePx;
    send({ cmd: "step", by: "local", value: Math.sign(dx) });
  });
  const endSwipe = () => { swipeX = null; };
  freq.addEventListener("pointerup", endSwipe);
  freq.addEventListener("pointercancel", endSwipe);
  freq.addEventListener("wheel", (ev) => {
    ev.preventDefault();
    if (ev.deltaY) send({ cmd: "step", by: "local", value: ev.deltaY < 0 ? 1 : -1 });
  }, { passive: false });

  connect();
})();
