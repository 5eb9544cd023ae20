// The editor pane beside the workbench's canvas: a CodeMirror editor of the home folder's
// sources, their diagnostics as one types, "Assemble and load", the source line of the
// machine's next and last word, links that carry a program, and the page's offline files.
//
// It talks to the rest of the page through little: the `Module` that page.js sets up
// (its file system and the functions web/main.cpp exports), the events page.js sends
// ("kelvane:files-ready", and the flag kelvaneFilesReady, once the home folder is in
// place; "kelvane:edit" from the Files list's "Edit"), and the language service of
// ./isa4.js. The split and the fold beside it are page.js's.
import { EditorState, Compartment, StateEffect, StateField } from '@codemirror/state';
import { EditorView, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter,
    hoverTooltip, Decoration, drawSelection } from '@codemirror/view';
import { defaultKeymap, history, historyKeymap, indentWithTab } from '@codemirror/commands';
import { lintGutter, setDiagnostics, forEachDiagnostic } from '@codemirror/lint';
import { autocompletion, completionKeymap } from '@codemirror/autocomplete';
import { searchKeymap } from '@codemirror/search';
import { isa4Language, layerService, learnVocabulary, completionOptions, markdownNodes } from './isa4.js';
import { unitsOf, bytesOf } from './columns.js';
import { packProgram, unpackProgram } from './share.js';
import { registerOffline, gettingStarted } from './offline.js';
import { shownWhileTyping } from './typing.js';

const HOME = '/home/kelvane';
const EXAMPLES = 'examples/';
const CHECK_DELAY = 150;          // ms of quiet before a new mark shows where one types
const QUICK_CHECK = 25;           // ms a check may take and still run at every key
const SAVE_DELAY = 400;           // ms of quiet before the text is saved
const REMEMBERED_FILE = 'kelvane.editor.file';

let service = layerService;       // what answers for the language: see ./isa4.js
let ready = false;                // the workbench's runtime and home folder are there

const pane = document.getElementById('editor-pane');
const ui = {};
const doc = {
    name: null,          // the file in the home folder, or null for a text not yet saved
    suggested: null,     // the name a text not yet saved gets when it is saved
    ram: null,           // RAM data that came with a link, saved beside the source
    readOnly: false,     // an example
    facts: { diagnostics: [], words: [], completions: [] },  // of the text as it is now
    checks: 0,           // texts checked so far (the tests and the benchmark read it)
    lastCheck: null,     // { start, end, settled } of the last check (performance.now()
                         // times; settled: the check after a pause, or of a new text)
    saveTimer: 0,
    dirty: false,        // changed since it was last saved
    loaded: null,        // { source: its lines, lines: address -> line } of the text last loaded
};

// --- Small helpers ---

function element(tag, attributes = {}, ...children) {
    const e = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes)) {
        if (key === 'text') e.textContent = value;
        else e.setAttribute(key, value);
    }
    e.append(...children);
    return e;
}

function say(text, kind = 'info') {
    ui.status.textContent = text;
    ui.status.dataset.kind = kind;
}

function fs() {
    return Module.FS;
}

function exists(name) {
    return fs().analyzePath(HOME + '/' + name).exists;
}

function readText(name) {
    return new TextDecoder().decode(fs().readFile(HOME + '/' + name));
}

// A name the home folder takes for a source: plain, ending in ".s".
function sourceName(text) {
    if (text === null) return null;
    text = text.trim();
    if (text !== '' && !text.endsWith('.s')) text += '.s';
    if (text.length < 3 || text.includes('/') || text.includes('\0') || text.startsWith('.'))
        return null;
    return text;
}

function unusedName(stem) {
    for (let i = 1; ; ++i) {
        const name = stem + (i === 1 ? '' : '-' + i) + '.s';
        if (!exists(name)) return name;
    }
}

// The workbench's functions, with the text passed through the heap: a source may be far
// larger than the stack that ccall's strings use.
function callWithText(fn, before, text, after = []) {
    const size = Module.lengthBytesUTF8(text) + 1;
    const buffer = Module._malloc(size);
    try {
        Module.stringToUTF8(text, buffer, size);
        const types = [...before.map(() => 'string'), 'number', ...after.map(() => 'number')];
        return JSON.parse(Module.ccall(fn, 'string', types, [...before, buffer, ...after]));
    } finally {
        Module._free(buffer);
    }
}

layerService.facts = (text) => callWithText('kelvane_source_facts', [], text);
layerService.hover = (text, line, column) =>
    callWithText('kelvane_source_hover', [], text, [line, column]).text;

// --- Diagnostics, hover and completion ---

// A place of the layer (line from 1, columns from 1 in bytes) as a range of the document.
function markRange(state, line, column, end = column) {
    const l = state.doc.line(Math.min(Math.max(line, 1), state.doc.lines));
    const from = l.from + unitsOf(l.text, Math.max(column, 1));
    const to = l.from + unitsOf(l.text, Math.max(end, column));
    return { from, to: Math.max(to, Math.min(from + 1, l.to)) };
}

const lintSeverity = { error: 'error', warning: 'warning', information: 'info' };
const shownSeverity = { error: 'error', warning: 'warning', information: 'note' };

// When the text is checked: at once, in the task of the key that changed it, where a
// check is quick (a program of some hundred lines), and again once the typing pauses.
// Between the two, a new mark on a line typed on waits (./typing.js). Where a check is
// slow (thousands of lines) only the pause checks; the marks shown meanwhile move with
// the text and the list of problems is marked stale.
const pacing = {
    version: 0,          // changes made to the text
    checked: -1,         // the version the last check saw
    settled: false,      // the last check showed all it found: no mark waits
    typed: [],           // positions typed at since the last pause, kept on the text
    queued: false,       // a quick check will run when the current task ends
    timer: 0,            // the check after the pause
    cost: 0,             // ms the last check took
};

function textChanged(update) {
    pacing.version += 1;
    pacing.typed = pacing.typed.map((pos) => update.changes.mapPos(pos));
    update.changes.iterChangedRanges((fromA, toA, fromB, toB) => pacing.typed.push(fromB, toB));
    clearTimeout(pacing.timer);
    pacing.timer = setTimeout(() => {
        if (pacing.checked === pacing.version && pacing.settled) pacing.typed = [];
        else check(true);
    }, CHECK_DELAY);
    if (pacing.cost <= QUICK_CHECK && !pacing.queued) {
        pacing.queued = true;
        queueMicrotask(() => {
            pacing.queued = false;
            if (pacing.checked !== pacing.version) check(false);
        });
    }
}

// The marks shown now, by line of the text as it is now.
function marksShown(state) {
    const shown = [];
    forEachDiagnostic(state, (d, from) => shown.push({ line: state.doc.lineAt(from).number, message: d.message }));
    return shown;
}

// `settled`: the typing has paused (or a new text came), so every mark shows.
function check(settled) {
    if (!ready) return;
    const start = performance.now();
    const state = view.state;
    const facts = service.facts(state.doc.toString());
    doc.facts = facts;
    let diagnostics = facts.diagnostics;
    if (settled) {
        pacing.typed = [];
    } else {
        const typedLines = new Set(pacing.typed.map((pos) => state.doc.lineAt(pos).number));
        diagnostics = shownWhileTyping(diagnostics, marksShown(state), typedLines);
    }
    const marks = diagnostics.map((d) => ({ ...markRange(state, d.line, d.column, d.end),
        severity: lintSeverity[d.severity] || 'error', message: d.message }));
    view.dispatch(setDiagnostics(state, marks));
    showDiagnostics(state, diagnostics);
    pacing.checked = pacing.version;
    pacing.settled = diagnostics.length === facts.diagnostics.length;
    doc.checks += 1;
    const end = performance.now();
    doc.lastCheck = { start, end, settled };
    pacing.cost = end - start;
}

function showDiagnostics(state, diagnostics) {
    const items = diagnostics.map((d) => {
        const kind = lintSeverity[d.severity] || 'error';
        const item = element('li', { 'data-line': String(d.line), 'class': kind });
        const link = element('button', { type: 'button', text: 'line ' + d.line + ', column ' + d.column });
        link.addEventListener('click', () => goTo(d.line, d.column));
        item.append(link, element('span', { text: (shownSeverity[d.severity] || 'error') + ': ' + d.message }));
        return item;
    });
    ui.problems.replaceChildren(...items);
    ui.problemsTitle.textContent = diagnostics.length === 0 ? 'No problems' :
        diagnostics.length + (diagnostics.length === 1 ? ' problem' : ' problems');
    delete ui.problems.dataset.stale;
}

function goTo(line, column) {
    const { from } = markRange(view.state, line, column);
    view.dispatch({ selection: { anchor: from }, scrollIntoView: true });
    view.focus();
}

// What the layer says of the place under the pointer, in the text as it is now.
const layerHover = hoverTooltip((view, pos) => {
    if (!ready) return null;
    const line = view.state.doc.lineAt(pos);
    const text = service.hover(view.state.doc.toString(), line.number, bytesOf(line.text, pos - line.from));
    if (!text) return null;
    return {
        pos,
        create() {
            const dom = element('div', { 'class': 'kelvane-hover' });
            dom.append(...markdownNodes(text));
            return { dom };
        },
    };
});

function complete(context) {
    const word = context.matchBefore(/\.?[A-Za-z_][A-Za-z0-9_.]*/);
    if (!word || (word.from === word.to && !context.explicit)) return null;
    return { from: word.from, options: completionOptions(doc.facts.completions), validFor: /^\.?[\w.]*$/ };
}

// --- The machine's marks: the next word's line and the line just executed ---

const setMarks = StateEffect.define();
const markField = StateField.define({
    create: () => Decoration.none,
    update(marks, tr) {
        for (const effect of tr.effects) if (effect.is(setMarks)) return effect.value;
        return marks.map(tr.changes);
    },
    provide: (f) => EditorView.decorations.from(f),
});
const nextMark = Decoration.line({ attributes: { 'class': 'kelvane-next', title: 'next word' } });
const doneMark = Decoration.line({ attributes: { 'class': 'kelvane-executed', title: 'executed last' } });
let shownMarks = '';

function followMachine() {
    requestAnimationFrame(followMachine);
    if (!doc.loaded) return;
    const marks = Module.ccall('kelvane_machine_marks', 'number', [], []);
    const same = (marks & 0x100) !== 0;
    const pc = marks & 0xff;
    const next = doc.loaded.lines[(pc + 1) & 0xff] || 0;
    const executed = (marks >> 9) - 1;
    const done = executed >= 0 ? doc.loaded.lines[executed] || 0 : 0;
    const changed = same && doc.loaded.changed;
    const key = same ? next + ':' + done + ':' + changed : '';
    if (key === shownMarks) return;
    const moved = same && shownMarks.split(':')[0] !== String(next);
    shownMarks = key;
    ui.marksNote.hidden = !changed;
    const lines = view.state.doc.lines;
    const ranges = [];
    if (same && done > 0 && done <= lines && done !== next)
        ranges.push(doneMark.range(view.state.doc.line(done).from));
    if (same && next > 0 && next <= lines) ranges.push(nextMark.range(view.state.doc.line(next).from));
    ranges.sort((a, b) => a.from - b.from);
    const effects = [setMarks.of(Decoration.set(ranges))];
    if (moved && next > 0 && next <= lines)
        effects.push(EditorView.scrollIntoView(view.state.doc.line(next).from, { y: 'center' }));
    view.dispatch({ effects });
    pane.dataset.nextLine = same ? String(next) : '';
    pane.dataset.executedLine = same ? String(done) : '';
}

// --- Files ---

const readOnly = new Compartment();
const naming = new Compartment();

// The text's name for a screen reader: the file it is. The text takes the focus with Tab
// like any field (its scroller alone would not), and points at the note on its keys.
function contentAttributes(label) {
    return EditorView.contentAttributes.of({ 'aria-label': label, 'aria-describedby': 'editor-keys', tabindex: '0' });
}

function setText(text, name, readOnlyFile) {
    doc.name = name;
    doc.readOnly = readOnlyFile;
    doc.ram = null;
    doc.suggested = null;
    view.dispatch({
        changes: { from: 0, to: view.state.doc.length, insert: text },
        effects: readOnly.reconfigure(EditorState.readOnly.of(readOnlyFile)),
        selection: { anchor: 0 },
        scrollIntoView: true,
    });
    // The marks and the unsaved state belong to the text that was there.
    doc.loaded = null;
    doc.dirty = false;
    view.dispatch({ effects: setMarks.of(Decoration.none) });
    ui.marksNote.hidden = true;
    shownMarks = '';
    if (name !== null) localStorage.setItem(REMEMBERED_FILE, name);
    showName();
    check(true);
}

function showName() {
    ui.name.textContent = doc.name === null ? doc.suggested + ' (not saved)' :
        doc.name + (doc.readOnly ? ' (read-only)' : '');
    view.dispatch({ effects: naming.reconfigure(contentAttributes('Source ' + ui.name.textContent)) });
    ui.rename.disabled = doc.name === null || doc.readOnly;
}

function openFile(name) {
    flushSave();
    if (!exists(name)) {
        say('There is no ' + name + ' in the home folder.', 'error');
        return;
    }
    setText(readText(name), name, name.startsWith(EXAMPLES));
    say('');
}

function writeSource(name, text) {
    fs().writeFile(HOME + '/' + name, text);
}

// Saves the text now, when there is something to save; false when it could not be.
function flushSave() {
    clearTimeout(doc.saveTimer);
    doc.saveTimer = 0;
    if (doc.readOnly || !view) return true;
    if (doc.name === null) {
        if (!doc.dirty) return true;
        return saveUnsaved(doc.suggested);
    }
    if (!doc.dirty) return true;
    try {
        writeSource(doc.name, view.state.doc.toString());
        doc.dirty = false;
        return true;
    } catch (e) {
        say('Could not save ' + doc.name + ': ' + (e.message || e), 'error');
        return false;
    }
}

// The RAM data that came with a link, as STEM.ram beside the source STEM.s; a file of that
// name already there is kept.
function writeRamBeside(name, ram) {
    if (!ram) return;
    const image = name.slice(0, -2) + '.ram';
    if (exists(image)) return;
    const bytes = new Uint8Array(256);
    bytes.set(ram.subarray(0, 256));
    fs().writeFile(HOME + '/' + image, bytes);
}

// Gives a text not yet saved its name, and its RAM data the name beside it.
function saveUnsaved(name) {
    if (exists(name)) return false;
    writeSource(name, view.state.doc.toString());
    writeRamBeside(name, doc.ram);
    doc.name = name;
    doc.ram = null;
    doc.dirty = false;
    localStorage.setItem(REMEMBERED_FILE, name);
    showName();
    return true;
}

function changed() {
    doc.dirty = true;
    if (doc.loaded) doc.loaded.changed = true;
    ui.problems.dataset.stale = 'true';
    if (doc.readOnly) return;
    clearTimeout(doc.saveTimer);
    doc.saveTimer = setTimeout(flushSave, SAVE_DELAY);
}

function newFile() {
    const name = sourceName(window.prompt('Name of the new source file:', unusedName('program')));
    if (name === null) return;
    if (exists(name)) {
        say(name + ' is already in the home folder.', 'error');
        return;
    }
    flushSave();
    writeSource(name, '');
    setText('', name, false);
    view.focus();
}

function renameFile() {
    if (doc.name === null || doc.readOnly) return;
    const name = sourceName(window.prompt('New name of ' + doc.name + ':', doc.name));
    if (name === null || name === doc.name) return;
    if (exists(name)) {
        say(name + ' is already in the home folder.', 'error');
        return;
    }
    flushSave();
    fs().rename(HOME + '/' + doc.name, HOME + '/' + name);
    doc.name = name;
    localStorage.setItem(REMEMBERED_FILE, name);
    showName();
}

function saveAs() {
    const proposed = doc.name === null ? doc.suggested : doc.name.slice(doc.name.lastIndexOf('/') + 1);
    const name = sourceName(window.prompt('Save as:', exists(proposed) ? unusedName(proposed.slice(0, -2)) : proposed));
    if (name === null) return;
    if (exists(name) && !window.confirm('Replace ' + name + ' in the home folder?')) return;
    flushSave();
    // A copy of an example takes the example's RAM data along.
    let ram = doc.ram;
    if (ram === null && doc.readOnly) {
        const image = doc.name.slice(0, -2) + '.ram';
        if (exists(image)) ram = fs().readFile(HOME + '/' + image);
    }
    writeSource(name, view.state.doc.toString());
    writeRamBeside(name, ram);
    doc.name = name;
    doc.readOnly = false;
    doc.dirty = false;
    doc.ram = null;
    view.dispatch({ effects: readOnly.reconfigure(EditorState.readOnly.of(false)) });
    localStorage.setItem(REMEMBERED_FILE, name);
    showName();
}

// --- Assemble and load, Load RAM data ---

function assembleAndLoad() {
    if (doc.name === null && !saveUnsaved(doc.suggested)) return;
    if (!flushSave()) return;
    const text = view.state.doc.toString();
    const result = callWithText('kelvane_assemble_and_load', [doc.name], text, [doc.readOnly ? 0 : 1]);
    doc.facts = result;
    showDiagnostics(view.state, result.diagnostics);
    if (result.loaded) {
        const lines = new Array(256).fill(0);
        for (const [address, line] of result.words) lines[address] = line;
        doc.loaded = { source: text.split('\n'), lines, changed: false };
        shownMarks = 'new';
        say(result.message);
    } else {
        say(result.message, 'error');
        const first = result.diagnostics.find((d) => d.severity === 'error');
        if (first) goTo(first.line, first.column);
    }
}

function loadRamData() {
    if (doc.name === null) {
        say('Save the program first: its RAM data is the .ram file beside it.', 'error');
        return;
    }
    const result = Module.ccall('kelvane_load_ram_beside', 'string', ['string'], [doc.name]);
    const answer = JSON.parse(result);
    say(answer.message, answer.loaded ? 'info' : 'error');
}

// --- Trace: the time-travel page of the run, in a new tab ---

function trace() {
    if (doc.name === null && !saveUnsaved(doc.suggested)) return;
    if (!flushSave()) return;
    const result = callWithText('kelvane_trace_page', [doc.name], view.state.doc.toString());
    if (!result.html) {
        say(result.message, 'error');
        return;
    }
    const address = URL.createObjectURL(new Blob([result.html], { type: 'text/html' }));
    const tab = window.open(address, '_blank');
    setTimeout(() => URL.revokeObjectURL(address), 60000);
    say(tab ? result.message : result.message + ': the browser kept the new tab from opening.');
}

// --- Share ---

async function share() {
    let ram = null;
    if (doc.name !== null) {
        const image = doc.name.slice(0, -2) + '.ram';
        if (exists(image)) ram = fs().readFile(HOME + '/' + image);
    } else if (doc.ram) {
        ram = doc.ram;
    }
    const fragment = await packProgram(view.state.doc.toString(), ram);
    const link = location.href.replace(/#.*$/, '') + '#' + fragment;
    ui.link.value = link;
    ui.link.hidden = false;
    ui.link.select();
    try {
        await navigator.clipboard.writeText(link);
        say('The link is copied: it holds the program' + (ram ? ' and its RAM data.' : '.'));
    } catch (e) {
        say('Copy the link from the field below the buttons.');
    }
}

async function openLink() {
    if (!location.hash) return false;
    const program = await unpackProgram(location.hash);
    if (program === null) return false;
    if (program.error) {
        say(program.error, 'error');
        return false;
    }
    flushSave();
    setText(program.source, null, false);
    doc.suggested = unusedName('shared');
    doc.ram = program.ram;
    doc.dirty = false;
    showName();
    window.history.replaceState(null, '', location.href.replace(/#.*$/, ''));
    say('A program from a link: it is saved as ' + doc.suggested + ' once you change or assemble it.');
    return true;
}

// --- The pane ---

function buildPane() {
    const bar = element('div', { 'class': 'editor-bar' });
    ui.name = element('span', { 'class': 'editor-name', 'aria-live': 'polite' });
    const make = (label, action, title) => {
        const b = element('button', { type: 'button', text: label });
        if (title) b.title = title;
        b.addEventListener('click', action);
        bar.append(b);
        return b;
    };
    ui.assemble = make('Assemble and load', assembleAndLoad, 'Ctrl+Enter (Cmd+Enter on macOS)');
    make('Load RAM data', loadRamData, 'Loads the .ram file beside the source into RAM');
    make('Trace', trace, 'A page that steps back and forth through the run, in a new tab');
    make('New file', newFile);
    ui.rename = make('Rename', renameFile);
    make('Save as', saveAs);
    make('Share', share, 'A link that holds this program');
    ui.link = element('input', { type: 'text', readonly: '', 'class': 'editor-link', 'aria-label': 'Link to this program' });
    ui.link.hidden = true;
    ui.status = element('p', { 'class': 'editor-status', role: 'status' });
    ui.marksNote = element('p', { 'class': 'editor-marks-note',
        text: 'The marks are for the text as it was loaded: assemble and load it again to follow the new text.' });
    ui.marksNote.hidden = true;
    ui.keys = element('p', { 'class': 'editor-keys', id: 'editor-keys',
        text: 'Tab indents. Escape then Tab leaves the text; Ctrl+M (Shift+Alt+M on macOS) makes Tab leave it until pressed again.' });
    ui.host = element('div', { 'class': 'editor-host' });
    ui.problemsTitle = element('h2', { text: 'No problems' });
    ui.problems = element('ul', { 'class': 'editor-problems', 'aria-label': 'Problems' });
    const problems = element('section', { 'class': 'editor-problems-box' }, ui.problemsTitle, ui.problems);
    pane.append(gettingStarted(), ui.name, bar, ui.link, ui.status, ui.marksNote, ui.keys, ui.host, problems);
}

let view;

// Ctrl+Alt with an arrow moves through a table's cells in screen readers (NVDA, JAWS,
// Orca): the editor leaves those keys alone (it would add a cursor above or below), and
// their Cmd+Option twins on macOS too, for the same keys on every system.
function freeForScreenReaders(binding) {
    return !/^Mod-Alt-Arrow|^Ctrl-Alt-Arrow/.test(binding.key || '');
}

function buildEditor() {
    const run = () => {
        assembleAndLoad();
        return true;
    };
    view = new EditorView({
        parent: ui.host,
        state: EditorState.create({
            doc: '',
            extensions: [
                lineNumbers(), highlightActiveLineGutter(), highlightActiveLine(), drawSelection(),
                history(), isa4Language(), readOnly.of(EditorState.readOnly.of(false)),
                naming.of(contentAttributes('Source')),
                keymap.of([{ key: 'Mod-Enter', run, preventDefault: true }, ...completionKeymap,
                    ...searchKeymap, ...historyKeymap, ...defaultKeymap.filter(freeForScreenReaders),
                    indentWithTab]),
                lintGutter(), layerHover,
                autocompletion({ override: [complete] }), markField,
                EditorView.updateListener.of((update) => {
                    if (update.docChanged) {
                        textChanged(update);
                        changed();
                    }
                }),
                EditorView.theme({}, { dark: true }),
            ],
        }),
    });
    window.kelvaneEditor = {
        view,
        get checks() { return doc.checks; },
        get lastCheck() { return doc.lastCheck; },
        get name() { return doc.name; },
        useService(other) { service = other; },
        // The source line of the next word (pc + 1), while the machine's ROM is the one
        // assembled from this editor's text: { line, text } of the text as it was loaded.
        nextSource() {
            if (!doc.loaded || !ready) return null;
            const marks = Module.ccall('kelvane_machine_marks', 'number', [], []);
            if ((marks & 0x100) === 0) return null;
            const line = doc.loaded.lines[((marks & 0xff) + 1) & 0xff];
            if (!line) return null;
            return { line, text: (doc.loaded.source[line - 1] || '').replace(/\r$/, '') };
        },
    };
}

async function start() {
    ready = true;
    // The words to highlight, from the layer, before the first text is shown.
    learnVocabulary(service.facts('').completions);
    const remembered = localStorage.getItem(REMEMBERED_FILE);
    const fromLink = await openLink();
    if (!fromLink) {
        if (remembered && exists(remembered)) openFile(remembered);
        else openFile(EXAMPLES + 'multiply.s');
    }
    performance.mark('editor-ready');  // scripts/bench-web measures up to here
    requestAnimationFrame(followMachine);
}

buildPane();
buildEditor();
registerOffline();
document.addEventListener('kelvane:edit', (event) => openFile(event.detail));
// page.js loads this pane once the workbench has drawn its first frame and the home
// folder is in place; the event is for a page that would load it sooner.
if (window.kelvaneFilesReady) start();
else document.addEventListener('kelvane:files-ready', start, { once: true });
// A link pasted into the address bar of the open page changes only the fragment.
window.addEventListener('hashchange', () => { if (ready) openLink(); });
window.addEventListener('pagehide', () => flushSave());
