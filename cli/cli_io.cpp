#include "cli/cli_io.h"

#include <signal.h>
#include <unistd.h>

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

bool output_clear_of_inputs(const std::string& output, const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        if (input.empty() || !same_file(output.c_str(), input.c_str())) continue;
        print_diagnostic(output,
                         Diagnostic{0, 0,
                                    "the output is the same file as the input " +
                                        escape_for_message(input) + "; nothing was written"});
        return false;
    }
    return true;
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
