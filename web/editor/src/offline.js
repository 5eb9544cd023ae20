// The page without a network: the service worker (sw.js) that keeps its files, and the
// short "Getting started" of a first visit, remembered once dismissed.
const DISMISSED = 'kelvane.gettingStarted.dismissed';

export function registerOffline() {
    if (!('serviceWorker' in navigator)) return;
    navigator.serviceWorker.register('sw.js').catch((e) => console.warn('No offline copy: ' + e));
}

export function gettingStarted() {
    const note = document.createElement('section');
    note.className = 'getting-started';
    note.setAttribute('aria-label', 'Getting started');
    note.innerHTML = '<h2>Getting started</h2><ol>' +
        '<li>Open an example in the editor: Files, then Edit beside examples/multiply.s.</li>' +
        '<li>Press Ctrl+Enter (Cmd+Enter on macOS) to assemble and load it.</li>' +
        '<li>Press "Reset CPU", then "Run", in the workbench.</li></ol>';
    const dismiss = document.createElement('button');
    dismiss.type = 'button';
    dismiss.textContent = 'Dismiss';
    dismiss.addEventListener('click', () => {
        note.hidden = true;
        localStorage.setItem(DISMISSED, '1');
    });
    note.append(dismiss);
    note.hidden = localStorage.getItem(DISMISSED) === '1';
    return note;
}
