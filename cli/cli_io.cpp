#include "cli/cli_io.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <streambuf>

#include "cli/source_text.h"
#include "machine/image_file.h"

namespace {

// Longer tokens are cut: a message quotes enough to find the place, not a whole line.
constexpr std::size_t quoted_length = 40;

void append_escaped(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f) {
            out += c;
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
}

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
        return status == 0 ? 1 : status;
    }
    return err_buffer->error() != 0 && status == 0 ? 1 : status;
}

std::string escape_for_message(std::string_view text) {
    std::string out;
    append_escaped(out, text);
    return out;
}

std::string quote_for_message(std::string_view token) {
    std::string out;
    append_escaped(out, token.substr(0, quoted_length));
    if (token.size() > quoted_length) out += "...";
    return out;
}

std::string in_quotes(std::string_view token) {
    return "'" + quote_for_message(token) + "'";
}

std::optional<std::string> read_text_input(const std::string& path) {
    std::string bytes;
    const FileResult read = read_file(path.c_str(), bytes, max_text_file_size);
    if (!read) {
        std::cerr << escape_for_message(path) << ": error: cannot read the file (" << read.reason
                  << ")\n";
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::uint64_t> parse_cli_number(const std::string& text, std::uint64_t lo,
                                              std::uint64_t hi) {
    std::size_t prefix = 0;
    const int base = number_base(text, prefix);
    const auto value = digits_value(std::string_view(text).substr(prefix), base);
    if (!value || *value < lo || *value > hi) return std::nullopt;
    return value;
}

bool output_clear_of_inputs(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (input.empty() || !same_file(output.c_str(), input.c_str())) continue;
        std::cerr << escape_for_message(output)
                  << ": error: the output is the same file as the input "
                  << escape_for_message(input) << "; nothing was written\n";
        return false;
    }
    return true;
}

std::size_t utf8_length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    unsigned min = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, min = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    unsigned code = b & (0x3F >> (n - 1));
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        code = (code << 6) | (c & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return n;
}
