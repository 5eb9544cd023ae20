// The page's own operations on the home folder, the working directory in which the
// panels' file names live: files added from the student's computer ("Open files…" and
// dropping them on the page), and files deleted. Each returns the lines the page shows,
// every name from outside escaped (control and non-ASCII bytes as \x1b); an empty
// result means nothing worth saying.
//
// Usage:
//   std::vector<std::string> lines = add_home_file("mine.s", bytes);
//   // "mine.s: assembled into mine.rom", or its file:line:column: diagnostics
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The largest file the page takes: far beyond any image (768 bytes) or program source.
inline constexpr std::size_t max_home_file_size = 1u << 20;  // 1 MiB

// Saves `bytes` as `name` in the working directory by the image saves' rules (the old
// file is replaced only once the new one is complete). A name that is empty, ".", ".."
// or holds a '/' is refused, and so is a file of more than max_home_file_size bytes
// (`size`, which may be told before the bytes are read; `bytes` then stays empty). A
// source whose name ends in ".s" is then assembled as `isa4 asm` does into the image of
// the same stem with ".rom" beside it; a source with errors writes no image.
std::vector<std::string> add_home_file(std::string_view name, std::string_view bytes,
                                       std::size_t size);

// Removes the regular file `name` from the working directory; names as for adding.
std::vector<std::string> delete_home_file(std::string_view name);

// The log line for a save that the browser's storage refused to keep:
// "Save failed: mine.ram (REASON)".
std::string storage_refused_message(std::string_view path, std::string_view reason);
