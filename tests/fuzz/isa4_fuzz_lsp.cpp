// libFuzzer target for isa4 lsp: every input is a byte stream from a client, read with
// the server's framing and answered by the server, and must neither crash, hang nor trip
// a sanitizer. What the server writes must keep these promises (a broken one traps):
//
//   - every reply is framed with the Content-Length of its body, and the body is JSON;
//   - a stream that ends ends the server.
//
// An input whose first byte is odd is preceded by an initialize and the opening of a
// small document, so that the fuzzer reaches the requests about documents.
//
// Built only with -DKELVANE_FUZZ=ON under clang; scripts/fuzz.sh builds and runs it.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "lsp/server.h"

namespace {

void require(bool promise) {
    if (!promise) __builtin_trap();
}

std::string opening() {
    const nlohmann::json init = {{"jsonrpc", "2.0"},
                                 {"id", 0},
                                 {"method", "initialize"},
                                 {"params", {{"capabilities", nlohmann::json::object()}}}};
    const nlohmann::json open = {
        {"jsonrpc", "2.0"},
        {"method", "textDocument/didOpen"},
        {"params",
         {{"textDocument",
           {{"uri", "file:///f.s"},
            {"languageId", "isa4"},
            {"version", 1},
            {"text", ".equ c, 3\nloop: ADDI r1, r1, c\n  MOVE [c], r1\n  JZ loop\nh: JZ @h\n"}}}}}};
    return frame(init.dump()) + frame(open.dump());
}

// The replies in `out`, each checked.
void check_replies(const std::string& out) {
    std::size_t at = 0;
    while (at < out.size()) {
        const std::string head = "Content-Length: ";
        require(out.compare(at, head.size(), head) == 0);
        const std::size_t end = out.find("\r\n\r\n", at);
        require(end != std::string::npos);
        const std::size_t length = std::stoul(out.substr(at + head.size(), end - at - head.size()));
        require(end + 4 + length <= out.size());
        require(nlohmann::json::accept(out.substr(end + 4, length)));
        at = end + 4 + length;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1) != 0) input = opening() + input;
    std::istringstream in(input);
    std::ostringstream out;
    serve(in, out, "fuzz");
    check_replies(out.str());
    return 0;
}
