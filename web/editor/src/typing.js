// What a check made while the student types shows at once, and what waits for a pause.
//
// The editor checks the text at every key where a check is quick, so that a mark that no
// longer holds goes with the key that fixed it. A new mark on a line being typed on would
// flag a word half typed ("AD" on its way to "ADDI"): it waits until the typing pauses.

// The fresh diagnostics ({ line, message }, lines from 1) to show while the student is
// still typing: all of those away from the lines typed on since the last pause, and on
// those lines only what is already shown there (the same message on the same line).
export function shownWhileTyping(fresh, shown, typedLines) {
    const before = new Set(shown.map((d) => d.line + '\n' + d.message));
    return fresh.filter((d) => !typedLines.has(d.line) || before.has(d.line + '\n' + d.message));
}
