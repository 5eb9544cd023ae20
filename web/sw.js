// Kelvane's page without a network: every file of the page's own origin is kept in a
// cache when it is fetched, and the cache answers when the network does not. The network
// is asked first, so that a newer build replaces the kept files on the next visit with
// a network.
'use strict';

const CACHE = 'kelvane-page';
const PAGE_FILES = ['./', 'index.html', 'page.js', 'editor.js', 'editor.css', 'kelvane.js',
    'kelvane.wasm', 'kelvane.data', 'manifest.webmanifest', 'icon.svg'];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(PAGE_FILES))
        .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
    event.waitUntil(self.clients.claim());
});

self.addEventListener('fetch', (event) => {
    const request = event.request;
    if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
    event.respondWith((async () => {
        const cache = await caches.open(CACHE);
        try {
            const response = await fetch(request, { cache: 'no-cache' });
            if (response.ok) await cache.put(request, response.clone());
            return response;
        } catch (e) {
            const kept = await cache.match(request, { ignoreSearch: true });
            if (kept) return kept;
            throw e;
        }
    })());
});
