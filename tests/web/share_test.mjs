// Links that carry a program, under node's test runner: what the editor packs is what it
// unpacks, and every damaged fragment is refused with a plain message.
//
//   node --test tests/web/share_test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import zlib from 'node:zlib';
import { packProgram, unpackProgram, MAX_UNPACKED } from '../../web/editor/src/share.js';

const link = (bytes) => '#program=' + Buffer.from(bytes).toString('base64url');
const packed = (text) => link(zlib.deflateSync(Buffer.from(text, 'latin1')));

test('a program and its RAM data come back as they went', async () => {
    const source = 'loop: ADDI r1, r1, 1 ; é, ✓\n'.repeat(300);
    const ram = Uint8Array.from({ length: 256 }, (_, i) => 255 - i);
    const fragment = await packProgram(source, ram);
    assert.match(fragment, /^program=[A-Za-z0-9_-]+$/);
    assert.deepEqual(await unpackProgram('#' + fragment), { source, ram });
    assert.deepEqual(await unpackProgram(await packProgram('', null)), { source: '', ram: null });
});

test('a fragment of another kind is no program', async () => {
    for (const fragment of ['', '#', '#top', '#other=1']) assert.equal(await unpackProgram(fragment), null);
});

test('damaged fragments are refused', async () => {
    const cases = [
        ['not base64url', '#program=%%%', /expected encoding/],
        ['one character too many', '#program=A', /expected encoding/],
        ['empty', '#program=', /expected encoding/],
        ['not deflate', link(Buffer.from('plain text')), /not compressed/],
        ['cut short', link(zlib.deflateSync(Buffer.from('{"source":"abc"}')).subarray(0, 6)), /not compressed/],
        ['over the limit', packed(JSON.stringify({ source: 'x'.repeat(MAX_UNPACKED) })), /64 KiB/],
        ['not UTF-8', packed('{"source":"\xff\xfe"}'), /not UTF-8/],
        ['not JSON', packed('ADDI r1, r0, 3'), /no program/],
        ['no source', packed('{"text":"ADDI"}'), /no program/],
        ['a source that is no text', packed('{"source":7}'), /no program/],
        ['a RAM byte out of range', packed('{"source":"","ram":[256]}'), /RAM data/],
        ['too much RAM', packed(JSON.stringify({ source: '', ram: new Array(257).fill(0) })), /RAM data/],
    ];
    for (const [what, fragment, message] of cases) {
        const result = await unpackProgram(fragment);
        assert.ok(result && result.error, what);
        assert.match(result.error, message, what);
    }
});

test('a program at the limit is taken', async () => {
    const source = 'x'.repeat(MAX_UNPACKED - '{"source":""}'.length);
    assert.equal((await unpackProgram(packed(JSON.stringify({ source })))).source, source);
});
