// The isa4 pages. The data element holds one JSON object (see trace/page.h); every text
// from it reaches the page through textContent, never as markup.
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("data").textContent);
  const page = document.getElementById("page");
  const CHECKPOINT = 256; // a full state every this many steps
  const RATES = [1, 2, 5, 10, 20, 50, 100, 1000];

  const hex2 = (v) => (v & 255).toString(16).toUpperCase().padStart(2, "0");
  const hexWord = (w) => w.toString(16).toUpperCase().padStart(w > 0xfffff ? 6 : 5, "0");
  const regName = (i) => "r" + i.toString(16);
  // Targets: 0..15 the registers, 16..271 the RAM cells.
  const targetName = (t) => (t < 16 ? regName(t) : "[" + hex2(t - 16) + "]");
  const plural = (n, one, many) => n + " " + (n === 1 ? one : many);

  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function add(parent, tag, cls, text) {
    return parent.appendChild(el(tag, cls, text));
  }

  // The run, decoded once: pc, z and the write of every step, the steps that wrote each
  // target, and a checkpoint of the registers and RAM every CHECKPOINT steps.
  class Run {
    constructor(t) {
      const n = t.deltas.length;
      this.n = n;
      this.pc = new Uint8Array(n + 1);
      this.z = new Uint8Array(n + 1);
      this.target = new Int16Array(n + 1).fill(-1);
      this.value = new Uint8Array(n + 1);
      this.pc[0] = t.start.pc;
      this.z[0] = t.start.z;
      const s = new Uint8Array(272);
      s.set(t.start.r, 0);
      s.set(t.start.ram, 16);
      this.start = s.slice();
      this.checkpoints = [s.slice()];
      this.writes = Array.from({ length: 272 }, () => []);
      for (let k = 1; k <= n; k++) {
        const d = t.deltas[k - 1];
        this.pc[k] = d & 255;
        this.z[k] = (d >> 8) & 1;
        const kind = (d >> 9) & 3;
        if (kind !== 0) {
          const target = (kind === 1 ? 0 : 16) + ((d >> 11) & 255);
          this.target[k] = target;
          this.value[k] = (d >> 19) & 255;
          s[target] = this.value[k];
          this.writes[target].push(k);
        }
        if (k % CHECKPOINT === 0) this.checkpoints.push(s.slice());
      }
    }
    state(k) {
      const c = Math.floor(k / CHECKPOINT);
      const s = this.checkpoints[c].slice();
      for (let j = c * CHECKPOINT + 1; j <= k; j++) if (this.target[j] >= 0) s[this.target[j]] = this.value[j];
      return s;
    }
    executed(k) {
      return k === 0 ? -1 : (this.pc[k - 1] + 1) & 255;
    }
    next(k) {
      return (this.pc[k] + 1) & 255;
    }
  }

  // The steps in `list` (ascending) before and after step k.
  function around(list, k) {
    let lo = 0, hi = list.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (list[mid] < k) lo = mid + 1; else hi = mid;
    }
    return { before: lo - 1, after: lo < list.length && list[lo] === k ? lo + 1 : lo };
  }

  function endText(t, n) {
    if (t.reason === "halt") {
      const at = n > 0 ? t.deltas[n - 1] & 255 : 0;
      return "Halted after " + plural(n, "step", "steps") + ": the JZ at " + hex2(at) +
        " jumps onto itself with z set.";
    }
    if (t.reason === "breakpoint") {
      const pc = n > 0 ? t.deltas[n - 1] & 255 : t.start.pc;
      return "Stopped after " + plural(n, "step", "steps") + " at the breakpoint at " + hex2(pc + 1) +
        ", before that word executes.";
    }
    if (n < t.limit)
      return "The recording stops after " + plural(n, "step", "steps") + " without a halting JZ; the run's limit was " +
        t.limit + " steps.";
    return "Cut at the step limit: no halting JZ within " + plural(n, "step", "steps") +
      ". The recording stops here (a longer run needs --steps N).";
  }

  let active = null; // the viewer the keys move
  const viewers = [];

  class Viewer {
    constructor(root, t, atEnd) {
      this.t = t;
      this.run = new Run(t);
      this.cur = -1;
      this.breakpoints = new Set();
      this.selected = -1;
      this.playing = 0;
      this.root = root;
      root.classList.add("trace");
      this.build(root);
      if (!active) active = this;
      root.addEventListener("pointerdown", () => (active = this));
      this.go(atEnd ? this.run.n : 0);
    }

    build(root) {
      const t = this.t, run = this.run;
      add(root, "p", "endtext", endText(t, run.n));
      const controls = add(root, "div", "controls");
      const buttons = [
        ["|<", "to the start (Home)", () => this.stop(0)],
        ["<", "one step back (Left)", () => this.stop(this.cur - 1)],
        [">", "one step forward (Right)", () => this.stop(this.cur + 1)],
        [">|", "to the end (End)", () => this.stop(run.n)],
        ["<<", "run backward", () => this.play(-1)],
        [">>", "run forward", () => this.play(1)],
        ["<bp", "back to the previous breakpoint (Shift+Left)", () => this.toBreakpoint(-1)],
        ["bp>", "on to the next breakpoint (Shift+Right)", () => this.toBreakpoint(1)],
      ];
      this.buttons = {};
      for (const [label, title, act] of buttons) {
        const b = add(controls, "button", "", label);
        b.type = "button";
        b.title = title;
        b.setAttribute("aria-label", title);
        b.addEventListener("click", act);
        this.buttons[label] = b;
      }
      this.rate = add(controls, "select");
      this.rate.title = "steps per second when running";
      this.rate.setAttribute("aria-label", "steps per second");
      for (const r of RATES) {
        const o = add(this.rate, "option", "", r + " steps/s");
        o.value = String(r);
        if (r === 10) o.selected = true;
      }
      this.slider = add(controls, "input", "slider");
      this.slider.type = "range";
      this.slider.min = "0";
      this.slider.max = String(run.n);
      this.slider.setAttribute("aria-label", "step");
      this.slider.addEventListener("input", () => this.stop(Number(this.slider.value)));
      this.info = add(root, "div", "stepinfo");
      this.strip = add(root, "canvas", "strip");
      this.strip.title = "pc against step: click to go there";
      this.strip.addEventListener("click", (e) => {
        const r = this.strip.getBoundingClientRect();
        this.stop(Math.round(((e.clientX - r.left) / r.width) * run.n));
      });
      const columns = add(root, "div", "columns");
      this.buildProgram(add(columns, "div", "program"));
      this.buildState(add(columns, "div", "state"));
      this.drawStrip();
    }

    buildProgram(box) {
      const t = this.t;
      this.lineEls = [];
      this.lineWords = t.lines.map(() => []);
      t.lineOf.forEach((line, address) => {
        if (line >= 0 && line < t.lines.length) this.lineWords[line].push(address);
      });
      t.lines.forEach((text, i) => {
        const line = add(box, "div", "line");
        line.dataset.line = String(i);
        const words = this.lineWords[i];
        add(line, "span", "gutter", words.length > 0 ? hex2(words[0]) : t.source ? String(i + 1) : "");
        add(line, "span", "text", text === "" ? " " : text);
        if (words.length > 0) {
          line.classList.add("word");
          line.title = "click to set or clear a breakpoint";
          line.addEventListener("click", () => this.toggleBreakpoint(i));
        }
        this.lineEls.push(line);
      });
      this.programBox = box;
    }

    buildState(box) {
      this.cells = new Array(272);
      this.shown = new Int16Array(272).fill(-1);
      const regs = add(box, "table", "registers");
      const head = add(regs, "tr");
      const values = add(regs, "tr");
      add(head, "th", "", "PC");
      this.pcCell = add(values, "td", "cell");
      this.pcCell.dataset.target = "pc";
      add(head, "th", "", "Z");
      this.zCell = add(values, "td", "cell");
      this.zCell.dataset.target = "z";
      for (let i = 0; i < 16; i++) {
        add(head, "th", "", "R" + i.toString(16).toUpperCase());
        this.cells[i] = add(values, "td", "cell");
        this.cells[i].dataset.target = regName(i);
      }
      const ram = add(box, "table", "ram");
      const top = add(ram, "tr");
      add(top, "th", "", "");
      for (let c = 0; c < 16; c++) add(top, "th", "", c.toString(16).toUpperCase());
      for (let row = 0; row < 16; row++) {
        const tr = add(ram, "tr");
        add(tr, "th", "", row.toString(16).toUpperCase() + "0");
        for (let c = 0; c < 16; c++) {
          const td = add(tr, "td", "cell");
          td.dataset.target = "[" + hex2(row * 16 + c) + "]";
          this.cells[16 + row * 16 + c] = td;
        }
      }
      this.cells.forEach((td, target) => td.addEventListener("click", () => this.select(target)));
      if (this.t.expected.length > 0) {
        add(box, "h3", "", "Expected at the end");
        const list = add(box, "ul", "expected");
        for (const m of this.t.expected) {
          add(list, "li", "", m.what + " is " + hex2(m.actual) + ", expected " + hex2(m.expected));
          const td = m.target === "reg" ? this.cells[m.index] : m.target === "ram" ? this.cells[16 + m.index]
            : m.target === "pc" ? this.pcCell : this.zCell;
          td.classList.add("mismatch");
          td.title = "expected " + hex2(m.expected);
        }
      }
      const when = add(box, "div", "when");
      this.whenTitle = add(when, "div", "", "Click a register or a RAM cell to see the steps that wrote it.");
      const nav = add(when, "div", "controls");
      this.prevWrite = add(nav, "button", "", "< previous write");
      this.prevWrite.type = "button";
      this.prevWrite.addEventListener("click", () => this.toWrite(-1));
      this.nextWrite = add(nav, "button", "", "next write >");
      this.nextWrite.type = "button";
      this.nextWrite.addEventListener("click", () => this.toWrite(1));
      this.whenList = add(when, "ol");
    }

    drawStrip() {
      const c = this.strip, run = this.run;
      const w = (c.width = Math.max(300, Math.min(2000, Math.round(c.clientWidth || 1000))));
      const h = (c.height = 120);
      const base = document.createElement("canvas");
      base.width = w;
      base.height = h;
      const g = base.getContext("2d");
      const image = g.createImageData(w, h);
      const px = image.data;
      // The pcs the steps leave (not the reset's FF) fill the height; a short run gets
      // bigger dots.
      const first = run.n > 0 ? 1 : 0;
      let lo = 255, hi = 0;
      for (let k = first; k <= run.n; k++) {
        lo = Math.min(lo, run.pc[k]);
        hi = Math.max(hi, run.pc[k]);
      }
      const dot = Math.max(1, Math.min(4, Math.floor(w / (run.n + 1))));
      const span = Math.max(1, hi - lo);
      for (let k = first; k <= run.n; k++) {
        const x0 = run.n === 0 ? 0 : Math.floor((k * (w - dot)) / run.n);
        const y0 = Math.floor(((hi - run.pc[k]) * (h - dot)) / span);
        for (let y = y0; y < y0 + dot; y++)
          for (let x = x0; x < x0 + dot; x++) {
            const i = (y * w + x) * 4;
            px[i] = 120; px[i + 1] = 200; px[i + 2] = 255; px[i + 3] = 255;
          }
      }
      g.putImageData(image, 0, 0);
      this.stripBase = base;
    }

    markStrip() {
      const c = this.strip, g = c.getContext("2d");
      g.clearRect(0, 0, c.width, c.height);
      g.drawImage(this.stripBase, 0, 0);
      const x = this.run.n === 0 ? 0 : Math.round((this.cur * (c.width - 1)) / this.run.n);
      g.fillStyle = "#c9a227";
      g.fillRect(x - 1, 0, 3, c.height);
    }

    // Moves to step k (held within the run) and shows it.
    go(k) {
      const run = this.run;
      k = Math.max(0, Math.min(run.n, Math.round(k)));
      if (k === this.cur) return;
      this.cur = k;
      const s = run.state(k);
      for (let i = 0; i < 272; i++) {
        if (this.shown[i] !== s[i]) {
          this.shown[i] = s[i];
          this.cells[i].textContent = hex2(s[i]);
          this.cells[i].classList.toggle("differs", s[i] !== run.start[i]);
        }
      }
      this.pcCell.textContent = hex2(run.pc[k]);
      this.pcCell.classList.toggle("differs", run.pc[k] !== run.pc[0]);
      this.zCell.textContent = String(run.z[k]);
      this.zCell.classList.toggle("differs", run.z[k] !== run.z[0]);
      for (const e of this.root.querySelectorAll(".changed")) e.classList.remove("changed");
      if (k > 0) {
        if (run.target[k] >= 0) this.cells[run.target[k]].classList.add("changed");
        if (run.z[k] !== run.z[k - 1]) this.zCell.classList.add("changed");
        if (run.pc[k] !== ((run.pc[k - 1] + 1) & 255)) this.pcCell.classList.add("changed");
      }
      this.markLines();
      this.slider.value = String(k);
      this.info.textContent = this.describe(k);
      this.markStrip();
      this.showWhen();
    }

    describe(k) {
      const run = this.run, t = this.t;
      let text = "Step " + k + " of " + run.n;
      if (k === 0) return text + ": reset; the word at " + hex2(run.next(0)) + " executes next.";
      const a = run.executed(k);
      text += ": " + hex2(a) + "  " + hexWord(t.rom[a]) + "  " + t.text[a];
      text += run.target[k] >= 0 ? "  wrote " + targetName(run.target[k]) + " = " + hex2(run.value[k]) : "  wrote nothing";
      if (run.pc[k] === a && k === run.n && t.reason === "halt") text += "  (halt)";
      return text + "; next " + hex2(run.next(k));
    }

    markLines() {
      for (const e of this.programBox.querySelectorAll(".exec, .next")) e.classList.remove("exec", "next");
      const run = this.run, t = this.t;
      const exec = run.executed(this.cur);
      const mark = (address, cls) => {
        const line = address >= 0 ? t.lineOf[address] : -1;
        if (line >= 0 && this.lineEls[line]) this.lineEls[line].classList.add(cls);
        return line;
      };
      mark(exec, "exec");
      const next = mark(run.next(this.cur), "next");
      if (next >= 0 && this.lineEls[next]) {
        const box = this.programBox, line = this.lineEls[next];
        if (line.offsetTop < box.scrollTop || line.offsetTop > box.scrollTop + box.clientHeight - 20)
          box.scrollTop = line.offsetTop - box.clientHeight / 2;
      }
    }

    toggleBreakpoint(line) {
      const words = this.lineWords[line];
      const on = !this.breakpoints.has(words[0]);
      for (const a of words) if (on) this.breakpoints.add(a); else this.breakpoints.delete(a);
      this.lineEls[line].classList.toggle("bp", on);
    }

    // The next step in direction `dir` that stands before a breakpoint's word, or the end.
    breakpointFrom(k, dir) {
      const run = this.run;
      for (let j = k + dir; j >= 0 && j <= run.n; j += dir) if (this.breakpoints.has(run.next(j))) return j;
      return dir > 0 ? run.n : 0;
    }

    toBreakpoint(dir) {
      this.stop(this.breakpointFrom(this.cur, dir));
    }

    select(target) {
      if (this.selected >= 0) this.cells[this.selected].classList.remove("selected");
      this.selected = target;
      this.cells[target].classList.add("selected");
      this.showWhen(true);
    }

    toWrite(dir) {
      if (this.selected < 0) return;
      const list = this.run.writes[this.selected];
      const at = around(list, this.cur);
      const i = dir < 0 ? at.before : at.after;
      if (i >= 0 && i < list.length) this.stop(list[i]);
    }

    // The steps that wrote the selected target, the nearest ones to the current step.
    showWhen(rebuild) {
      if (this.selected < 0) return;
      const run = this.run, t = this.t, list = run.writes[this.selected];
      const at = around(list, this.cur);
      const from = Math.max(0, at.before - 50), to = Math.min(list.length, from + 101);
      if (rebuild || this.whenFrom !== from || this.whenTo !== to || this.whenFor !== this.selected) {
        this.whenFrom = from;
        this.whenTo = to;
        this.whenFor = this.selected;
        this.whenTitle.textContent = targetName(this.selected) + ": written by " +
          plural(list.length, "step", "steps") + (list.length > to - from ? " (the nearest " + (to - from) + " shown)" : "");
        this.whenList.textContent = "";
        for (let i = from; i < to; i++) {
          const k = list[i], a = run.executed(k);
          const li = add(this.whenList, "li", "", "step " + String(k).padStart(6) + "  " + hex2(a) + "  " +
            hexWord(t.rom[a]) + "  " + t.text[a] + "  -> " + hex2(run.value[k]));
          li.dataset.step = String(k);
          li.addEventListener("click", () => this.stop(k));
        }
      }
      for (const li of this.whenList.children) li.classList.toggle("current", Number(li.dataset.step) === this.cur);
      this.prevWrite.disabled = at.before < 0;
      this.nextWrite.disabled = at.after >= list.length;
    }

    stop(k) {
      this.halt();
      this.go(k);
    }

    halt() {
      if (this.playing) cancelAnimationFrame(this.playing);
      this.playing = 0;
      this.buttons["<<"].classList.remove("on");
      this.buttons[">>"].classList.remove("on");
    }

    // Runs in direction `dir` at the chosen rate, up to an end or a breakpoint.
    play(dir) {
      const running = this.playing && this.dir === dir;
      this.halt();
      if (running) return;
      this.dir = dir;
      this.buttons[dir > 0 ? ">>" : "<<"].classList.add("on");
      let last = performance.now(), credit = 0;
      const frame = (now) => {
        credit += ((now - last) / 1000) * Number(this.rate.value);
        last = now;
        let steps = Math.floor(credit);
        credit -= steps;
        let k = this.cur;
        while (steps-- > 0) {
          k += dir;
          if (k <= 0 || k >= this.run.n || this.breakpoints.has(this.run.next(k))) {
            this.go(k);
            this.halt();
            return;
          }
        }
        this.go(k);
        this.playing = requestAnimationFrame(frame);
      };
      this.playing = requestAnimationFrame(frame);
    }
  }

  document.addEventListener("keydown", (e) => {
    if (!active || e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.target instanceof HTMLInputElement || e.target instanceof HTMLSelectElement) return;
    const v = active;
    const moves = {
      ArrowLeft: () => (e.shiftKey ? v.toBreakpoint(-1) : v.stop(v.cur - 1)),
      ArrowRight: () => (e.shiftKey ? v.toBreakpoint(1) : v.stop(v.cur + 1)),
      Home: () => v.stop(0),
      End: () => v.stop(v.run.n),
    };
    if (moves[e.key]) {
      e.preventDefault();
      moves[e.key]();
    }
  });

  function setTitle(text) {
    document.title = text;
    document.getElementById("title").textContent = text;
  }

  function showTrace() {
    setTitle("isa4 trace: " + data.title);
    for (const t of data.traces) viewers.push(new Viewer(add(page, "section"), t, false));
  }

  function problemText(p) {
    return p.line > 0 ? data.suite + ":" + p.line + ":" + p.column + ": " + p.text : p.text;
  }

  function showFeedback() {
    setTitle("Feedback: " + data.title);
    add(page, "p", "", data.program + " against " + data.suite + ": " + data.passed + " of " +
      plural(data.cases.length, "case", "cases") + " passed, " + data.points + " of " +
      plural(data.maxPoints, "point", "points") + ".");
    if (!data.graded) {
      add(page, "h2", "", "The program " + data.failure);
      add(page, "pre", "problems", data.reasons.join("\n"));
    }
    const table = add(page, "table", "cases");
    const head = add(table, "tr");
    for (const h of ["case", "name", "result", "points", "steps"]) add(head, "th", "", h);
    for (const c of data.cases) {
      const tr = add(table, "tr");
      add(tr, "td", "", String(c.number));
      add(tr, "td", "", c.hidden ? "(hidden)" : c.name);
      add(tr, "td", "verdict-" + c.verdict.replace(/ /g, "-"), c.verdict);
      add(tr, "td", "", c.points + "/" + c.max);
      add(tr, "td", "", c.hidden || !data.graded ? "" : String(c.steps));
    }
    for (const c of data.cases) {
      if (c.hidden || c.verdict === "pass" || !data.graded) continue;
      add(page, "h2", "", "Case " + c.number + ": " + c.name);
      add(page, "pre", "problems", c.problems.map(problemText).join("\n"));
      if (c.trace >= 0) viewers.push(new Viewer(add(page, "section"), data.traces[c.trace], true));
    }
  }

  function bars(parent, rows) {
    const table = add(parent, "table", "bars");
    for (const [label, value, max, text] of rows) {
      const tr = add(table, "tr");
      add(tr, "td", "", label);
      const bar = add(add(tr, "td"), "span", "bar");
      bar.style.width = (max > 0 ? (12 * value) / max : 0) + "rem";
      add(tr, "td", "", text);
    }
  }

  function showClass() {
    setTitle("Class results: " + data.title);
    const programs = data.programs;
    add(page, "p", "", plural(programs.length, "program", "programs") + " against " + data.suite + ", " +
      programs.filter((p) => p.passed === data.cases.length).length + " passed every case.");
    add(page, "h2", "", "Pass rate per case");
    bars(page, data.cases.map((c, i) => {
      const n = programs.filter((p) => p.verdicts[i] === "pass").length;
      return [(i + 1) + " " + c.name + (c.hidden ? " (hidden)" : ""), n, programs.length, n + "/" + programs.length];
    }));
    add(page, "h2", "", "Points");
    const counts = new Array(data.maxPoints + 1).fill(0);
    for (const p of programs) counts[p.points]++;
    bars(page, counts.map((n, points) => [points + " points", n, programs.length, plural(n, "program", "programs")]));
    add(page, "h2", "", "Slowest passing programs");
    data.cases.forEach((c, i) => {
      const passing = programs.filter((p) => p.verdicts[i] === "pass").sort((a, b) => b.steps[i] - a.steps[i]).slice(0, 5);
      if (passing.length === 0) return;
      add(page, "h3", "", (i + 1) + " " + c.name + (c.bound ? " (" + c.bound + ")" : ""));
      bars(page, passing.map((p) => [p.path, p.steps[i], passing[0].steps[i], plural(p.steps[i], "step", "steps")]));
    });
    add(page, "h2", "", "Every program");
    const table = add(page, "table", "cases");
    const head = add(table, "tr");
    for (const h of ["program", "passed", "points", "page"]) add(head, "th", "", h);
    for (const p of programs) {
      const tr = add(table, "tr");
      add(tr, "td", "", p.path);
      add(tr, "td", "", p.passed + "/" + data.cases.length);
      add(tr, "td", "", p.points + "/" + data.maxPoints);
      const a = add(add(tr, "td"), "a", "", p.page);
      a.href = encodeURIComponent(p.page);
    }
  }

  const t0 = performance.now();
  if (data.kind === "feedback") showFeedback();
  else if (data.kind === "class") showClass();
  else showTrace();
  window.isa4Page = { data, viewers, ready: performance.now() - t0 };
})();
