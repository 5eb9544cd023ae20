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
  function button(parent, text, act) {
    const b = add(parent, "button", "", text);
    b.type = "button";
    b.addEventListener("click", act);
    return b;
  }
  // A box that scrolls what is too wide for a narrow window; it takes the focus so that
  // the keys scroll it too.
  function scroller(parent, label) {
    const box = add(parent, "div", "scroll");
    box.tabIndex = 0;
    box.setAttribute("role", "region");
    box.setAttribute("aria-label", label);
    return box;
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
    constructor(root, t, atEnd, heading) {
      this.heading = heading;
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
      const id = "run" + viewers.length;
      add(root, this.heading, "", "Run of " + t.name).id = id + "-name";
      root.setAttribute("aria-labelledby", id + "-name");
      add(root, "p", "endtext", endText(t, run.n));
      const controls = add(root, "div", "controls");
      // Each button's name says the step it goes to; `labelButtons` keeps them current.
      const buttons = [
        ["|<", "To the start", "Home", () => this.stop(0)],
        ["<", "One step back", "Left", () => this.stop(this.cur - 1)],
        [">", "One step forward", "Right", () => this.stop(this.cur + 1)],
        [">|", "To the end", "End", () => this.stop(run.n)],
        ["<<", "Run backward", "", () => this.play(-1)],
        [">>", "Run forward", "", () => this.play(1)],
        ["<bp", "Back to the previous breakpoint", "Shift+Left", () => this.toBreakpoint(-1)],
        ["bp>", "On to the next breakpoint", "Shift+Right", () => this.toBreakpoint(1)],
      ];
      this.buttons = {};
      this.buttonWords = {};
      for (const [label, words, key, act] of buttons) {
        const b = button(controls, label, act);
        if (key) b.setAttribute("aria-keyshortcuts", key);
        this.buttons[label] = b;
        this.buttonWords[label] = [words, key];
      }
      this.buttons["<<"].setAttribute("aria-pressed", "false");
      this.buttons[">>"].setAttribute("aria-pressed", "false");
      const rateLabel = add(controls, "label", "", "Rate ");
      this.rate = add(rateLabel, "select");
      this.rate.title = "steps per second when running";
      for (const r of RATES) {
        const o = add(this.rate, "option", "", r + " steps/s");
        o.value = String(r);
        if (r === 10) o.selected = true;
      }
      const sliderLabel = add(controls, "label", "slider-label", "Step ");
      this.slider = add(sliderLabel, "input", "slider");
      this.slider.type = "range";
      this.slider.min = "0";
      this.slider.max = String(run.n);
      this.slider.addEventListener("input", () => this.stop(Number(this.slider.value)));
      this.info = add(root, "p", "stepinfo");
      // What a move shows, said once it ends: not at every step of a run.
      this.announcer = add(root, "p", "visually-hidden");
      this.announcer.setAttribute("role", "status");
      this.lastAnnounced = 0;
      add(root, "p", "legend",
        "Marks: a thick underline and a frame on what this step wrote; a dashed red frame and " +
        "\"expected\" on a value that differs from what the end should show; italics on a value " +
        "that differs from the start.");
      this.strip = add(root, "canvas", "strip");
      this.strip.title = "pc against step: click to go there";
      this.strip.setAttribute("role", "img");
      this.strip.setAttribute("aria-label", "A plot of pc against step; the slider moves along it too.");
      this.strip.addEventListener("click", (e) => {
        const r = this.strip.getBoundingClientRect();
        this.stop(Math.round(((e.clientX - r.left) / r.width) * run.n));
      });
      const columns = add(root, "div", "columns");
      const program = add(columns, "div", "program");
      program.setAttribute("role", "region");
      program.setAttribute("aria-label", "Program");
      this.buildProgram(program);
      this.buildState(add(columns, "div", "state"));
      this.drawStrip();
    }

    buildProgram(box) {
      const t = this.t;
      this.lineEls = [];
      this.bpButtons = [];
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
          // The keyboard's way: a button on the line, one of them in the Tab order at a
          // time; Up and Down move between them, Enter or Space toggles.
          const mark = line.insertBefore(el("button", "bp-toggle"), line.firstChild);
          mark.type = "button";
          mark.tabIndex = this.bpButtons.length === 0 ? 0 : -1;
          mark.setAttribute("aria-pressed", "false");
          mark.setAttribute("aria-label", "Breakpoint at " + hex2(words[0]) + ": " + text.trim());
          mark.addEventListener("click", (e) => {
            e.stopPropagation();
            this.toggleBreakpoint(i);
          });
          mark.addEventListener("keydown", (e) => this.moveAmongBreakpoints(e, mark));
          this.bpButtons.push(mark);
        }
        this.lineEls.push(line);
      });
      this.programBox = box;
    }

    moveAmongBreakpoints(e, from) {
      const list = this.bpButtons, at = list.indexOf(from);
      const to = { ArrowUp: at - 1, ArrowDown: at + 1 }[e.key];
      if (to === undefined || e.altKey || e.ctrlKey || e.metaKey || e.shiftKey) return;
      e.preventDefault();
      e.stopPropagation();
      const next = list[Math.max(0, Math.min(list.length - 1, to))];
      from.tabIndex = -1;
      next.tabIndex = 0;
      next.focus();
    }

    buildState(box) {
      this.cells = new Array(272);
      this.shown = new Int16Array(272).fill(-1);
      this.marks = new Map(); // a cell's marks, which its accessible name says in words
      const regs = add(scroller(box, "Registers"), "table", "registers");
      this.regCaption = add(regs, "caption", "", "pc, z and the registers");
      const head = add(add(regs, "thead"), "tr");
      const values = add(add(regs, "tbody"), "tr");
      const column = (text) => {
        const th = add(head, "th", "", text);
        th.scope = "col";
      };
      column("PC");
      this.pcCell = add(values, "td", "cell");
      this.pcCell.dataset.target = "pc";
      column("Z");
      this.zCell = add(values, "td", "cell");
      this.zCell.dataset.target = "z";
      for (let i = 0; i < 16; i++) {
        column("R" + i.toString(16).toUpperCase());
        this.cells[i] = add(values, "td", "cell");
        this.cells[i].dataset.target = regName(i);
      }
      const ram = add(scroller(box, "RAM"), "table", "ram");
      add(ram, "caption", "", "RAM: row + column is the address");
      const top = add(add(ram, "thead"), "tr");
      const corner = add(top, "th", "", "row");
      corner.scope = "col";
      for (let c = 0; c < 16; c++) {
        const th = add(top, "th", "", "+" + c.toString(16).toUpperCase());
        th.scope = "col";
      }
      const body = add(ram, "tbody");
      for (let row = 0; row < 16; row++) {
        const tr = add(body, "tr");
        const th = add(tr, "th", "", row.toString(16).toUpperCase() + "0");
        th.scope = "row";
        for (let c = 0; c < 16; c++) {
          const td = add(tr, "td", "cell");
          td.dataset.target = "[" + hex2(row * 16 + c) + "]";
          this.cells[16 + row * 16 + c] = td;
        }
      }
      this.cells.forEach((td, target) => td.addEventListener("click", () => this.select(target)));
      if (this.t.expected.length > 0) {
        add(box, this.subheading(), "", "Expected at the end");
        const list = add(box, "ul", "expected");
        for (const m of this.t.expected) {
          add(list, "li", "", m.what + " is " + hex2(m.actual) + ", expected " + hex2(m.expected));
          const td = m.target === "reg" ? this.cells[m.index] : m.target === "ram" ? this.cells[16 + m.index]
            : m.target === "pc" ? this.pcCell : this.zCell;
          td.classList.add("mismatch");
          td.title = "expected " + hex2(m.expected);
          this.marks.set(td, "expected " + hex2(m.expected));
        }
      }
      const when = add(box, "div", "when");
      add(when, this.subheading(), "", "When a value was written");
      // A click on a cell picks it too; the menu is the keyboard's way.
      const pick = add(when, "label", "", "Steps that wrote ");
      this.whenPick = add(pick, "select");
      add(this.whenPick, "option", "", "(pick a register or a RAM cell)").value = "-1";
      for (let target = 0; target < 272; target++) add(this.whenPick, "option", "", targetName(target)).value = String(target);
      this.whenPick.addEventListener("change", () => {
        const target = Number(this.whenPick.value);
        if (target >= 0) this.select(target);
      });
      this.whenTitle = add(when, "p", "", "Click a register or a RAM cell, or pick one above, to see the steps that wrote it.");
      const nav = add(when, "div", "controls");
      this.prevWrite = button(nav, "< previous write", () => this.toWrite(-1));
      this.nextWrite = button(nav, "next write >", () => this.toWrite(1));
      this.whenList = add(when, "ol");
      this.whenList.setAttribute("aria-label", "Steps that wrote it");
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
          if (this.marks.has(this.cells[i])) this.name(this.cells[i]);
        }
      }
      this.pcCell.textContent = hex2(run.pc[k]);
      this.pcCell.classList.toggle("differs", run.pc[k] !== run.pc[0]);
      this.zCell.textContent = String(run.z[k]);
      this.zCell.classList.toggle("differs", run.z[k] !== run.z[0]);
      for (const e of this.root.querySelectorAll(".changed")) {
        e.classList.remove("changed");
        this.name(e);
      }
      if (k > 0) {
        const changed = [];
        if (run.target[k] >= 0) changed.push(this.cells[run.target[k]]);
        if (run.z[k] !== run.z[k - 1]) changed.push(this.zCell);
        if (run.pc[k] !== ((run.pc[k - 1] + 1) & 255)) changed.push(this.pcCell);
        for (const e of changed) {
          e.classList.add("changed");
          this.name(e);
        }
      }
      this.markLines();
      this.slider.value = String(k);
      const said = this.describe(k);
      this.info.textContent = said;
      this.slider.setAttribute("aria-valuetext", "step " + k + " of " + run.n);
      this.regCaption.textContent = "pc, z and the registers after step " + k;
      this.labelButtons();
      this.markStrip();
      this.showWhen();
      this.announce(said);
    }

    subheading() {
      return this.heading === "h2" ? "h3" : "h4";
    }

    // A cell's name for a screen reader: its value and, in words, what its marks show.
    name(td) {
      const words = [];
      if (td.classList.contains("changed")) words.push("written by this step");
      if (this.marks.has(td)) words.push(this.marks.get(td));
      if (words.length === 0) td.removeAttribute("aria-label");
      else td.setAttribute("aria-label", td.textContent + ", " + words.join(", "));
    }

    // The step each move button goes to, in its name and its tooltip.
    labelButtons() {
      const run = this.run, k = this.cur;
      const to = {
        "|<": 0, "<": Math.max(0, k - 1), ">": Math.min(run.n, k + 1), ">|": run.n,
        "<bp": this.breakpointFrom(k, -1), "bp>": this.breakpointFrom(k, 1),
      };
      for (const label in this.buttons) {
        const [words, key] = this.buttonWords[label];
        let text = words + (label in to ? ", to step " + to[label] : this.playing && this.dir === (label === ">>" ? 1 : -1) ? ", running" : "");
        if (key) text += " (" + key + ")";
        this.buttons[label].setAttribute("aria-label", text);
        this.buttons[label].title = text;
      }
    }

    // Says where a move ended, politely; while running at most once a second.
    announce(text) {
      const now = performance.now();
      if (this.playing && now - this.lastAnnounced < 1000) return;
      this.lastAnnounced = now;
      this.announcer.textContent = text;
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
      const mark = this.lineEls[line].querySelector(".bp-toggle");
      if (mark) mark.setAttribute("aria-pressed", String(on));
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
      this.whenPick.value = String(target);
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
          const li = add(this.whenList, "li");
          button(li, "step " + String(k).padStart(6) + "  " + hex2(a) + "  " +
            hexWord(t.rom[a]) + "  " + t.text[a] + "  -> " + hex2(run.value[k]), () => this.stop(k));
          li.dataset.step = String(k);
        }
      }
      for (const li of this.whenList.children) {
        const here = Number(li.dataset.step) === this.cur;
        li.classList.toggle("current", here);
        if (here) li.firstChild.setAttribute("aria-current", "step");
        else li.firstChild.removeAttribute("aria-current");
      }
      this.prevWrite.disabled = at.before < 0;
      this.nextWrite.disabled = at.after >= list.length;
    }

    stop(k) {
      this.halt();
      this.go(k);
    }

    halt() {
      if (this.playing) cancelAnimationFrame(this.playing);
      const was = this.playing;
      this.playing = 0;
      for (const label of ["<<", ">>"]) {
        this.buttons[label].classList.remove("on");
        this.buttons[label].setAttribute("aria-pressed", "false");
      }
      if (was) {
        this.labelButtons();
        this.announce(this.describe(this.cur));
      }
    }

    // Runs in direction `dir` at the chosen rate, up to an end or a breakpoint.
    play(dir) {
      const running = this.playing && this.dir === dir;
      this.halt();
      if (running) return;
      this.dir = dir;
      this.buttons[dir > 0 ? ">>" : "<<"].classList.add("on");
      this.buttons[dir > 0 ? ">>" : "<<"].setAttribute("aria-pressed", "true");
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
    for (const t of data.traces) viewers.push(new Viewer(add(page, "section"), t, false, "h2"));
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
    const table = add(scroller(page, "Cases"), "table", "cases");
    add(table, "caption", "", "Every case");
    const head = add(add(table, "thead"), "tr");
    for (const h of ["case", "name", "result", "points", "steps"]) add(head, "th", "", h).scope = "col";
    const body = add(table, "tbody");
    for (const c of data.cases) {
      const tr = add(body, "tr");
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
      if (c.trace >= 0) viewers.push(new Viewer(add(page, "section"), data.traces[c.trace], true, "h3"));
    }
  }

  // A bar chart as a table: each row's label, its bar (drawn only) and its value in words.
  function bars(parent, label, columns, rows) {
    const table = add(scroller(parent, label), "table", "bars");
    add(table, "caption", "visually-hidden", label);
    const head = add(add(table, "thead"), "tr");
    for (const h of [columns[0], "bar", columns[1]]) add(head, "th", "", h).scope = "col";
    const body = add(table, "tbody");
    for (const [label, value, max, text] of rows) {
      const tr = add(body, "tr");
      add(tr, "th", "", label).scope = "row";
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
    bars(page, "Pass rate per case", ["case", "passed"], data.cases.map((c, i) => {
      const n = programs.filter((p) => p.verdicts[i] === "pass").length;
      return [(i + 1) + " " + c.name + (c.hidden ? " (hidden)" : ""), n, programs.length, n + "/" + programs.length];
    }));
    add(page, "h2", "", "Points");
    const counts = new Array(data.maxPoints + 1).fill(0);
    for (const p of programs) counts[p.points]++;
    bars(page, "Points", ["points", "programs"], counts.map((n, points) => [points + " points", n, programs.length, plural(n, "program", "programs")]));
    add(page, "h2", "", "Slowest passing programs");
    data.cases.forEach((c, i) => {
      const passing = programs.filter((p) => p.verdicts[i] === "pass").sort((a, b) => b.steps[i] - a.steps[i]).slice(0, 5);
      if (passing.length === 0) return;
      add(page, "h3", "", (i + 1) + " " + c.name + (c.bound ? " (" + c.bound + ")" : ""));
      bars(page, "Slowest passing programs of case " + (i + 1), ["program", "steps"], passing.map((p) => [p.path, p.steps[i], passing[0].steps[i], plural(p.steps[i], "step", "steps")]));
    });
    add(page, "h2", "", "Every program");
    const table = add(scroller(page, "Every program"), "table", "cases");
    add(table, "caption", "visually-hidden", "Every program");
    const head = add(add(table, "thead"), "tr");
    for (const h of ["program", "passed", "points", "page"]) add(head, "th", "", h).scope = "col";
    const body = add(table, "tbody");
    for (const p of programs) {
      const tr = add(body, "tr");
      add(tr, "th", "", p.path).scope = "row";
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
