// Programs in a link: the source (and the RAM image, when there is one) in the address's
// fragment, "#program=" and the deflate stream of a small JSON object in base64url. The
// fragment never reaches a server. Reading one checks everything before anything is
// used: the encoding, the deflate stream, its size once unpacked and its UTF-8.
export const FRAGMENT_KEY = 'program=';
export const MAX_UNPACKED = 64 * 1024;

function toBase64Url(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000)
        binary += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function fromBase64Url(text) {
    if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) return null;
    const padded = text.replace(/-/g, '+').replace(/_/g, '/') + '='.repeat((4 - text.length % 4) % 4);
    const binary = atob(padded);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
}

async function pipe(bytes, stream) {
    const writer = stream.writable.getWriter();
    writer.write(bytes).catch(() => {});
    writer.close().catch(() => {});
    return stream.readable.getReader();
}

// The fragment (without '#') for `source` and an optional RAM image (Uint8Array).
export async function packProgram(source, ram) {
    const object = { source };
    if (ram && ram.length > 0) object.ram = Array.from(ram);
    const reader = await pipe(new TextEncoder().encode(JSON.stringify(object)),
        new CompressionStream('deflate'));
    const parts = [];
    let size = 0;
    for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        parts.push(value);
        size += value.length;
    }
    const packed = new Uint8Array(size);
    let at = 0;
    for (const part of parts) {
        packed.set(part, at);
        at += part.length;
    }
    return FRAGMENT_KEY + toBase64Url(packed);
}

// { source, ram } from a fragment, or { error } in plain words; null when the fragment
// holds no program at all.
export async function unpackProgram(fragment) {
    if (fragment.startsWith('#')) fragment = fragment.slice(1);
    if (!fragment.startsWith(FRAGMENT_KEY)) return null;
    const bytes = fromBase64Url(fragment.slice(FRAGMENT_KEY.length));
    if (bytes === null || bytes.length === 0)
        return { error: 'The link is damaged: its program is not in the expected encoding.' };
    let reader;
    const parts = [];
    let size = 0;
    try {
        reader = await pipe(bytes, new DecompressionStream('deflate'));
        for (;;) {
            const { done, value } = await reader.read();
            if (done) break;
            size += value.length;
            if (size > MAX_UNPACKED) {
                reader.cancel().catch(() => {});
                return { error: 'The link holds more than 64 KiB: it was not opened.' };
            }
            parts.push(value);
        }
    } catch (e) {
        return { error: 'The link is damaged: its program is not compressed as a link makes it.' };
    }
    const all = new Uint8Array(size);
    let at = 0;
    for (const part of parts) {
        all.set(part, at);
        at += part.length;
    }
    let text;
    try {
        text = new TextDecoder('utf-8', { fatal: true }).decode(all);
    } catch (e) {
        return { error: 'The link is damaged: its program is not UTF-8 text.' };
    }
    let object;
    try {
        object = JSON.parse(text);
    } catch (e) {
        return { error: 'The link is damaged: it holds no program.' };
    }
    if (!object || typeof object.source !== 'string')
        return { error: 'The link is damaged: it holds no program.' };
    let ram = null;
    if (object.ram !== undefined) {
        if (!Array.isArray(object.ram) || object.ram.length > 256 ||
            !object.ram.every((b) => Number.isInteger(b) && b >= 0 && b <= 255))
            return { error: 'The link is damaged: its RAM data is not 256 bytes.' };
        ram = Uint8Array.from(object.ram);
    }
    return { source: object.source, ram };
}
