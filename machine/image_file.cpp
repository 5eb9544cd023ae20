#include "machine/image_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* empty_name = "Empty file name";
constexpr const char* is_a_directory = "Is a directory";
constexpr const char* not_a_regular_file = "Not a regular file";

// As many links as the kernel follows in one path.
constexpr int max_link_hops = 40;

FileResult failed(const char* reason) {
    return FileResult{false, reason};
}
FileResult failed_errno(int error) {
    return failed(std::strerror(error));
}

// Why a file of this type cannot hold an image, or nullptr when it is a regular file.
const char* refusal(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return is_a_directory;
    return not_a_regular_file;
}

// Opens the regular file `path` for reading without blocking; `st` describes it.
FileResult open_regular(const char* path, int& fd, struct stat& st) {
    fd = -1;
    if (*path == '\0') return failed(empty_name);
    if (stat(path, &st) != 0) return failed_errno(errno);
    if (const char* why = refusal(st.st_mode)) return failed(why);

    // Should the name have become a pipe since the stat, O_NONBLOCK keeps the open from
    // waiting for a writer, and the fstat refuses it.
    fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed_errno(errno);
    FileResult result;
    if (fstat(fd, &st) != 0) {
        result = failed_errno(errno);
    } else if (const char* why = refusal(st.st_mode)) {
        result = failed(why);
    }
    if (!result) {
        close(fd);
        fd = -1;
    }
    return result;
}

// Reads up to `capacity` bytes from `fd` into `bytes`; `size` is how many it gave.
FileResult read_up_to(int fd, unsigned char* bytes, std::size_t capacity, std::size_t& size) {
    size = 0;
    while (size < capacity) {
        const ssize_t n = read(fd, bytes + size, capacity - size);
        if (n > 0) {
            size += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            return failed_errno(errno);
        }
    }
    return {};
}

// Reads at most `bytes.size()` bytes of the regular file `path`; `size` is how many it held.
template <std::size_t N>
FileResult read_image(const char* path, std::array<unsigned char, N>& bytes, std::size_t& size) {
    size = 0;
    int fd = -1;
    struct stat st;
    FileResult result = open_regular(path, fd, st);
    if (!result) return result;
    result = read_up_to(fd, bytes.data(), N, size);
    close(fd);
    return result;
}

// "dir/name" gives "dir/", "/name" gives "/", "name" gives "".
std::string directory_part(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string name_part(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links from `path` to the file a save must replace. `exists` tells
// whether that file is there yet; when it is, `st` describes it.
FileResult resolve_target(const char* path, std::string& target, struct stat& st, bool& exists) {
    target = path;
    for (int hops = 0;; ++hops) {
        if (lstat(target.c_str(), &st) != 0) {
            if (errno != ENOENT) return failed_errno(errno);
            exists = false;
            return {};
        }
        if (!S_ISLNK(st.st_mode)) {
            exists = true;
            return {};
        }
        if (hops == max_link_hops) return failed_errno(ELOOP);
        char link[PATH_MAX];
        const ssize_t n = readlink(target.c_str(), link, sizeof link);
        if (n < 0) return failed_errno(errno);
        if (static_cast<std::size_t>(n) == sizeof link) return failed_errno(ENAMETOOLONG);
        const std::string next(link, static_cast<std::size_t>(n));
        // A relative link is relative to the directory that holds it.
        target = !next.empty() && next.front() == '/' ? next : directory_part(target) + next;
    }
}

// The permission bits a newly created file gets from the process's umask.
mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

FileResult write_all(int fd, const unsigned char* bytes, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            return failed_errno(EIO);
        } else if (errno != EINTR) {
            return failed_errno(errno);
        }
    }
    return {};
}

// Makes a finished rename durable. The save has already succeeded, so a failure here is
// not reported.
void sync_directory(const std::string& directory) {
    const int fd =
        open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The longest name the directory takes, or the usual 255 when it does not say.
std::size_t longest_name(const std::string& directory) {
    const long n = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    return n > 0 ? static_cast<std::size_t>(n) : 255;
}

// A name for the temporary file beside `target`: ".NAME.XXXXXX", with NAME shortened
// when the whole would be longer than the directory allows.
std::string temporary_name(const std::string& directory, const std::string& name) {
    constexpr std::size_t extra = 8;  // the dot in front and ".XXXXXX"
    const std::size_t room = longest_name(directory);
    std::string kept = name;
    if (kept.size() + extra > room) kept.resize(room > extra ? room - extra : 0);
    return directory + "." + kept + ".XXXXXX";
}

}  // namespace

FileResult stage_file_from(const char* path, const std::function<bool(const PieceSink&)>& fill,
                           StagedFile& staged) {
    staged = StagedFile{};
    if (*path == '\0') return failed(empty_name);
    std::string target;
    struct stat st;
    bool exists = false;
    FileResult result = resolve_target(path, target, st, exists);
    if (!result) return result;
    if (exists) {
        if (const char* why = refusal(st.st_mode)) return failed(why);
        // Replacing the file would get past its write protection: refuse wherever
        // writing it in place would be refused.
        if (access(target.c_str(), W_OK) != 0) return failed_errno(errno);
    } else if (target.back() == '/') {
        return failed(is_a_directory);
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();

    const std::string directory = directory_part(target);
    std::string temp = temporary_name(directory, name_part(target));
    const int fd = mkstemp(temp.data());
    if (fd < 0) return failed_errno(errno);
    const bool made = fill([&](std::string_view piece) {
        if (result)
            result =
                write_all(fd, reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
        return static_cast<bool>(result);
    });
    if (result && !made) result = failed_errno(EIO);
    if (result && exists && (st.st_uid != geteuid() || st.st_gid != getegid())) {
        // Keep the old owner and group where the system lets us; failing that, at least
        // the group. The mode is set afterwards, as a change of owner clears set-id bits.
        if (fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)!fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    }
    if (result && fchmod(fd, mode) != 0) result = failed_errno(errno);
    if (result && fsync(fd) != 0) result = failed_errno(errno);
    if (close(fd) != 0 && result) result = failed_errno(errno);
    if (!result) {
        unlink(temp.c_str());
        return result;
    }
    staged = StagedFile{temp, target};
    return result;
}

FileResult stage_file(const char* path, std::string_view bytes, StagedFile& staged) {
    return stage_file_from(
        path, [&](const PieceSink& put) { return put(bytes); }, staged);
}

FileResult commit_staged(StagedFile& staged) {
    if (staged.temporary.empty()) return failed_errno(ENOENT);
    FileResult result;
    if (rename(staged.temporary.c_str(), staged.target.c_str()) != 0) {
        result = failed_errno(errno);
        unlink(staged.temporary.c_str());
    } else {
        sync_directory(directory_part(staged.target));
    }
    staged = StagedFile{};
    return result;
}

void discard_staged(StagedFile& staged) {
    if (!staged.temporary.empty()) unlink(staged.temporary.c_str());
    staged = StagedFile{};
}

FileResult save_file_from(const char* path, const std::function<bool(const PieceSink&)>& fill) {
    StagedFile staged;
    const FileResult result = stage_file_from(path, fill, staged);
    return result ? commit_staged(staged) : result;
}

FileResult save_file(const char* path, std::string_view bytes) {
    return save_file_from(path, [&](const PieceSink& put) { return put(bytes); });
}

FileResult save_target(const char* path, std::string& target, bool& exists) {
    target.clear();
    exists = false;
    if (*path == '\0') return failed(empty_name);
    struct stat st;
    return resolve_target(path, target, st, exists);
}

std::string too_large_reason(std::size_t limit) {
    return "File too large (over " + std::to_string(limit) + " bytes)";
}

FileResult read_file_start(const char* path, std::string& bytes, std::size_t limit, bool& whole) {
    bytes.clear();
    whole = true;
    int fd = -1;
    struct stat st;
    FileResult result = open_regular(path, fd, st);
    if (!result) return result;
    // The reads stop one byte past the limit, whatever size fstat gave: the file may grow
    // or shrink meanwhile.
    std::size_t size = 0;
    while (result) {
        // Room for the whole file as fstat gave it, then doubling, never past limit + 1.
        const std::size_t want = size == 0 ? static_cast<std::size_t>(st.st_size) + 1 : 2 * size;
        bytes.resize(std::min(std::max<std::size_t>(want, 4096), limit + 1));
        std::size_t got = 0;
        result = read_up_to(fd, reinterpret_cast<unsigned char*>(bytes.data()) + size,
                            bytes.size() - size, got);
        size += got;
        if (size < bytes.size() || size > limit) break;  // the end of the file, or enough
    }
    close(fd);
    whole = size <= limit;
    bytes.resize(result ? std::min(size, limit) : 0);
    return result;
}

FileResult read_file(const char* path, std::string& bytes, std::size_t limit) {
    // The size from fstat refuses a large file before any of it is read.
    struct stat st;
    if (*path != '\0' && stat(path, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uintmax_t>(st.st_size) > limit) {
        bytes.clear();
        return failed(too_large_reason(limit).c_str());
    }
    bool whole = true;
    FileResult result = read_file_start(path, bytes, limit, whole);
    if (result && !whole) {
        bytes.clear();
        result = failed(too_large_reason(limit).c_str());
    }
    return result;
}

bool same_file(const char* a, const char* b) {
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void put_rom_record(std::uint32_t word, unsigned char* record) {
    record[0] = static_cast<unsigned char>(word >> 16);
    record[1] = static_cast<unsigned char>(word >> 8);
    record[2] = static_cast<unsigned char>(word);
}

std::uint32_t rom_record_word(const unsigned char* record) {
    return std::uint32_t{record[0]} << 16 | std::uint32_t{record[1]} << 8 |
           std::uint32_t{record[2]};
}

std::string rom_image_bytes(const Isa4::Rom& rom) {
    std::string bytes(rom_image_size, '\0');
    for (std::size_t k = 0; k < rom.size(); ++k)
        put_rom_record(rom[k], reinterpret_cast<unsigned char*>(&bytes[rom_record_size * k]));
    return bytes;
}

std::string ram_image_bytes(const Isa4::Ram& ram) {
    return std::string(reinterpret_cast<const char*>(ram.begin()), ram.size());
}

std::size_t take_rom_image_bytes(std::string_view bytes, Isa4::Rom& rom) {
    // Only complete records: one or two bytes after the last are ignored.
    const std::size_t records = std::min(bytes.size(), rom_image_size) / rom_record_size;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t k = 0; k < records; ++k) rom[k] = rom_record_word(data + rom_record_size * k);
    return records;
}

std::size_t take_ram_image_bytes(std::string_view bytes, Isa4::Ram& ram) {
    const std::size_t cells = std::min(bytes.size(), ram_image_size);
    for (std::size_t k = 0; k < cells; ++k) ram[k] = static_cast<std::uint8_t>(bytes[k]);
    return cells;
}

FileResult load_rom_image(const char* path, Isa4::Rom& rom) {
    std::array<unsigned char, rom_image_size> bytes;
    std::size_t size = 0;
    FileResult result = read_image(path, bytes, size);
    if (result)
        take_rom_image_bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), size),
                             rom);
    return result;
}

FileResult save_rom_image(const char* path, const Isa4::Rom& rom) {
    return save_file(path, rom_image_bytes(rom));
}

FileResult load_ram_image(const char* path, Isa4::Ram& ram) {
    std::array<unsigned char, ram_image_size> bytes;
    std::size_t size = 0;
    FileResult result = read_image(path, bytes, size);
    if (result)
        take_ram_image_bytes(std::string_view(reinterpret_cast<const char*>(bytes.data()), size),
                             ram);
    return result;
}

FileResult save_ram_image(const char* path, const Isa4::Ram& ram) {
    return save_file(path, ram_image_bytes(ram));
}

std::string failure_message(std::string_view operation, std::string_view path,
                            const FileResult& result) {
    std::string line(operation);
    line += " failed: ";
    if (!path.empty()) {
        line += path;
        line += ' ';
    }
    line += '(';
    line += result.reason;
    line += ')';
    return line;
}
