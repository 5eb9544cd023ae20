// `isa4 lsp`: a Language Server Protocol 3.17 server for isa4 sources, over a byte stream
// with "Content-Length: N" headers before each JSON body.
//
// Everything the server knows about the language comes from language/analysis.h. It
// keeps the open documents' texts, answers requests in the order they come, and
// publishes a document's diagnostics with its version after every change, so that an
// editor never shows marks for a text it no longer holds.
//
// Input from the client is hostile until read: a header block without a valid
// Content-Length, a body past `max_message_size`, a body that is no JSON or no request,
// requests before `initialize` or after `shutdown`, and positions past the end all get
// an error response or are ignored as the protocol says, never a crash.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The largest body read: a source at the cap on text inputs, every byte escaped.
inline constexpr std::size_t max_message_size = 6 * (std::size_t{4} << 20) + 65536;

class LanguageServer {
public:
    explicit LanguageServer(std::string version = {});
    ~LanguageServer();
    // Handles one message body; appends the bodies to send back.
    void handle(std::string_view body, std::vector<std::string>& replies);
    // An error response with no id, for a message that could not be read at all.
    static std::string framing_error(const std::string& message);
    // True once `exit` came; the process should end with `exit_status`.
    bool finished() const { return finished_; }
    int exit_status() const { return shut_down_ ? 0 : 1; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool finished_ = false;
    bool shut_down_ = false;
};

// Reads the next framed message from `in` into `body`. `fault` is set (and the result is
// `fault`) for a message that cannot be taken: the caller answers it and reads on.
enum class FrameResult { message, fault, end };
FrameResult read_frame(std::istream& in, std::string& body, std::string& fault);

// "Content-Length: N\r\n\r\n" and the body.
std::string frame(const std::string& body);

// Serves until `exit` or the end of `in`; the process's exit status.
int serve(std::istream& in, std::ostream& out, const std::string& version);
