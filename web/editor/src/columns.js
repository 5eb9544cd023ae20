// Columns as the language layer counts them (bytes of the line's UTF-8, from 1) and as
// the editor does (UTF-16 units, from 0).

// A column in bytes of `text` (from 1) as an offset in its UTF-16 units (from 0).
export function unitsOf(text, column) {
    let bytes = 0;
    let i = 0;
    while (i < text.length && bytes < column - 1) {
        const code = text.codePointAt(i);
        bytes += code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        i += code >= 0x10000 ? 2 : 1;
    }
    return i;
}

// An offset in UTF-16 units of `text` as a column in bytes (from 1).
export function bytesOf(text, units) {
    return new TextEncoder().encode(text.slice(0, units)).length + 1;
}
