// ROM and RAM image files: loading and saving the machine's memories, with the same rules
// for every program that reads or writes them.
//
//   ROM image: 256 records of 3 bytes, record k = rom[k] as an unsigned 24-bit big-endian
//              number (bits 23..0; bits 31..24 are not stored). 768 bytes, no header.
//   RAM image: the 256 cells as raw bytes in address order. 256 bytes, no header.
//
// Loading takes what a file holds: a short file replaces only the complete words (ROM) or
// cells (RAM) it holds and leaves the rest as they were, one or two bytes after the last
// complete ROM record are ignored, and nothing past byte 768 (ROM) or 256 (RAM) is read.
// Bits 23..20 of a loaded ROM word are kept. Only regular files are read; a pipe or a
// device is refused without blocking and without being read.
//
// Saving never destroys the old file: the image goes to a temporary file in the same
// directory, which replaces the target only once every byte is written and the file is
// closed. A file the user may not write (one that writing in place would refuse, such as
// a read-only file of another user) is refused with "Permission denied". The old file's
// permission bits are kept, and its owner and group where the system allows it. A
// symbolic link is followed to the file it names, and a name that is empty, a directory,
// or anything else that is not a regular file is refused without being opened. Any name
// the directory accepts can be saved: the temporary name is shortened to fit.
//
// On failure the memory (load) and the old file (save) are exactly as they were, and the
// result carries the reason: the system's own text ("No such file or directory") or one
// of ours ("Empty file name", "Is a directory", "Not a regular file").
//
// Usage:
//   FileResult r = save_rom_image("prog.rom", arch.rom);
//   if (!r) log.add(failure_message("Save ROM", "prog.rom", r));
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "machine/isa4.h"

inline constexpr std::size_t rom_record_size = 3;
inline constexpr std::size_t rom_image_size = 256 * rom_record_size;
inline constexpr std::size_t ram_image_size = 256;

// The raw layout of one ROM record, the codec every ROM image goes through (the raw
// files here, Intel HEX and the conversions of the isa4 command): the word's bits 23..0
// as 3 bytes, big-endian, and back.
void put_rom_record(std::uint32_t word, unsigned char* record);
std::uint32_t rom_record_word(const unsigned char* record);

// The bytes of the raw image of `rom` (768) or `ram` (256).
std::string rom_image_bytes(const Isa4::Rom& rom);
std::string ram_image_bytes(const Isa4::Ram& ram);

// Takes a raw image's bytes into the memory by the load rules above: the complete
// records (ROM) or cells (RAM) that `bytes` holds from address 0 replace what the memory
// held, the rest stay; nothing past the image's size is read. Returns how many it took.
std::size_t take_rom_image_bytes(std::string_view bytes, Isa4::Rom& rom);
std::size_t take_ram_image_bytes(std::string_view bytes, Isa4::Ram& ram);

struct FileResult {
    bool ok = true;
    std::string reason;  // empty on success

    explicit operator bool() const { return ok; }
};

FileResult load_rom_image(const char* path, Isa4::Rom& rom);
FileResult save_rom_image(const char* path, const Isa4::Rom& rom);
FileResult load_ram_image(const char* path, Isa4::Ram& ram);
FileResult save_ram_image(const char* path, const Isa4::Ram& ram);

// The whole of the regular file `path`, read by the rules of the image loads: only a
// regular file (a directory, FIFO, device ... is refused by name, "Is a directory" /
// "Not a regular file"), opened without blocking, every read checked; a file larger
// than `limit` bytes is refused with "File too large (over N bytes)". An empty name is
// "Empty file name". On failure `bytes` is empty.
FileResult read_file(const char* path, std::string& bytes, std::size_t limit);

// The same, but a file larger than `limit` is no failure: its first `limit` bytes are
// read (and no more), and `whole` is false. A load that takes only the start of a large
// file reads it once this way.
FileResult read_file_start(const char* path, std::string& bytes, std::size_t limit, bool& whole);

// "File too large (over N bytes)": why a file past `limit` is refused.
std::string too_large_reason(std::size_t limit);

// Saves `bytes` as `path` by the rules of the image saves above. The ROM and RAM saves
// are this with the image's bytes.
FileResult save_file(const char* path, std::string_view bytes);

// The same for bytes made piece by piece, so that a large file need not be held whole:
// `fill` calls `put` with each piece in order (put returns false once a write has
// failed) and returns false when it could not make them all, which fails the save
// ("Input/output error") and leaves the old file.
using PieceSink = std::function<bool(std::string_view)>;
FileResult save_file_from(const char* path, const std::function<bool(const PieceSink&)>& fill);

// The same save in two steps, for a program that writes several files all or none:
// `stage_file` writes the bytes into a temporary file beside the target (the old file is
// untouched), `commit_staged` renames it over the target and `discard_staged` removes it.
// Both leave `staged` empty; a commit that fails removes the temporary file too.
struct StagedFile {
    std::string temporary;  // empty when nothing is staged
    std::string target;     // the file the rename replaces, links followed
};
FileResult stage_file(const char* path, std::string_view bytes, StagedFile& staged);
FileResult stage_file_from(const char* path, const std::function<bool(const PieceSink&)>& fill,
                           StagedFile& staged);
FileResult commit_staged(StagedFile& staged);
void discard_staged(StagedFile& staged);

// The file a save of `path` replaces: symbolic links followed, also to a file that does
// not exist yet. `exists` tells whether it is there.
FileResult save_target(const char* path, std::string& target, bool& exists);

// True when both names exist and are the same file (device and inode, links followed).
// Used to refuse an output that would overwrite an input.
bool same_file(const char* a, const char* b);

// One line for the user: "Save ROM failed: prog.rom (Permission denied)". An empty name
// is left out: "Save ROM failed: (Empty file name)".
std::string failure_message(std::string_view operation, std::string_view path,
                            const FileResult& result);
