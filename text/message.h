// Messages for the user: the diagnostic that every isa4 layer hands upward as a value,
// the one printer that turns it into a line, and the escapes every byte from outside
// (a path, a token, a file's contents, a suite name) goes through before it is shown.
//
// A shown text never carries a raw control byte: bytes 20..7E stand as themselves, every
// other byte as \xNN (lower-case hex).
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A message about a file or a place in it, an error or a warning. Every layer hands these
// upward; only the command's edge prints them, through `format_diagnostic`.
struct Diagnostic {
    int line = 0;         // from 1; 0 when the message is about the whole file
    int column = 0;       // from 1; 0 when it is about the whole line
    std::string message;  // its own words, with every outside token already escaped
    bool warning = false;
    std::string file = {};  // as given by the user; the printer escapes it
    // Lines said under it, at the same place: how the file was read, what to do instead.
    std::vector<std::string> notes = {};
};

// "file:line:column: error: message", the form editors understand; without the column
// or the line where the diagnostic has none ("file:3: error: ...", "file: error: ...").
// Each note follows on a line of its own: "file:line:column: note: note".
std::string format_diagnostic(const Diagnostic& d);

// The same for a diagnostic about `file`, whatever its own `file`.
std::string format_diagnostic(const std::string& file, const Diagnostic& d);

// A mistake in how a command is called, in the one shape of every usage error:
//   isa4 test: error: WHAT
//   isa4 test: try 'isa4 test --help'
// `command` is "isa4 test", or "isa4" for the command itself.
std::string format_usage_error(const std::string& command, const std::string& what);

// printf into a string, the compiler checking the arguments against the format: the one
// formatter behind the hex and decimal texts of the isa4 layers ("0x%02X", "%05X" ...).
std::string printf_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A token for a message: cut to about 40 characters with "...", control and non-ASCII
// bytes escaped (\x1b).
std::string quote_for_message(std::string_view token);

// The token in single quotes, cut and escaped as above: 'name'.
std::string in_quotes(std::string_view token);

// The same escapes without the cut, for file names: a name is shown whole.
std::string escape_for_message(std::string_view text);

// The length of the UTF-8 sequence at `s[i]`, 0 when it is not a valid one (overlong,
// a surrogate, past U+10FFFF, or cut short).
std::size_t utf8_length(std::string_view s, std::size_t i);

// True when every byte of `bytes` is ASCII or part of a valid UTF-8 sequence.
bool is_utf8_text(std::string_view bytes);

// For text that keeps its UTF-8 (reports and pages, where names may be in any language):
// valid UTF-8 kept, but for C1 controls, the bidirectional controls, U+2028/U+2029 and
// the noncharacters U+FFFE/U+FFFF; those, control bytes (tab too) and stray bytes are
// shown escaped: \xNN for a byte, \u{NNNN} for a code point.
std::string printable(std::string_view text);

// `text` as a JSON string, the one JSON escape of every writer (reports, trace pages):
// '"', '\\', tab and line end as JSON escapes; '<', '>', '&', U+2028 and U+2029 as \u
// escapes, so that the string may stand inside an HTML script element; other control
// bytes and bytes that are not UTF-8 shown as the text \xNN.
std::string json_text(std::string_view text);
