// "Check": a program of the home folder graded against a suite the student opened, by
// the grader of `isa4 test` built into the page, and the feedback page that
// `isa4 test --feedback` writes for it opened in a new tab. The suite grades only the
// cases it holds: a course's hidden cases are never in a suite handed to students.
//
// checkProgram() is the whole operation; the form around it only picks the names. A
// program that is no file yet (an editor's text) is passed as `programText` and graded
// from a scratch copy outside the home folder.
'use strict';

const CHECK_SCRATCH = '/tmp/check';

const check = {
    panel: document.getElementById('check'),
    form: document.getElementById('check-form'),
    suite: document.getElementById('check-suite'),
    program: document.getElementById('check-program'),
    run: document.getElementById('check-run'),
    result: document.getElementById('check-result'),
    url: null,  // the last page's Blob URL, kept for its tab until the next check
};

// The regular files of the home folder and of its examples folder whose names end in
// one of `endings`, as names relative to the home folder.
function homeFiles(endings) {
    const FS = Module.FS;
    const found = [];
    const look = (folder, prefix) => {
        if (!FS.analyzePath(folder).exists) return;
        for (const name of FS.readdir(folder).sort()) {
            if (!endings.some((e) => name.length > e.length && name.endsWith(e))) continue;
            const mode = FS.stat(folder + '/' + name).mode;
            if (FS.isFile(mode)) found.push(prefix + name);
        }
    };
    look(HOME, '');
    look(HOME + '/' + EXAMPLES, EXAMPLES + '/');
    return found;
}

// Fills a select with `names`, keeping the chosen one where it is still there.
function fillChoices(select, names, none) {
    const chosen = select.value;
    const options = names.map((name) => new Option(name, name, false, name === chosen));
    if (options.length === 0) {
        const empty = new Option(none, '');
        empty.disabled = true;
        options.push(empty);
    }
    select.replaceChildren(...options);
}

// The program choice that stands for the editor's text as it is now, saved or not.
const EDITOR_TEXT = ':editor';

function refreshChecks() {
    if (!Module.FS) return;
    fillChoices(check.suite, homeFiles(['.suite']), 'No .suite file: open one with “Open files…”');
    fillChoices(check.program, homeFiles(['.s', '.rom']), 'No .s or .rom file');
    const editor = window.kelvaneEditor;
    if (editor) {
        const chosen = check.program.dataset.chosen === EDITOR_TEXT;
        const option = new Option('The editor’s text' + (editor.name ? ' (' + editor.name + ')' : ''),
            EDITOR_TEXT, false, chosen);
        if (check.program.options.length === 1 && check.program.options[0].value === '')
            check.program.replaceChildren(option);
        else check.program.prepend(option);
        if (chosen || !check.program.value) check.program.value = EDITOR_TEXT;
    }
    check.run.disabled = check.suite.value === '' || check.program.value === '';
}

check.program.addEventListener('change', () => {
    check.program.dataset.chosen = check.program.value;
});

// What the page's data says of the program: "passes 2 of 3 cases, 20 of 30 points".
function verdictLine(html) {
    const doc = new DOMParser().parseFromString(html, 'text/html');
    const data = JSON.parse(doc.getElementById('data').textContent);
    if (!data.graded) return data.program + ': ' + data.failure;
    return data.program + ' passes ' + data.passed + ' of ' + data.cases.length +
        ' cases, ' + data.points + ' of ' + data.maxPoints + ' points';
}

// Grades a program against the suite `suiteName` (a path in the page's file system,
// relative to the home folder) and opens its feedback page in a new tab. The program is
// the file `programName`, or, with `programText`, that text under the name
// `programName` (by default "program.s"). Returns {page, text, url}: `page` when the
// page was made (`text` its HTML, `url` its Blob URL), else `text` says why not.
function checkProgram({ suiteName, programName, programText }) {
    let program = programName;
    if (programText !== undefined) {
        const FS = Module.FS;
        const base = (programName || 'program.s').replace(/^.*\//, '') || 'program.s';
        if (!FS.analyzePath(CHECK_SCRATCH).exists) FS.mkdirTree(CHECK_SCRATCH);
        program = CHECK_SCRATCH + '/' + base;
        FS.writeFile(program, programText);
    }
    const out = Module.ccall('kelvane_check', 'string', ['string', 'string'], [suiteName, program]);
    const newline = out.indexOf('\n');
    const made = out.slice(0, newline) === 'page';
    const text = out.slice(newline + 1);
    if (!made) return { page: false, text: text, url: null };
    if (check.url) URL.revokeObjectURL(check.url);
    check.url = URL.createObjectURL(new Blob([text], { type: 'text/html' }));
    return { page: true, text: text, url: check.url };
}

function showCheck(outcome) {
    if (!outcome.page) {
        check.result.textContent = '';
        showMessages(outcome.text);
        return;
    }
    const tab = window.open(outcome.url, '_blank');
    const line = document.createElement('span');
    line.textContent = verdictLine(outcome.text) + '. ';
    const link = document.createElement('a');
    link.href = outcome.url;
    link.target = '_blank';
    link.textContent = tab ? 'Open the feedback page again' : 'Open the feedback page';
    check.result.replaceChildren(line, link);
}

check.panel.addEventListener('toggle', refreshChecks);
check.form.addEventListener('submit', (event) => {
    event.preventDefault();
    if (!Module.FS || check.suite.value === '' || check.program.value === '') return;
    const editor = window.kelvaneEditor;
    if (check.program.value === EDITOR_TEXT && editor) {
        showCheck(checkProgram({
            suiteName: check.suite.value,
            programName: editor.name || 'program.s',
            programText: editor.view.state.doc.toString(),
        }));
        return;
    }
    showCheck(checkProgram({ suiteName: check.suite.value, programName: check.program.value }));
});
