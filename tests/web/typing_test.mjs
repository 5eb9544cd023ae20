// Which marks of a fresh check show while the student types, under node's test runner.
//
//   node --test tests/web/typing_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { shownWhileTyping } from '../../web/editor/src/typing.js';

const d = (line, message) => ({ line, message });

test('new marks wait on the lines being typed, and nowhere else', () => {
    // [what, fresh, shown, lines typed on, shown now]
    const cases = [
        ['a fix shows at once', [], [d(2, 'unknown mnemonic JUMP')], [2], []],
        ['a half-typed word waits', [d(3, 'unknown mnemonic AD')], [], [3], []],
        ['a mark typed away from is kept', [d(3, 'x')], [d(3, 'x')], [3], [d(3, 'x')]],
        ['a mark that changed its words waits', [d(3, 'y')], [d(3, 'x')], [3], []],
        ['elsewhere a new mark shows', [d(7, 'label loop is never used')], [], [3], [d(7, 'label loop is never used')]],
        ['not typing: everything shows', [d(1, 'a'), d(2, 'b')], [], [], [d(1, 'a'), d(2, 'b')]],
        ['the same words on another line are new there', [d(4, 'x')], [d(3, 'x')], [4], []],
        ['typed over several lines', [d(1, 'a'), d(2, 'b'), d(5, 'c')], [d(2, 'b')], [1, 2],
            [d(2, 'b'), d(5, 'c')]],
    ];
    for (const [what, fresh, shown, typed, expected] of cases)
        assert.deepEqual(shownWhileTyping(fresh, shown, new Set(typed)), expected, what);
});

test('the marks keep the order of the check', () => {
    const fresh = [d(9, 'c'), d(1, 'a'), d(5, 'b')];
    assert.deepEqual(shownWhileTyping(fresh, [], new Set([2])), fresh);
});
