// The isa4 language for the editor: highlighting, the words completion offers, and the
// language service that answers what the assembler makes of a text.
//
// The service is the one place that asks the workbench's WebAssembly: `facts(text)` gives
// { diagnostics: [{line, column, warning, message}], words: [[address, line, word]],
// names: [{name, label, value}] }, lines and columns from 1 (0: the whole file or line).
// Another service with the same `facts` (a language server's, say) can take its place.
import { StreamLanguage, HighlightStyle, syntaxHighlighting } from '@codemirror/language';
import { tags } from '@lezer/highlight';

export const MNEMONICS = ['ADD', 'ADDI', 'JZ', 'MOVE'];
export const DIRECTIVES = ['.org', '.word', '.equ'];
export const REGISTERS = Array.from({ length: 16 }, (_, i) => 'r' + i.toString(16));

const mnemonic = /^(add|addi|jz|move)\b/i;
const register = /^r[0-9a-f]\b/i;
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
        if (stream.match(mnemonic)) return 'keyword';
        if (stream.match(register)) return 'variableName.special';
        if (stream.match(directive)) return 'meta';
        if (stream.match(number)) return 'number';
        if (stream.match(label)) return 'labelName';
        if (stream.match(name)) return 'variableName';
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

// The assembler compiled into the page, asked through the functions web/main.cpp exports.
export const assemblerService = {
    facts(text) {
        return JSON.parse(Module.ccall('kelvane_source_facts', 'string', ['string'], [text]));
    },
};

// What completion offers at a word: mnemonics, registers, directives and the text's names.
export function completionOptions(names) {
    const options = [
        ...MNEMONICS.map((m) => ({ label: m, type: 'keyword' })),
        ...REGISTERS.map((r) => ({ label: r, type: 'variable', detail: 'register' })),
        ...DIRECTIVES.map((d) => ({ label: d, type: 'keyword', detail: 'directive' })),
    ];
    for (const n of names || [])
        options.push({ label: n.name, type: n.label ? 'function' : 'constant',
            detail: (n.label ? 'label ' : '.equ ') + hex(n.value, 2) });
    return options;
}

export function hex(value, digits) {
    const text = Math.abs(value).toString(16).toUpperCase().padStart(digits, '0');
    return (value < 0 ? '-0x' : '0x') + text;
}
