#include "lsp/server.h"

#include <algorithm>
#include <istream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "language/analysis.h"
#include "text/message.h"
#include "text/source_text.h"

using nlohmann::json;

namespace {

// JSON-RPC and LSP error codes.
constexpr int parse_error = -32700;
constexpr int invalid_request = -32600;
constexpr int method_not_found = -32601;
constexpr int invalid_params = -32602;
constexpr int server_not_initialized = -32002;
constexpr int request_failed = -32803;

struct Failure {
    int code;
    std::string message;
};

std::string dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

json error_reply(const json& id, int code, const std::string& message) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

// A line or character number: 0 or more, and whole (a float is no position).
long long whole_number(const json& value) {
    if (!value.is_number_integer() || value.get<long long>() < 0)
        throw Failure{invalid_params, "a position is two whole numbers, 0 or more"};
    return value.get<long long>();
}

// A document's version as the client gave it, or `otherwise`.
long long version_of(const json& document, long long otherwise) {
    const auto v = document.find("version");
    return v != document.end() && v->is_number_integer() ? v->get<long long>() : otherwise;
}

// The length of the UTF-8 sequence that starts with `lead`, 1 for a stray byte.
std::size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC2) return 2;
    return 1;
}

// An open document: its text, the byte offset where each line starts, and its analysis.
struct Document {
    std::string text;
    long long version = 0;
    std::vector<std::size_t> starts;  // line starts: after "\n", "\r\n" or a lone "\r"
    bool bom = false;                 // the analysis's first line starts after it
    std::optional<Analysis> analysis;
    bool too_large = false;

    // The line starts again, after a change.
    void index() {
        starts.assign(1, 0);
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (text[i] == '\n' || text[i] == '\r') starts.push_back(i + 1);
        }
        bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0;
    }

    void update() {
        index();
        too_large = text.size() > max_text_file_size;
        analysis.reset();
        if (!too_large) analysis = analyze(text);
    }

    std::string_view line_text(std::size_t line) const {
        if (line >= starts.size()) return {};
        std::size_t end = line + 1 < starts.size() ? starts[line + 1] : text.size();
        while (end > starts[line] && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
        return std::string_view(text).substr(starts[line], end - starts[line]);
    }
};

class Server {
public:
    explicit Server(std::string version) : version_(std::move(version)) {}

    bool utf8 = false;  // positions count bytes rather than UTF-16 code units
    bool initialized = false;
    bool shut_down = false;
    bool exited = false;
    bool hints = false;
    std::map<std::string, Document> documents;
    std::string version_;

    // --- positions ---

    // The byte in `line` at `character` in the negotiated encoding, kept within the line.
    std::size_t byte_in_line(std::string_view line, long long character) const {
        std::size_t i = 0;
        long long units = 0;
        while (i < line.size() && units < character) {
            const std::size_t n =
                std::min(sequence_length(static_cast<unsigned char>(line[i])), line.size() - i);
            units += utf8 ? static_cast<long long>(n) : (n == 4 ? 2 : 1);
            if (units > character) break;  // inside a surrogate pair: stay before it
            i += n;
        }
        return i;
    }

    long long units_of(std::string_view line, std::size_t bytes) const {
        bytes = std::min(bytes, line.size());
        if (utf8) return static_cast<long long>(bytes);
        long long units = 0;
        for (std::size_t i = 0; i < bytes;) {
            const std::size_t n = sequence_length(static_cast<unsigned char>(line[i]));
            units += n == 4 ? 2 : 1;
            i += n;
        }
        return units;
    }

    // A position as line and byte, both from 0, clamped into the document.
    std::pair<std::size_t, std::size_t> position_in(const Document& d, const json& p) const {
        const long long line = whole_number(p.at("line"));
        const long long character = whole_number(p.at("character"));
        if (static_cast<std::size_t>(line) >= d.starts.size())
            return {d.starts.size() - 1, d.line_text(d.starts.size() - 1).size()};
        const auto l = static_cast<std::size_t>(line);
        return {l, byte_in_line(d.line_text(l), character)};
    }

    std::size_t offset_of(const Document& d, const json& p) const {
        const auto [line, byte] = position_in(d, p);
        return d.starts[line] + byte;
    }

    // An analysis line and column (from 1, bytes) as an LSP position.
    json position(const Document& d, int line, int column) const {
        const auto l = static_cast<std::size_t>(std::max(line, 1) - 1);
        std::size_t byte = static_cast<std::size_t>(std::max(column, 1) - 1);
        if (l == 0 && d.bom) byte += 3;
        return {{"line", l}, {"character", units_of(d.line_text(l), byte)}};
    }

    json range(const Document& d, int line, int column, int end) const {
        return {{"start", position(d, line, column)}, {"end", position(d, line, end)}};
    }

    // The analysis line and column of a request's position.
    std::pair<int, int> place_of(const Document& d, const json& p) const {
        const auto [line, byte] = position_in(d, p);
        std::size_t column = byte + 1;
        if (line == 0 && d.bom) column = byte >= 3 ? byte - 2 : 1;
        return {static_cast<int>(line) + 1, static_cast<int>(column)};
    }

    // --- documents ---

    Document& document(const json& params) {
        const std::string uri = params.at("textDocument").at("uri").get<std::string>();
        const auto found = documents.find(uri);
        if (found == documents.end()) throw Failure{request_failed, "the document is not open"};
        return found->second;
    }

    json publish(const std::string& uri, const Document& d) const {
        json marks = json::array();
        if (d.too_large) {
            marks.push_back(
                {{"range", range(d, 1, 1, 1)},
                 {"severity", 1},
                 {"source", "isa4"},
                 {"message", "the source is " + std::to_string(d.text.size()) +
                                 " bytes, over the " + std::to_string(max_text_file_size) +
                                 " that isa4 asm reads"}});
        } else {
            for (const Mark& m : d.analysis->marks) {
                const int severity = m.severity == Severity::error     ? 1
                                     : m.severity == Severity::warning ? 2
                                                                       : 3;
                marks.push_back({{"range", range(d, m.line, m.column, m.end)},
                                 {"severity", severity},
                                 {"source", "isa4"},
                                 {"message", m.message}});
            }
        }
        return {{"jsonrpc", "2.0"},
                {"method", "textDocument/publishDiagnostics"},
                {"params", {{"uri", uri}, {"version", d.version}, {"diagnostics", marks}}}};
    }

    void apply_change(Document& d, const json& change) {
        const std::string& text = change.at("text").get_ref<const std::string&>();
        if (!change.contains("range")) {
            d.text = text;
            d.index();
            return;
        }
        std::size_t from = offset_of(d, change.at("range").at("start"));
        std::size_t to = offset_of(d, change.at("range").at("end"));
        if (to < from) std::swap(from, to);
        d.text.replace(from, to - from, text);
        d.index();  // the next change's positions are in the text after this one
    }

    // --- requests ---

    json initialize(const json& params) {
        initialized = true;
        if (params.contains("capabilities")) {
            const json& caps = params.at("capabilities");
            if (caps.contains("general") && caps["general"].contains("positionEncodings"))
                for (const json& e : caps["general"]["positionEncodings"])
                    if (e == "utf-8") utf8 = true;
        }
        if (params.contains("initializationOptions") && params["initializationOptions"].is_object())
            hints = params["initializationOptions"].value("inlayHints", false);
        json capabilities = {
            {"positionEncoding", utf8 ? "utf-8" : "utf-16"},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}}},
            {"hoverProvider", true},
            {"completionProvider", json::object()},
            {"definitionProvider", true},
            {"referencesProvider", true},
            {"renameProvider", {{"prepareProvider", true}}},
            {"documentSymbolProvider", true},
            {"documentFormattingProvider", true},
        };
        if (hints) capabilities["inlayHintProvider"] = true;
        json info = {{"name", "isa4"}};
        if (!version_.empty()) info["version"] = version_;
        return {{"capabilities", capabilities}, {"serverInfo", info}};
    }

    json hover(const json& params) {
        const Document& d = document(params);
        if (!d.analysis) return nullptr;
        const auto [line, column] = place_of(d, params.at("position"));
        const std::string text = hover_text(*d.analysis, line, column);
        if (text.empty()) return nullptr;
        const Found f = find_at(*d.analysis, line, column);
        json reply = {{"contents", {{"kind", "markdown"}, {"value", text}}}};
        if (f.kind != Found::nothing) reply["range"] = range(d, f.line, f.column, f.end);
        return reply;
    }

    json completion(const json& params) {
        const Document& d = document(params);
        json items = json::array();
        if (!d.analysis) return items;
        for (const Completion& c : completions(*d.analysis)) {
            static const int kinds[] = {14, 6, 14, 20, 21};  // Keyword, Variable, ..., Constant
            items.push_back({{"label", c.label},
                             {"kind", kinds[c.kind]},
                             {"detail", c.detail},
                             {"insertText", c.insert}});
        }
        return items;
    }

    // The defined name at a request's position, or nullptr.
    const DefinedName* name_at(const Document& d, const json& params) const {
        if (!d.analysis) return nullptr;
        const auto [line, column] = place_of(d, params.at("position"));
        const Found f = find_at(*d.analysis, line, column);
        return f.kind == Found::name ? f.defined : nullptr;
    }

    json location(const std::string& uri, const Document& d, const NameSpan& s) const {
        return {{"uri", uri}, {"range", range(d, s.line, s.column, s.end)}};
    }

    json definition(const json& params) {
        const Document& d = document(params);
        const DefinedName* n = name_at(d, params);
        if (n == nullptr) return nullptr;
        return location(params["textDocument"]["uri"], d,
                        d.analysis->assembly.names[n->definition]);
    }

    json references(const json& params) {
        const Document& d = document(params);
        const DefinedName* n = name_at(d, params);
        json out = json::array();
        if (n == nullptr) return out;
        const std::string uri = params["textDocument"]["uri"];
        bool declaration = true;
        if (params.contains("context") && params["context"].is_object())
            declaration = params["context"].value("includeDeclaration", true);
        const auto& names = d.analysis->assembly.names;
        if (declaration) out.push_back(location(uri, d, names[n->definition]));
        for (std::size_t use : n->uses) out.push_back(location(uri, d, names[use]));
        return out;
    }

    json prepare_rename(const json& params) {
        const Document& d = document(params);
        const auto [line, column] = place_of(d, params.at("position"));
        if (!d.analysis) return nullptr;
        const Found f = find_at(*d.analysis, line, column);
        if (f.kind != Found::name || f.defined == nullptr) return nullptr;
        return range(d, f.line, f.column, f.end);
    }

    json rename(const json& params) {
        const Document& d = document(params);
        const DefinedName* n = name_at(d, params);
        if (n == nullptr) throw Failure{request_failed, "no label or .equ name here"};
        const std::string name = params.at("newName").get<std::string>();
        if (const auto problem = rename_problem(*d.analysis, *n, name))
            throw Failure{request_failed, *problem};
        json edits = json::array();
        const auto& names = d.analysis->assembly.names;
        const auto edit = [&](const NameSpan& s) {
            edits.push_back({{"range", range(d, s.line, s.column, s.end)}, {"newText", name}});
        };
        edit(names[n->definition]);
        for (std::size_t use : n->uses) edit(names[use]);
        return {{"changes", {{params["textDocument"]["uri"].get<std::string>(), edits}}}};
    }

    json symbols(const json& params) {
        const Document& d = document(params);
        json out = json::array();
        if (!d.analysis) return out;
        for (const DefinedName& n : d.analysis->names) {
            const NameSpan& s = d.analysis->assembly.names[n.definition];
            const json r = range(d, s.line, s.column, s.end);
            out.push_back(
                {{"name", n.name},
                 {"kind", n.is_label ? 20 : 14},  // Key, Constant
                 {"detail", n.is_label ? printf_text("0x%02llX", static_cast<long long>(n.value))
                                       : symbol_value_text(n.value)},
                 {"range", r},
                 {"selectionRange", r}});
        }
        return out;
    }

    json formatting(const json& params) {
        const Document& d = document(params);
        json out = json::array();
        if (d.too_large) return out;
        const std::string text = format_source(d.text);
        if (text == d.text) return out;
        const std::size_t last = d.starts.size() - 1;
        out.push_back(
            {{"range",
              {{"start", {{"line", 0}, {"character", 0}}},
               {"end",
                {{"line", last}, {"character", units_of(d.line_text(last), std::string::npos)}}}}},
             {"newText", text}});
        return out;
    }

    json inlay_hints(const json& params) {
        const Document& d = document(params);
        json out = json::array();
        if (!d.analysis) return out;
        const long long first = whole_number(params.at("range").at("start").at("line"));
        const long long last = whole_number(params.at("range").at("end").at("line"));
        for (const WordHint& h : word_hints(*d.analysis)) {
            if (h.line - 1 < first || h.line - 1 > last) continue;
            out.push_back({{"position", position(d, h.line, h.end)},
                           {"label", h.text},
                           {"paddingLeft", true}});
        }
        return out;
    }

    json request(const std::string& method, const json& params) {
        if (method == "initialize") return initialize(params);
        if (method == "shutdown") {
            shut_down = true;
            return nullptr;
        }
        if (method == "textDocument/hover") return hover(params);
        if (method == "textDocument/completion") return completion(params);
        if (method == "textDocument/definition") return definition(params);
        if (method == "textDocument/references") return references(params);
        if (method == "textDocument/prepareRename") return prepare_rename(params);
        if (method == "textDocument/rename") return rename(params);
        if (method == "textDocument/documentSymbol") return symbols(params);
        if (method == "textDocument/formatting") return formatting(params);
        if (method == "textDocument/inlayHint") return inlay_hints(params);
        throw Failure{method_not_found, "no method " + in_quotes(method)};
    }

    void notification(const std::string& method, const json& params,
                      std::vector<std::string>& replies) {
        if (method == "textDocument/didOpen") {
            const json& item = params.at("textDocument");
            const std::string uri = item.at("uri").get<std::string>();
            Document opened;
            opened.text = item.at("text").get<std::string>();
            opened.version = version_of(item, 0);
            opened.update();
            Document& d = documents[uri] = std::move(opened);
            replies.push_back(dump(publish(uri, d)));
        } else if (method == "textDocument/didChange") {
            Document& d = document(params);
            // All or none: a change that fails part way leaves the document as it was.
            Document changed;
            changed.text = d.text;
            changed.index();
            for (const json& change : params.at("contentChanges")) apply_change(changed, change);
            changed.version = version_of(params.at("textDocument"), d.version + 1);
            changed.update();
            d = std::move(changed);
            replies.push_back(dump(publish(params["textDocument"]["uri"], d)));
        } else if (method == "textDocument/didClose") {
            const std::string uri = params.at("textDocument").at("uri").get<std::string>();
            if (documents.erase(uri) != 0)
                replies.push_back(
                    dump({{"jsonrpc", "2.0"},
                          {"method", "textDocument/publishDiagnostics"},
                          {"params", {{"uri", uri}, {"diagnostics", json::array()}}}}));
        }
        // Other notifications ($/cancelRequest, initialized, didSave ...) need nothing.
    }
};

}  // namespace

struct LanguageServer::Impl : Server {
    using Server::Server;
};

LanguageServer::LanguageServer(std::string version)
    : impl_(std::make_unique<Impl>(std::move(version))) {}
LanguageServer::~LanguageServer() = default;

std::string LanguageServer::framing_error(const std::string& message) {
    return dump(error_reply(nullptr, parse_error, message));
}

void LanguageServer::handle(std::string_view body, std::vector<std::string>& replies) {
    json message = json::parse(body.begin(), body.end(), nullptr, false);
    if (message.is_discarded()) {
        replies.push_back(dump(error_reply(nullptr, parse_error, "the body is not JSON")));
        return;
    }
    if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
        // A response to a request of ours (we send none) needs no answer.
        if (message.is_object() && !message.contains("method") &&
            (message.contains("result") || message.contains("error")))
            return;
        const json id = message.is_object() && message.contains("id") ? message["id"] : json();
        replies.push_back(dump(error_reply(id.is_number_integer() || id.is_string() ? id : json(),
                                           invalid_request, "not a JSON-RPC request")));
        return;
    }
    const std::string method = message["method"];
    const json params = message.contains("params") ? message["params"] : json::object();
    Impl& s = *impl_;
    if (!message.contains("id")) {
        if (method == "exit") {
            finished_ = true;
            shut_down_ = s.shut_down;
            return;
        }
        if (!s.initialized || s.shut_down) return;
        try {
            s.notification(method, params, replies);
        } catch (const Failure&) {
        } catch (const json::exception&) {
        }
        return;
    }
    const json id = message["id"];
    if (!id.is_number_integer() && !id.is_string()) {
        replies.push_back(
            dump(error_reply(nullptr, invalid_request, "the id is no number or string")));
        return;
    }
    if (s.shut_down) {
        replies.push_back(dump(error_reply(id, invalid_request, "the server is shut down")));
        return;
    }
    if (!s.initialized && method != "initialize") {
        replies.push_back(dump(error_reply(id, server_not_initialized, "initialize first")));
        return;
    }
    if (s.initialized && method == "initialize") {
        replies.push_back(dump(error_reply(id, invalid_request, "already initialized")));
        return;
    }
    try {
        replies.push_back(
            dump({{"jsonrpc", "2.0"}, {"id", id}, {"result", s.request(method, params)}}));
    } catch (const Failure& f) {
        replies.push_back(dump(error_reply(id, f.code, f.message)));
    } catch (const json::exception& e) {
        replies.push_back(dump(error_reply(id, invalid_params, "bad params")));
    }
}

namespace {

constexpr std::size_t max_header_line = 1024;
constexpr int max_header_lines = 32;

// One header line without its line end; false at the end of input.
bool header_line(std::istream& in, std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    for (;;) {
        const int c = in.get();
        if (c == std::char_traits<char>::eof()) return !line.empty() || too_long;
        if (c == '\n') break;
        if (line.size() < max_header_line)
            line.push_back(static_cast<char>(c));
        else
            too_long = true;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

}  // namespace

FrameResult read_frame(std::istream& in, std::string& body, std::string& fault) {
    body.clear();
    fault.clear();
    std::optional<std::size_t> length;
    bool bad = false;
    std::string line;
    int lines = 0;
    for (;;) {
        bool too_long = false;
        if (!header_line(in, line, too_long)) return FrameResult::end;
        if (line.empty() && !too_long) {
            if (lines == 0) continue;  // blank lines between messages are no message
            break;
        }
        ++lines;
        if (too_long || lines > max_header_lines) {
            bad = true;
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            bad = true;
            continue;
        }
        if (lower(line.substr(0, colon)) != "content-length") continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
        const auto n = parse_cli_number(value, 0, UINT64_MAX);
        if (!n || value.empty() || value.find_first_not_of("0123456789") != std::string::npos) {
            bad = true;
            continue;
        }
        length = *n;
    }
    if (!length) {
        fault = bad ? "a header line that is no 'Name: value' or a bad Content-Length"
                    : "no Content-Length header";
        return FrameResult::fault;
    }
    if (*length > max_message_size) {
        // Skipped unread, a little at a time, so that the next message is found.
        char buffer[65536];
        std::size_t left = *length;
        while (left > 0 && in) {
            in.read(buffer, static_cast<std::streamsize>(std::min(left, sizeof buffer)));
            left -= static_cast<std::size_t>(in.gcount());
            if (in.gcount() == 0) break;
        }
        fault = "a message of " + std::to_string(*length) + " bytes, over the " +
                std::to_string(max_message_size) + " read";
        return FrameResult::fault;
    }
    // Read as it comes: memory grows with the bytes that arrive, not with the length
    // claimed.
    char buffer[65536];
    while (body.size() < *length) {
        in.read(buffer,
                static_cast<std::streamsize>(std::min(*length - body.size(), sizeof buffer)));
        if (in.gcount() == 0) return FrameResult::end;
        body.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return FrameResult::message;
}

std::string frame(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

int serve(std::istream& in, std::ostream& out, const std::string& version) {
    LanguageServer server(version);
    std::string body;
    std::string fault;
    std::vector<std::string> replies;
    while (!server.finished()) {
        const FrameResult r = read_frame(in, body, fault);
        if (r == FrameResult::end) return 1;  // the client went away without `exit`
        replies.clear();
        if (r == FrameResult::fault)
            replies.push_back(LanguageServer::framing_error(fault));
        else
            server.handle(body, replies);
        for (const std::string& reply : replies) out << frame(reply);
        out.flush();
        if (!out) return 1;
    }
    return server.exit_status();
}
