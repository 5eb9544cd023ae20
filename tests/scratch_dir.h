// Files for tests: a fresh directory that goes away with everything in it, and whole-file
// reads and writes.
//
// The directory's path is short ("/tmp/kelvane-XXXXXX"), so that a name in it fits the
// panels' 40-character file name fields.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/kelvane-XXXXXX";
        if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = name;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // The names in the directory, sorted: shows a temporary file left behind.
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir_))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    std::string dir_;
};

using Bytes = std::vector<unsigned char>;

inline void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// n bytes counting up from `first`, wrapping at 256.
inline Bytes counting_bytes(std::size_t n, unsigned first = 1) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(first + i);
    return bytes;
}

// A character device node of the test's own, so that no test aims at the system's nodes
// (a faulty save renames over what it is given). Only root may make one.
inline bool make_device_node(const std::string& path, unsigned major, unsigned minor) {
    return mknod(path.c_str(), S_IFCHR | 0666, makedev(major, minor)) == 0;
}

inline mode_t permission_bits(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}
