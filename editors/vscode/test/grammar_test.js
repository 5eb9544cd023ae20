// The TextMate grammar, tokenized by the libraries VS Code itself uses, against a table
// of lines and the scope each piece of them must have.
//
//   node test/grammar_test.js
const fs = require('fs');
const path = require('path');
const vsctm = require('vscode-textmate');
const oniguruma = require('vscode-oniguruma');

// Each line with [text, scope] for pieces of it, in order; a piece's innermost scope
// must be the one named (text '' stands for nothing to check).
const table = [
  ['loop:   ADDI r1, r2, -1 ; go round', [
    ['loop', 'entity.name.label.isa4'], [':', 'punctuation.separator.label.isa4'],
    ['ADDI', 'keyword.other.instruction.isa4'], ['r1', 'variable.language.register.isa4'],
    ['r2', 'variable.language.register.isa4'], ['-', 'keyword.operator.arithmetic.isa4'],
    ['1', 'constant.numeric.decimal.isa4'], ['; go round', 'comment.line.isa4']]],
  ['a: b:add RA, rB, rf', [
    ['a', 'entity.name.label.isa4'], ['b', 'entity.name.label.isa4'],
    ['add', 'keyword.other.instruction.isa4'], ['RA', 'variable.language.register.isa4'],
    ['rB', 'variable.language.register.isa4'], ['rf', 'variable.language.register.isa4']]],
  ['        JZ done', [['JZ', 'keyword.control.jump.isa4'], ['done', 'variable.other.isa4']]],
  ['done:   jz @done', [
    ['done', 'entity.name.label.isa4'], ['jz', 'keyword.control.jump.isa4'],
    ['@', 'keyword.operator.raw.isa4'], ['done', 'variable.other.label.isa4']]],
  ['        MOVE [0xA0], r7', [
    ['MOVE', 'keyword.other.instruction.isa4'],
    ['[', 'punctuation.definition.memory.begin.isa4'], ['0xA0', 'constant.numeric.hex.isa4'],
    [']', 'punctuation.definition.memory.end.isa4'], ['r7', 'variable.language.register.isa4']]],
  ['        MOVE [cell + 1], [0b1010]', [
    ['cell', 'variable.other.isa4'], ['+', 'keyword.operator.arithmetic.isa4'],
    ['1', 'constant.numeric.decimal.isa4'], ['0b1010', 'constant.numeric.binary.isa4']]],
  ['        MOVE [r1], r2', [['r1', 'invalid.illegal.register.isa4']]],
  ['        .equ count, 0x10   # cell', [
    ['.equ', 'keyword.other.directive.isa4'], ['count', 'entity.name.constant.isa4'],
    ['0x10', 'constant.numeric.hex.isa4'], ['# cell', 'comment.line.isa4']]],
  ['        .ORG 0x20', [['.ORG', 'keyword.other.directive.isa4']]],
  [".word ';', '\\n', 0x3ABCD, 12abc", [
    ['.word', 'keyword.other.directive.isa4'], ["'", 'punctuation.definition.character.begin.isa4'],
    [';', 'constant.character.isa4'], ["\\n", 'constant.character.escape.isa4'],
    ['0x3ABCD', 'constant.numeric.hex.isa4'], ['12abc', 'invalid.illegal.number.isa4']]],
  ['; only a comment: ADD r1', [['; only a comment: ADD r1', 'comment.line.isa4']]],
];

async function main() {
  const wasm = fs.readFileSync(require.resolve('vscode-oniguruma/release/onig.wasm'));
  await oniguruma.loadWASM(wasm.buffer.slice(wasm.byteOffset, wasm.byteOffset + wasm.byteLength));
  const registry = new vsctm.Registry({
    onigLib: Promise.resolve({
      createOnigScanner: (patterns) => new oniguruma.OnigScanner(patterns),
      createOnigString: (s) => new oniguruma.OnigString(s),
    }),
    loadGrammar: async (scope) => {
      if (scope !== 'source.isa4') return null;
      const file = path.join(__dirname, '..', 'syntaxes', 'isa4.tmLanguage.json');
      return vsctm.parseRawGrammar(fs.readFileSync(file, 'utf8'), file);
    },
  });
  const grammar = await registry.loadGrammar('source.isa4');
  let failures = 0;
  for (const [line, expected] of table) {
    const { tokens } = grammar.tokenizeLine(line, vsctm.INITIAL);
    const pieces = tokens.map((t) => [line.slice(t.startIndex, t.endIndex), t.scopes]);
    let at = 0;
    for (const [text, scope] of expected) {
      // The next token, from where the last check stopped, whose text is `text`.
      let found = -1;
      for (let i = at; i < pieces.length; i++) {
        if (pieces[i][0] === text) { found = i; break; }
      }
      const scopes = found >= 0 ? pieces[found][1] : [];
      if (found < 0 || scopes[scopes.length - 1] !== scope) {
        failures++;
        console.log(`FAIL: ${JSON.stringify(line)}: ${JSON.stringify(text)} is ` +
                    (found < 0 ? 'no token' : scopes.join(' ')) + `, expected ${scope}`);
        console.log('  tokens: ' + JSON.stringify(pieces.map((p) => [p[0], p[1][p[1].length - 1]])));
      } else {
        at = found + 1;
      }
    }
  }
  console.log(failures ? `grammar: ${failures} failures` : `grammar: ${table.length} lines as expected`);
  process.exit(failures ? 1 : 0);
}

main().catch((e) => { console.error(e); process.exit(1); });
