#include "cli/cli_io.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "machine/image_file.h"
#include "text/message.h"
#include "text/source_text.h"

namespace {

// A stream buffer over a file descriptor that remembers the first failed write.
class CheckedBuffer : public std::streambuf {
public:
    CheckedBuffer(int fd, std::size_t size) : fd_(fd), buffer_(size) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (!drain()) return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    int sync() override { return drain() ? 0 : -1; }

private:
    int fd_;
    std::vector<char> buffer_;
    int error_ = 0;

    // Writes out what the buffer holds; false once any write has failed.
    bool drain() {
        const char* p = pbase();
        const char* end = pptr();
        while (error_ == 0 && p < end) {
            const ssize_t n = write(fd_, p, static_cast<std::size_t>(end - p));
            if (n > 0) {
                p += n;
            } else if (n == 0) {
                error_ = EIO;
            } else if (errno != EINTR) {
                error_ = errno;
            }
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return error_ == 0;
    }
};

CheckedBuffer* out_buffer = nullptr;
CheckedBuffer* err_buffer = nullptr;

}  // namespace

void install_checked_output() {
    signal(SIGPIPE, SIG_IGN);
    // Never destroyed: the standard streams flush once more after static objects are gone.
    out_buffer = new CheckedBuffer(STDOUT_FILENO, 1 << 16);
    err_buffer = new CheckedBuffer(STDERR_FILENO, 1 << 12);
    std::cout.rdbuf(out_buffer);
    std::cerr.rdbuf(err_buffer);
}

bool output_failed() {
    return out_buffer != nullptr && out_buffer->error() != 0;
}

int finish_output(int status) {
    std::cout.flush();
    std::cerr.flush();
    if (out_buffer == nullptr) return status;
    if (out_buffer->error() != 0) {
        std::cerr << "isa4: error: cannot write the output (" << std::strerror(out_buffer->error())
                  << ")\n";
        std::cerr.flush();
        return status == exit_ok ? exit_failed : status;
    }
    return err_buffer->error() != 0 && status == exit_ok ? exit_failed : status;
}

void print_diagnostic(const Diagnostic& d) {
    std::cerr << format_diagnostic(d) << "\n";
}

void print_diagnostic(const std::string& file, const Diagnostic& d) {
    std::cerr << format_diagnostic(file, d) << "\n";
}

std::optional<std::string> read_text_input(const std::string& path) {
    std::string bytes;
    const FileResult read = read_file(path.c_str(), bytes, max_text_file_size);
    if (!read) {
        print_diagnostic(path, Diagnostic{0, 0, "cannot read the file (" + read.reason + ")"});
        return std::nullopt;
    }
    if (const char* wide = wide_text_encoding(bytes)) {
        print_diagnostic(path, Diagnostic{0, 0, wide_text_message(wide)});
        return std::nullopt;
    }
    return bytes;
}

namespace {

// Where an output lands: an existing file (device and inode, `below` empty), or a name
// still missing under the nearest folder that exists (that folder's device and inode,
// and the path below it).
struct Place {
    dev_t device = 0;
    ino_t inode = 0;
    std::string below;
    bool exists = false;
    bool folder_missing = false;  // the name's own folder is not there yet
    bool operator==(const Place& o) const {
        return device == o.device && inode == o.inode && below == o.below;
    }
};

// "dir/name" gives "dir/", "name" gives "".
std::string folder_part(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Resolves `path` as a save would (links followed); "" or the reason it cannot be.
std::string place_of(const std::string& path, Place& place) {
    std::string target;
    bool exists = false;
    const FileResult resolved = save_target(path.c_str(), target, exists);
    if (!resolved) return resolved.reason;
    struct stat st;
    if (exists) {
        if (stat(target.c_str(), &st) != 0) return std::strerror(errno);
        place = Place{st.st_dev, st.st_ino, "", true, false};
        return "";
    }
    if (target.back() == '/') return "Is a directory";
    // Climb to the nearest folder that exists; what is below it is the name.
    std::string folder = folder_part(target);
    std::string below = target.substr(folder.size());
    for (int climbed = 0;; ++climbed) {
        if (stat(folder.empty() ? "." : folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode)) return std::strerror(ENOTDIR);
            place = Place{st.st_dev, st.st_ino, below, false, climbed > 0};
            return "";
        }
        if (errno != ENOENT || folder.empty() || folder == "/") return std::strerror(errno);
        const std::string up = folder_part(folder.substr(0, folder.size() - 1));
        below = folder.substr(up.size()) + below;
        folder = up;
    }
}

// "" when the file can be written where `place` says, or the reason it cannot.
std::string unwritable_reason(const Output& output, const Place& place) {
    std::string target;
    bool exists = false;
    save_target(output.path.c_str(), target, exists);
    struct stat st;
    if (place.exists) {
        if (stat(target.c_str(), &st) != 0) return std::strerror(errno);
        if (S_ISDIR(st.st_mode)) return "Is a directory";
        if (!S_ISREG(st.st_mode)) return "Not a regular file";
        return access(target.c_str(), W_OK) == 0 ? "" : std::strerror(errno);
    }
    // The folders made for the output may be missing, but only those.
    const std::size_t missing =
        static_cast<std::size_t>(std::count(place.below.begin(), place.below.end(), '/'));
    if (missing > output.folders_made) return std::strerror(ENOENT);
    std::string folder = folder_part(target);
    for (std::size_t k = 0; k < missing; ++k)
        folder = folder_part(folder.substr(0, folder.size() - 1));
    return access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0 ? ""
                                                                           : std::strerror(errno);
}

void cannot_write(const Output& output, const std::string& reason,
                  const std::string& then = "; nothing was written") {
    complain(output.path, "cannot write " + output.what + " (" + reason + ")" + then);
}

}  // namespace

int check_outputs(const std::vector<Output>& outputs, const std::vector<std::string>& inputs) {
    std::vector<Place> places(outputs.size());
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        if (outputs[k].path.empty()) {
            return usage_error(outputs[k].option + ": a file name cannot be empty");
        }
        const std::string reason = place_of(outputs[k].path, places[k]);
        if (!reason.empty()) {
            cannot_write(outputs[k], reason);
            return exit_failed;
        }
    }
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        for (std::size_t j = 0; j < k; ++j) {
            if (!(places[j] == places[k])) continue;
            std::string also = outputs[j].path == outputs[k].path
                                   ? ""
                                   : " (" + escape_for_message(outputs[j].path) + ")";
            return usage_error(outputs[k].option + " " + escape_for_message(outputs[k].path) +
                               " names the same file as " + outputs[j].option + also +
                               "; nothing was written");
        }
        if (!places[k].exists) continue;
        for (const std::string& input : inputs) {
            struct stat st;
            if (input.empty() || stat(input.c_str(), &st) != 0 || st.st_dev != places[k].device ||
                st.st_ino != places[k].inode)
                continue;
            return usage_error(outputs[k].option + " " + escape_for_message(outputs[k].path) +
                               " is the same file as the input " + escape_for_message(input) +
                               "; nothing was written");
        }
    }
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const std::string reason = unwritable_reason(outputs[k], places[k]);
        if (!reason.empty()) {
            cannot_write(outputs[k], reason);
            return exit_failed;
        }
    }
    return exit_ok;
}

OutputWriter::OutputWriter(const std::vector<Output>& outputs)
    : outputs_(outputs), staged_(outputs.size()) {}

OutputWriter::~OutputWriter() {
    for (StagedFile& s : staged_) discard_staged(s);
    for (auto f = made_folders_.rbegin(); f != made_folders_.rend(); ++f) rmdir(f->c_str());
}

bool OutputWriter::stage(std::size_t k, std::string_view bytes) {
    return stage_from(k, [&](const PieceSink& put) { return put(bytes); });
}

bool OutputWriter::stage_from(std::size_t k, const std::function<bool(const PieceSink&)>& fill) {
    const Output& output = outputs_[k];
    if (output.folders_made > 0) {
        std::string target;
        bool exists = false;
        save_target(output.path.c_str(), target, exists);
        // The missing folders, deepest first, then made from the top down.
        std::vector<std::string> missing;
        struct stat st;
        for (std::string folder = folder_part(target);
             !exists && !folder.empty() && missing.size() < output.folders_made &&
             stat(folder.c_str(), &st) != 0;
             folder = folder_part(folder.substr(0, folder.size() - 1)))
            missing.push_back(folder);
        for (auto f = missing.rbegin(); f != missing.rend(); ++f)
            if (mkdir(f->c_str(), 0777) == 0) made_folders_.push_back(*f);
    }
    const FileResult staged = stage_file_from(output.path.c_str(), fill, staged_[k]);
    if (!staged) cannot_write(output, staged.reason);
    return static_cast<bool>(staged);
}

bool OutputWriter::commit() {
    std::vector<std::string> written;
    for (std::size_t k = 0; k < staged_.size(); ++k) {
        if (staged_[k].temporary.empty()) continue;
        const FileResult renamed = commit_staged(staged_[k]);
        if (renamed) {
            written.push_back(escape_for_message(outputs_[k].path));
            continue;
        }
        std::string left;
        for (std::size_t j = k + 1; j < staged_.size(); ++j) {
            if (staged_[j].temporary.empty()) continue;
            left += ", " + escape_for_message(outputs_[j].path);
            discard_staged(staged_[j]);
        }
        std::string done;
        for (const std::string& w : written) done += (done.empty() ? "" : ", ") + w;
        cannot_write(outputs_[k], renamed.reason,
                     std::string("; ") +
                         (done.empty() ? "none was replaced" : "already replaced: " + done) +
                         "; left as they were: " + escape_for_message(outputs_[k].path) + left);
        return false;
    }
    made_folders_.clear();
    return true;
}

bool write_outputs(const std::vector<Output>& outputs, const std::vector<std::string>& bytes) {
    OutputWriter writer(outputs);
    for (std::size_t k = 0; k < outputs.size(); ++k)
        if (!writer.stage(k, bytes[k])) return false;
    return writer.commit();
}

namespace {

std::string& command_name() {
    static std::string name = "isa4";
    return name;
}

}  // namespace

void set_command_name(const std::string& name) {
    command_name() = name;
}

int usage_error(const std::string& what) {
    std::cerr << format_usage_error(command_name(), what) << "\n";
    return exit_usage;
}

void complain(const std::string& file, const std::string& message) {
    print_diagnostic(Diagnostic{0, 0, message, false, file});
}

bool report(const std::string& file, const std::vector<Diagnostic>& diagnostics) {
    bool ok = true;
    for (const Diagnostic& d : diagnostics) {
        print_diagnostic(file, d);
        ok = ok && d.warning;
    }
    return ok;
}

std::string address_check(const std::string& text) {
    return parse_cli_number(text, 0, 255)
               ? ""
               : "expected an address 0..255 (decimal, 0x hex or 0b binary)";
}

std::string count_check(const std::string& text) {
    return parse_cli_number(text, 0, UINT64_MAX)
               ? ""
               : "expected a count 0..18446744073709551615 (decimal, 0x hex or 0b binary)";
}

std::string name_check(const std::string& text) {
    return text.empty() ? "a file name cannot be empty" : "";
}
