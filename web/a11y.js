// The accessible view: the workbench's machine, run controls, files and log as plain
// HTML beside the canvas, for a screen reader and the keyboard. It acts through the
// functions web/twin.cpp exports, which call the windows' own operations on the same
// machine, clock and log, and it reads the state back every animation frame while it is
// shown, so the canvas and the view always show the same machine.
//
// Shown or hidden by the "Accessible view" button, the first control of the page; the
// choice is kept in localStorage. Every text from the machine or a file goes in as text.
'use strict';

(function () {
    const STORE = 'kelvane-accessible-view';
    const toggle = document.getElementById('a11y-toggle');
    const view = document.getElementById('a11y-view');
    const canvas = document.getElementById('canvas');
    const hex2 = (v) => (v & 255).toString(16).toUpperCase().padStart(2, '0');
    const hexWord = (w) => w.toString(16).toUpperCase().padStart(w > 0xfffff ? 6 : 5, '0');

    function add(parent, tag, text, attributes) {
        const e = document.createElement(tag);
        if (text !== undefined) e.textContent = text;
        for (const name in attributes || {}) e.setAttribute(name, attributes[name]);
        return parent.appendChild(e);
    }
    // A button that acts once the workbench runs; before, it says so.
    function button(parent, text, action) {
        const b = add(parent, 'button', text, { type: 'button' });
        b.addEventListener('click', () => (ready() ? action() : say('Kelvane is still starting.')));
        return b;
    }
    // A field with its label in front; `id` names it for the label.
    function field(parent, id, label, attributes) {
        const row = add(parent, 'div', undefined, { class: 'a11y-row' });
        add(row, 'label', label, { for: id });
        return { row, input: add(row, 'input', undefined, Object.assign({ id, type: 'text' }, attributes)) };
    }
    function region(title, id) {
        const section = add(view, 'section', undefined, { 'aria-labelledby': id });
        add(section, 'h3', title, { id });
        return section;
    }
    function call(name, result, types, args) {
        return Module.ccall(name, result, types || [], args || []);
    }

    // --- The view's parts, in the Tab order ---
    add(view, 'h2', 'Accessible view', { id: 'a11y-title' });
    add(view, 'p', 'The machine of the workbench as text and buttons. Tab moves through the ' +
        'controls, Enter or Space presses a button; the view takes no other keys. Tab and ' +
        'Shift+Tab leave the canvas too, unless a field of the workbench is being edited: ' +
        'Escape ends the edit first.', { class: 'a11y-help' });

    const machine = region('Machine', 'a11y-machine');
    machine.setAttribute('role', 'region');
    const flags = add(machine, 'p');
    const pcText = add(flags, 'span');
    const registers = add(machine, 'ul', undefined, { class: 'a11y-registers', 'aria-label': 'Registers' });
    const registerItems = [];
    for (let i = 1; i < 16; i++) registerItems[i] = add(registers, 'li');
    const nextText = add(machine, 'p');
    const ramBox = add(machine, 'div', undefined, { class: 'a11y-scroll', tabindex: '0', role: 'region', 'aria-label': 'RAM' });
    const ram = add(ramBox, 'table', undefined, { class: 'a11y-ram' });
    add(ram, 'caption', 'RAM: row + column is the address');
    const ramHead = add(add(ram, 'thead'), 'tr');
    add(ramHead, 'th', 'row', { scope: 'col' });
    for (let c = 0; c < 16; c++) add(ramHead, 'th', '+' + c.toString(16).toUpperCase(), { scope: 'col' });
    const ramBody = add(ram, 'tbody');
    const ramCells = [];
    for (let r = 0; r < 16; r++) {
        const tr = add(ramBody, 'tr');
        add(tr, 'th', r.toString(16).toUpperCase() + '0', { scope: 'row' });
        for (let c = 0; c < 16; c++) ramCells.push(add(tr, 'td'));
    }

    const run = region('Run', 'a11y-run');
    const runRow = add(run, 'div', undefined, { class: 'a11y-row' });
    const stepButton = button(runRow, 'Step', step);
    const runButton = button(runRow, 'Run', () => {
        call('kelvane_twin_run');
        refresh();
    });
    button(runRow, 'Reset CPU', () => {
        call('kelvane_twin_reset');
        refresh();
        say('Reset CPU: pc FF, next ' + describeNext(shown));
    });
    const clocks = field(run, 'a11y-clocks', 'Clocks (steps per second, 1 to 20)',
        { type: 'number', min: '1', max: '20', step: '1' }).input;
    clocks.addEventListener('change', () => {
        if (!ready()) return;
        call('kelvane_twin_clocks', null, ['number'], [Number(clocks.value) || 1]);
        refresh();
    });

    const files = region('Files', 'a11y-files');
    const names = {};
    for (const [memory, which] of [[0, 'ROM'], [1, 'RAM']]) {
        const f = field(files, 'a11y-' + which.toLowerCase() + '-file', which + ' file name', { maxlength: '39', autocomplete: 'off', spellcheck: 'false' });
        names[which] = f.input;
        f.input.addEventListener('input', () => ready() && call('kelvane_twin_file', null, ['number', 'string', 'string'], [memory, 'name', f.input.value]));
        for (const action of ['Load', 'Save', 'Clear']) {
            button(f.row, action + ' ' + which, () => {
                call('kelvane_twin_file', null, ['number', 'string', 'string'], [memory, 'name', f.input.value]);
                const done = call('kelvane_twin_file', 'number', ['number', 'string', 'string'], [memory, action.toLowerCase(), f.input.value]);
                refresh();
                say(!done ? shown.log[0] : action + ' ' + which + (action === 'Clear' ? ': done.' : ': ' + f.input.value + ' done.'));
            });
        }
    }

    const poke = region('Poke', 'a11y-poke');
    const pokes = {};
    for (const [memory, which, what, digits] of [[0, 'ROM', 'word', 5], [1, 'RAM', 'byte', 2]]) {
        const key = which.toLowerCase();
        const address = field(poke, 'a11y-' + key + '-addr', which + ' address (hex)', { maxlength: '2', autocomplete: 'off' });
        const value = field(poke, 'a11y-' + key + '-val', which + ' ' + what + ' (hex)', { maxlength: String(digits), autocomplete: 'off' });
        pokes[which] = { address: address.input, value: value.input };
        button(value.row, 'Poke ' + which, () => {
            const a = parseInt(address.input.value, 16), v = parseInt(value.input.value, 16);
            if (!/^[0-9a-f]{1,2}$/i.test(address.input.value) || !new RegExp('^[0-9a-f]{1,' + digits + '}$', 'i').test(value.input.value)) {
                say('Poke ' + which + ': the address takes 1 or 2 hex digits, the ' + what + ' 1 to ' + digits + '.');
                return;
            }
            call('kelvane_twin_poke', null, ['number', 'number', 'number'], [memory, a, v]);
            refresh();
            say('Poke ' + which + ': ' + hex2(a) + ' is ' + (memory === 0 ? hexWord(v) : hex2(v)) + '.');
        });
    }

    const logRegion = region('Log', 'a11y-log');
    const logList = add(logRegion, 'ul', undefined, { 'aria-label': 'Messages, newest first' });
    button(logRegion, 'Clear log', () => {
        call('kelvane_twin_clear_log');
        refresh();
    });

    const status = add(view, 'p', undefined, { role: 'status', class: 'a11y-said' });

    // --- What the view says ---
    let lastSaid = 0;
    function say(text) {
        status.textContent = text;
        lastSaid = performance.now();
    }
    function describeNext(v) {
        return hex2(v.next.address) + ' ' + v.next.text;
    }

    function step() {
        const said = call('kelvane_twin_step', 'string');
        refresh();
        say(said);
    }

    // --- Showing the state ---
    let shown = null, text = '', haltSaid = false;
    function setField(input, value) {
        if (document.activeElement !== input && input.value !== value) input.value = value;
    }
    // The source line of the next word, when the ROM was assembled in the page's editor.
    function nextSource() {
        const editor = window.kelvaneEditor;
        return editor && editor.nextSource ? editor.nextSource() : null;
    }
    function show(v, source) {
        pcText.textContent = 'pc ' + hex2(v.pc) + ', z ' + v.z + (v.halted ? ', halted' : '');
        for (let i = 1; i < 16; i++) registerItems[i].textContent = 'R' + i.toString(16).toUpperCase() + ' ' + hex2(v.r[i]);
        nextText.textContent = 'Next word: address ' + hex2(v.next.address) + ', word ' + hexWord(v.next.word) + ', ' + v.next.text +
            (source ? '. Source line ' + source.line + ': ' + source.text.trim() : '');
        v.ram.forEach((value, a) => {
            const t = hex2(value);
            if (ramCells[a].textContent !== t) ramCells[a].textContent = t;
        });
        runButton.textContent = v.running ? 'Stop' : 'Run';
        setField(clocks, String(v.clocks));
        setField(names.ROM, v.romFile);
        setField(names.RAM, v.ramFile);
        setField(pokes.ROM.address, hex2(v.romAddr));
        setField(pokes.ROM.value, hexWord(v.romVal));
        setField(pokes.RAM.address, hex2(v.ramAddr));
        setField(pokes.RAM.value, hex2(v.ramVal));
        if (logList.children.length !== v.log.length || v.log.some((m, i) => logList.children[i].textContent !== m)) {
            logList.replaceChildren(...v.log.map((m) => { const li = document.createElement('li'); li.textContent = m; return li; }));
        }
    }
    // Reads the state; says when a run halts or stops, and while it runs a short summary
    // at most once a second.
    function refresh() {
        const now = call('kelvane_twin_view', 'string');
        const source = nextSource();
        const key = source ? now + '\n' + source.line + ':' + source.text : now;
        if (key === text) return;
        const v = JSON.parse(now);
        const before = shown;
        text = key;
        shown = v;
        show(v, source);
        if (!before) return;
        if (v.running && v.halted && !haltSaid) {
            haltSaid = true;
            say('Halted at ' + hex2(v.pc) + ': the JZ jumps onto itself with z set. The run goes on until Stop.');
        } else if (before.running && !v.running) {
            say('Stopped: pc ' + hex2(v.pc) + ', z ' + v.z + ', next ' + describeNext(v) + '.');
        } else if (v.running && performance.now() - lastSaid >= 1000 && !v.halted) {
            say('Running: pc ' + hex2(v.pc) + ', next ' + describeNext(v) + '.');
        }
        if (!v.halted) haltSaid = false;
    }

    function ready() {
        return typeof Module !== 'undefined' && document.body.dataset.state === 'running';
    }
    function frame() {
        if (!view.hidden && ready()) refresh();
        requestAnimationFrame(frame);
    }

    // --- Shown or hidden, and remembered ---
    function showView(on) {
        view.hidden = !on;
        toggle.setAttribute('aria-pressed', String(on));
        document.body.classList.toggle('a11y-on', on);
        try {
            localStorage.setItem(STORE, on ? '1' : '0');
        } catch (e) {
            // Storage refused: the choice lasts while the tab is open.
        }
        window.dispatchEvent(new Event('resize'));  // the canvas follows its new size
    }
    toggle.addEventListener('click', () => showView(view.hidden));
    let remembered = false;
    try {
        remembered = localStorage.getItem(STORE) === '1';
    } catch (e) {
        remembered = false;
    }
    showView(remembered);

    // The workbench takes every key while the canvas has the focus, Tab too, which would
    // hold the focus there for good. Tab goes to the workbench only while one of its text
    // fields is being edited (to move to the next field; Escape ends the edit); otherwise
    // Tab and Shift+Tab leave the canvas as they leave any other control.
    document.addEventListener('keydown', (event) => {
        if (event.target !== canvas || event.key !== 'Tab' || !ready()) return;
        if (!call('kelvane_wants_text', 'number')) event.stopPropagation();
    }, true);

    requestAnimationFrame(frame);
    window.kelvaneTwin = { refresh, step, stepButton };
})();
