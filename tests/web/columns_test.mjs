// The editor's columns against the language layer's, under node's test runner: a mark or a
// hover past a letter of more than one byte lands on the same character.
//
//   node --test tests/web/columns_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { unitsOf, bytesOf } from '../../web/editor/src/columns.js';

test('byte columns and UTF-16 offsets name the same characters', () => {
    // [line, byte column from 1, UTF-16 offset from 0]
    const cases = [
        ['ADDI r1, r0, 1', 1, 0],
        ['ADDI r1, r0, 1', 6, 5],
        ['ADDI r1, r0, 1', 15, 14],          // just past the end
        ['é: ADDI r1, r0, 1', 3, 1],          // two bytes, one unit
        ['✓ x', 5, 2],                        // three bytes, one unit
        ['😀 JZ x', 6, 3],                    // four bytes, two units
        ['; ✓✓ JZ', 9, 4],
    ];
    for (const [line, column, units] of cases) {
        assert.equal(unitsOf(line, column), units, `${line} @${column}`);
        assert.equal(bytesOf(line, units), column, `${line} #${units}`);
    }
});

test('columns past the line stop at its end', () => {
    assert.equal(unitsOf('JZ x', 40), 4);
    assert.equal(unitsOf('', 3), 0);
    assert.equal(unitsOf('JZ x', 0), 0);
});
