// The isa4 language for the editor: highlighting, and the language service that answers
// what the workbench's language layer (the one `isa4 asm` and `isa4 lsp` use) makes of a
// text. Nothing about the language is written here twice: the words highlighted as
// mnemonics and registers are the ones the layer offers for completion.
//
// The service is the one place that asks the workbench's WebAssembly:
//   facts(text)  gives { diagnostics: [{line, column, end, severity, message}],
//                words: [[address, line, word]], completions: [{label, insert, kind, detail}] },
//                lines from 1, columns from 1 in bytes of the line, `end` past the range,
//                severity "error", "warning" or "information";
//   hover(text, line, column)  gives the Markdown the layer shows there, or ''.
// Another service with the same two functions (a language server's, say) can take its place.
import { StreamLanguage, HighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { tags } from '@lezer/highlight';

// Filled from the layer's completions by `learnVocabulary`, before any text is shown.
const vocabulary = { mnemonic: new Set(), register: new Set() };

export function learnVocabulary(completions) {
    for (const c of completions) {
        const set = vocabulary[c.kind];
        if (set) set.add(c.label.split(/[\s\[]/)[0].toLowerCase());
    }
}

const directive = /^\.[a-z_][a-z0-9_]*/i;
const number = /^(-|\+)?(0x[0-9a-f_]+|0b[01_]+|0o[0-7_]+|[0-9][0-9_]*)\b/i;
const label = /^[a-z_][a-z0-9_.]*(?=\s*:)/i;
const name = /^[a-z_][a-z0-9_.]*/i;

const isa4Stream = StreamLanguage.define({
    name: 'isa4',
    token(stream) {
        if (stream.eatSpace()) return null;
        if (stream.peek() === ';') {
            stream.skipToEnd();
            return 'comment';
        }
        if (stream.match(directive)) return 'meta';
        if (stream.match(number)) return 'number';
        if (stream.match(label)) return 'labelName';
        const word = stream.match(name);
        if (word) {
            const key = word[0].toLowerCase();
            if (vocabulary.mnemonic.has(key)) return 'keyword';
            if (vocabulary.register.has(key)) return 'variableName.special';
            return 'variableName';
        }
        if (stream.match(/^[\[\]]/)) return 'bracket';
        stream.next();
        return 'punctuation';
    },
    languageData: { commentTokens: { line: ';' } },
});

const isa4Colours = HighlightStyle.define([
    { tag: tags.keyword, color: '#ffcb6b', fontWeight: 'bold' },
    { tag: tags.special(tags.variableName), color: '#82aaff' },
    { tag: tags.meta, color: '#c792ea' },
    { tag: tags.number, color: '#f78c6c' },
    { tag: tags.labelName, color: '#c3e88d' },
    { tag: tags.comment, color: '#8a919c', fontStyle: 'italic' },
    { tag: tags.variableName, color: '#e8e8e8' },
]);

export function isa4Language() {
    return [isa4Stream, syntaxHighlighting(isa4Colours)];
}

// The language layer compiled into the page, asked through the functions web/main.cpp
// exports (main.js passes the text through the heap).
export const layerService = {
    facts(text) {
        return JSON.parse(Module.ccall('kelvane_source_facts', 'string', ['string'], [text]));
    },
    hover(text, line, column) {
        return JSON.parse(Module.ccall('kelvane_source_hover', 'string', ['string', 'number', 'number'],
            [text, line, column])).text;
    },
};

const completionTypes = { mnemonic: 'keyword', register: 'variable', directive: 'keyword',
    label: 'function', constant: 'constant' };

// The layer's completions as CodeMirror's options: the label shown, the text inserted.
export function completionOptions(completions) {
    return (completions || []).map((c) => ({ label: c.label, apply: c.insert, detail: c.detail,
        type: completionTypes[c.kind] || 'text' }));
}

// The layer's Markdown, as nodes: `code` spans in <code>, everything else as text.
export function markdownNodes(markdown) {
    return markdown.split('`').map((part, i) => {
        if (i % 2 === 0) return document.createTextNode(part);
        const code = document.createElement('code');
        code.textContent = part;
        return code;
    });
}
