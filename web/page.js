// The page around the canvas: the home folder kept in the browser's IndexedDB, the
// examples beside it, the files list with "Open files…", Download and Delete, the
// messages, and the split between the canvas and the editor pane. Loads kelvane.js (the
// workbench, built by emscripten) at once, and the editor pane's editor.js once the
// workbench has drawn its first frame, so that the canvas comes first. Where the browser
// offers no WebGL 2 the workbench says so (web/main.cpp) and the page shows it.
//
// The home folder (/home/kelvane) is the workbench's working directory: the panels'
// file names and Dear ImGui's imgui.ini live there. It is read from IndexedDB before the
// workbench starts and written back after every file written, renamed or removed in it,
// once the frame that did it has ended. Where IndexedDB is missing or refuses a write,
// the page says once that files last only while the tab is open, and every save it
// could not keep is logged in the "Logger" window as a failed save.
'use strict';

const HOME = '/home/kelvane';
const EXAMPLES = 'examples';          // in the home folder, read-only, never stored
const PRELOADED_EXAMPLES = '/examples';  // where kelvane.data puts them
const MAX_FILE_SIZE = 1 << 20;        // as max_home_file_size in web/home_files.h
const LAYOUT_FILE = 'imgui.ini';      // Dear ImGui's own: its writes are not logged

const page = {
    canvas: document.getElementById('canvas'),
    status: document.getElementById('status'),
    notice: document.getElementById('notice'),
    fatal: document.getElementById('fatal'),
    messages: document.getElementById('messages'),
    messageText: document.getElementById('message-text'),
    fileList: document.getElementById('file-list'),
    picker: document.getElementById('picker'),
};

// --- Messages ---

// Every text from the workbench or about a file goes in as text, never as markup.
function showMessages(text) {
    if (!text) return;
    page.messageText.textContent = text;
    page.messages.hidden = false;
}

function fail(text) {
    page.fatal.textContent = text;
    page.fatal.hidden = false;
    page.canvas.hidden = true;
    page.status.textContent = '';
    document.body.dataset.state = 'failed';
}

// --- The home folder and its storage ---

const storage = {
    reason: null,        // why IndexedDB cannot keep the files, once it is known
    syncing: false,      // a sync with IndexedDB is under way
    queued: false,       // a sync will start when the current task ends
    again: false,        // a write came while syncing: sync once more after it
    written: new Set(),  // names written since the last sync
};

function fs() {
    return Module.FS;
}

// The name in the home folder of a path that the system calls hand over, absolute or
// relative to the working directory; null for a path elsewhere.
function inHome(path) {
    if (typeof path !== 'string') return null;
    if (!path.startsWith('/')) path = fs().cwd() + '/' + path.replace(/^(\.\/)+/, '');
    const prefix = HOME + '/';
    return path.startsWith(prefix) ? path.slice(prefix.length) : null;
}

function isRegularFile(path) {
    try {
        return fs().isFile(fs().stat(path).mode);
    } catch (e) {
        return false;
    }
}

function storageLost(reason) {
    if (storage.reason !== null) return;
    storage.reason = reason;
    page.notice.textContent = 'Your files will last only while this tab is open: ' +
        'the browser does not let this page keep them (' + reason + ').';
    page.notice.hidden = false;
}

function describe(error) {
    if (!error) return 'unknown error';
    if (error.name && error.message) return error.name + ': ' + error.message;
    return String(error.name || error.message || error);
}

// Saves the storage could not keep go to the "Logger" window, as a failed save does.
function reportRefused(names) {
    for (const name of names) {
        if (name === LAYOUT_FILE || !isRegularFile(HOME + '/' + name)) continue;
        Module.ccall('kelvane_storage_refused', null, ['string', 'string'], [name, storage.reason]);
    }
}

function syncHome() {
    if (storage.syncing) {
        storage.again = true;
        return;
    }
    const written = Array.from(storage.written);
    storage.written.clear();
    if (storage.reason !== null) {
        reportRefused(written);
        listFiles();
        return;
    }
    storage.syncing = true;
    fs().syncfs(false, (error) => {
        storage.syncing = false;
        if (error) {
            storageLost(describe(error));
            reportRefused(written);
        }
        listFiles();
        if (storage.again) {
            storage.again = false;
            syncHome();
        }
    });
}

// Called for every change in the home folder: the sync runs once the current task (the
// frame, or the page's own handler) has finished, so that a save's rename is complete.
function homeChanged(name) {
    if (name !== null) {
        if (name === EXAMPLES || name.startsWith(EXAMPLES + '/')) return;
        storage.written.add(name);
    }
    if (storage.queued) return;
    storage.queued = true;
    queueMicrotask(() => {
        storage.queued = false;
        syncHome();
    });
}

// Notes the home folder's writes, renames and removals, whoever makes them.
function watchHome(FS) {
    const close = FS.close;
    FS.close = function (stream) {
        const writing = (stream.flags & 3) !== 0;  // O_WRONLY or O_RDWR
        const name = inHome(stream.path);
        const result = close.apply(this, arguments);
        if (writing && name !== null) homeChanged(name);
        return result;
    };
    const rename = FS.rename;
    FS.rename = function (from, to) {
        const result = rename.apply(this, arguments);
        storage.written.delete(inHome(from));
        const name = inHome(to);
        if (name !== null) homeChanged(name);
        return result;
    };
    const unlink = FS.unlink;
    FS.unlink = function (path) {
        const result = unlink.apply(this, arguments);
        if (inHome(path) !== null) homeChanged(null);
        return result;
    };
}

// The examples never go to IndexedDB, and a stored copy never comes back over them.
function keepExamplesOut(IDBFS) {
    const getLocalSet = IDBFS.getLocalSet;
    IDBFS.getLocalSet = function (mount, callback) {
        getLocalSet(mount, (error, set) => {
            if (!error) {
                const examples = HOME + '/' + EXAMPLES;
                for (const path of Object.keys(set.entries))
                    if (path === examples || path.startsWith(examples + '/')) delete set.entries[path];
            }
            callback(error, set);
        });
    };
}

// As soon as kelvane.js has run, while the WebAssembly compiles: the home folder's
// database opened, so that reading it before main() waits the less. Its files cannot
// go into the file system yet: file data needs the WebAssembly's memory.
function openHomeEarly() {
    if (typeof indexedDB === 'undefined' || indexedDB === null) return;
    fs().filesystems.IDBFS.getDB(HOME, () => {});  // a failure shows when it is read
}

// Before main(): the home folder mounted, filled from IndexedDB and made the working
// directory.
function mountHome() {
    const FS = fs();
    const IDBFS = FS.filesystems.IDBFS;
    FS.mkdir(HOME);
    FS.mount(IDBFS, {}, HOME);
    FS.chdir(HOME);
    keepExamplesOut(IDBFS);
    watchHome(FS);
    // IDBFS aborts the whole program where there is no IndexedDB at all.
    if (typeof indexedDB === 'undefined' || indexedDB === null) {
        storageLost('no IndexedDB');
        return;
    }
    // Files restored now are written back only once the whole folder has been read: a
    // write-back from a half-read folder would delete the rest from IndexedDB.
    Module.addRunDependency('home folder');
    storage.syncing = true;
    FS.syncfs(true, (error) => {
        storage.syncing = false;
        storage.written.clear();
        storage.again = false;
        if (error) storageLost(describe(error));
        Module.removeRunDependency('home folder');
    });
}

// The examples, read-only, as examples/ in the home folder.
function placeExamples() {
    const FS = fs();
    const folder = HOME + '/' + EXAMPLES;
    if (!FS.analyzePath(folder).exists) FS.mkdir(folder);
    for (const name of FS.readdir(PRELOADED_EXAMPLES)) {
        if (name === '.' || name === '..') continue;
        const path = folder + '/' + name;
        FS.writeFile(path, FS.readFile(PRELOADED_EXAMPLES + '/' + name));
        FS.chmod(path, 0o444);
    }
    FS.chmod(folder, 0o555);
    listFiles();
    // The editor pane may come later than this: it reads the flag, or hears the event.
    window.kelvaneFilesReady = true;
    document.dispatchEvent(new Event('kelvane:files-ready'));
}

// --- The files list ---

function button(label, description, action) {
    const b = document.createElement('button');
    b.type = 'button';
    b.textContent = label;
    b.setAttribute('aria-label', label + ' ' + description);
    b.addEventListener('click', action);
    return b;
}

function fileEntry(name, path, deletable) {
    const item = document.createElement('li');
    const label = document.createElement('span');
    label.className = 'name';
    label.textContent = name;
    const size = document.createElement('span');
    size.className = 'size';
    size.textContent = fs().stat(path).size + ' bytes';
    item.append(label, size);
    // Sources open in the editor pane (web/editor/).
    if (name.endsWith('.s'))
        item.append(button('Edit', name, () => {
            document.getElementById('files').open = false;
            document.dispatchEvent(new CustomEvent('kelvane:edit', { detail: name }));
        }));
    item.append(button('Download', name, () => download(name, path)));
    if (deletable) item.append(button('Delete', name, () => deleteFile(name)));
    return item;
}

function listFiles() {
    if (!Module.FS) return;
    const FS = fs();
    const items = [];
    const names = (folder) => FS.readdir(folder).filter((n) => n !== '.' && n !== '..').sort();
    for (const name of names(HOME))
        if (isRegularFile(HOME + '/' + name)) items.push(fileEntry(name, HOME + '/' + name, true));
    const examples = HOME + '/' + EXAMPLES;
    if (FS.analyzePath(examples).exists)
        for (const name of names(examples))
            items.push(fileEntry(EXAMPLES + '/' + name, examples + '/' + name, false));
    page.fileList.replaceChildren(...items);
    if (typeof refreshChecks === 'function') refreshChecks();  // check.js
}

function download(name, path) {
    const blob = new Blob([fs().readFile(path)], { type: 'application/octet-stream' });
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name.slice(name.lastIndexOf('/') + 1);
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

function deleteFile(name) {
    if (!window.confirm('Delete ' + name + ' from the home folder?')) return;
    showMessages(Module.ccall('kelvane_delete_file', 'string', ['string'], [name]));
    listFiles();
}

// --- Adding files: "Open files…" and dropping them on the page ---

function exists(name) {
    return fs().analyzePath(HOME + '/' + name).exists;
}

async function addFile(file) {
    const name = file.name;
    if (file.size > MAX_FILE_SIZE)
        return Module.ccall('kelvane_add_file', 'string', ['string', 'number', 'number'],
            [name, 0, file.size]);
    const targets = [name];
    if (name.length > 2 && name.endsWith('.s')) targets.push(name.slice(0, -2) + '.rom');
    const existing = targets.filter(exists);
    if (existing.length > 0 &&
        !window.confirm('Replace ' + existing.join(' and ') + ' in the home folder?'))
        return '';
    const bytes = new Uint8Array(await file.arrayBuffer());
    const buffer = Module._malloc(Math.max(bytes.length, 1));
    Module.HEAPU8.set(bytes, buffer);
    try {
        return Module.ccall('kelvane_add_file', 'string', ['string', 'number', 'number'],
            [name, buffer, bytes.length]);
    } finally {
        Module._free(buffer);
    }
}

async function addFiles(files) {
    let text = '';
    for (const file of Array.from(files)) text += await addFile(file);
    showMessages(text);
    listFiles();
}

document.getElementById('open').addEventListener('click', () => page.picker.click());
page.picker.addEventListener('change', () => {
    addFiles(page.picker.files).finally(() => { page.picker.value = ''; });
});
document.addEventListener('dragover', (event) => event.preventDefault());
document.addEventListener('drop', (event) => {
    event.preventDefault();
    if (Module.FS && event.dataTransfer) addFiles(event.dataTransfer.files);
});
document.getElementById('dismiss').addEventListener('click', () => {
    page.messages.hidden = true;
    page.canvas.focus();
});
// Keys reach the workbench while the canvas has the focus; a click gives it.
page.canvas.addEventListener('mousedown', () => page.canvas.focus());
page.canvas.addEventListener('contextmenu', (event) => event.preventDefault());

// --- The split between the canvas and the editor pane ---

// Set before the workbench starts, so that its first frame has the canvas's final size.
const REMEMBERED_WIDTH = 'kelvane.editor.width';
const REMEMBERED_FOLDED = 'kelvane.editor.folded';

function buildSplit() {
    const splitter = document.getElementById('splitter');
    const fold = document.getElementById('editor-fold');
    const resized = () => window.dispatchEvent(new Event('resize'));
    const width = Number(localStorage.getItem(REMEMBERED_WIDTH));
    if (width > 0) document.documentElement.style.setProperty('--editor-width', width + 'px');
    const setFolded = (folded) => {
        document.body.dataset.editor = folded ? 'folded' : 'open';
        fold.textContent = folded ? 'Show editor' : 'Hide editor';
        fold.setAttribute('aria-expanded', String(!folded));
        localStorage.setItem(REMEMBERED_FOLDED, folded ? '1' : '');
        resized();
    };
    setFolded(localStorage.getItem(REMEMBERED_FOLDED) === '1');
    fold.addEventListener('click', () => setFolded(document.body.dataset.editor !== 'folded'));
    splitter.addEventListener('pointerdown', (event) => {
        splitter.setPointerCapture(event.pointerId);
        const move = (e) => {
            const w = Math.round(Math.min(Math.max(window.innerWidth - e.clientX, 240), window.innerWidth - 240));
            document.documentElement.style.setProperty('--editor-width', w + 'px');
            localStorage.setItem(REMEMBERED_WIDTH, String(w));
            resized();
        };
        const up = () => {
            splitter.removeEventListener('pointermove', move);
            splitter.removeEventListener('pointerup', up);
        };
        splitter.addEventListener('pointermove', move);
        splitter.addEventListener('pointerup', up);
    });
}

buildSplit();

// --- Start ---

function loadScript(src, failed) {
    const script = document.createElement('script');
    script.src = src;
    script.onerror = failed;
    document.body.append(script);
}

var Module = {
    canvas: page.canvas,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    preInit: [openHomeEarly],
    preRun: [mountHome],
    firstFrameDrawn: () => {
        performance.mark('first-frame');  // scripts/bench-web measures up to here
        // Nothing before the first frame reads the examples or the files list.
        placeExamples();
        page.status.textContent = '';
        document.body.dataset.state = 'running';
        // With the accessible view shown, the focus stays at the top of the page.
        if (document.getElementById('a11y-view').hidden) page.canvas.focus();
        // The workbench runs on without it.
        loadScript('editor.js', () => showMessages('The editor pane did not load (editor.js).'));
    },
    startUpFailed: (reason) => fail('Kelvane cannot start: ' + reason + '.'),
    onAbort: (what) => fail('Kelvane stopped: ' + what),
};

page.status.textContent = 'Loading Kelvane…';
loadScript('kelvane.js', () => fail('Kelvane cannot start: kelvane.js did not load.'));
