#include "machine/image_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Reads at most `bytes.size()` bytes of the regular file `path`; `size` is how many it held.
template <std::size_t N>
FileResult read_image(const char* path, std::array<unsigned char, N>& bytes, std::size_t& size) {
    size = 0;
    if (*path == '\0') return failed(empty_name);
    struct stat st;
    if (stat(path, &st) != 0) return failed_errno(errno);
    if (const char* why = refusal(st.st_mode)) return failed(why);

    // Should the name have become a pipe since the stat, O_NONBLOCK keeps the open from
    // waiting for a writer, and the fstat refuses it.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed_errno(errno);
    FileResult result;
    if (fstat(fd, &st) != 0) {
        result = failed_errno(errno);
    } else if (const char* why = refusal(st.st_mode)) {
        result = failed(why);
    }
    while (result && size < N) {
        const ssize_t n = read(fd, bytes.data() + size, N - size);
        if (n > 0) {
            size += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            result = failed_errno(errno);
        }
    }
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

FileResult write_image(const char* path, const unsigned char* bytes, std::size_t size) {
    if (*path == '\0') return failed(empty_name);
    std::string target;
    struct stat st;
    bool exists = false;
    FileResult result = resolve_target(path, target, st, exists);
    if (!result) return result;
    if (exists) {
        if (const char* why = refusal(st.st_mode)) return failed(why);
    } else if (target.back() == '/') {
        return failed(is_a_directory);
    }
    const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();

    const std::string directory = directory_part(target);
    std::string temp = directory + "." + name_part(target) + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return failed_errno(errno);
    result = write_all(fd, bytes, size);
    if (result && fchmod(fd, mode) != 0) result = failed_errno(errno);
    if (result && fsync(fd) != 0) result = failed_errno(errno);
    if (close(fd) != 0 && result) result = failed_errno(errno);
    if (result && rename(temp.c_str(), target.c_str()) != 0) result = failed_errno(errno);
    if (result) {
        sync_directory(directory);
    } else {
        unlink(temp.c_str());
    }
    return result;
}

}  // namespace

FileResult load_rom_image(const char* path, Isa4::Rom& rom) {
    std::array<unsigned char, rom_image_size> bytes;
    std::size_t size = 0;
    FileResult result = read_image(path, bytes, size);
    if (!result) return result;
    // Only complete records: one or two bytes after the last are ignored.
    for (std::size_t k = 0; k < size / 3; ++k) {
        rom[k] = std::uint32_t{bytes[3 * k]} << 16 | std::uint32_t{bytes[3 * k + 1]} << 8 |
                 std::uint32_t{bytes[3 * k + 2]};
    }
    return result;
}

FileResult save_rom_image(const char* path, const Isa4::Rom& rom) {
    std::array<unsigned char, rom_image_size> bytes;
    for (std::size_t k = 0; k < rom.size(); ++k) {
        bytes[3 * k] = static_cast<unsigned char>(rom[k] >> 16);
        bytes[3 * k + 1] = static_cast<unsigned char>(rom[k] >> 8);
        bytes[3 * k + 2] = static_cast<unsigned char>(rom[k]);
    }
    return write_image(path, bytes.data(), bytes.size());
}

FileResult load_ram_image(const char* path, Isa4::Ram& ram) {
    std::array<unsigned char, ram_image_size> bytes;
    std::size_t size = 0;
    FileResult result = read_image(path, bytes, size);
    if (!result) return result;
    for (std::size_t k = 0; k < size; ++k) ram[k] = bytes[k];
    return result;
}

FileResult save_ram_image(const char* path, const Isa4::Ram& ram) {
    return write_image(path, ram.begin(), ram.size());
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
