// Messages for the user: the diagnostic that every isa4 layer hands upward as a value,
// the one printer that turns it into a line, and the escapes every byte from outside
// (a path, a token, a file's contents, a suite name) goes through before it is shown.
//
// A shown text never carries a raw control byte: bytes 20..7E stand as themselves, every
// other byte as \xNN (lower-case hex).
#pragma once

#include <string>
#include <string_view>

// A message about a place in a text file.
struct Diagnostic {
    int line = 0;
    int column = 0;
    std::string message;
    bool warning = false;
};

// "file:line:column: error: message", the form editors understand.
std::string format_diagnostic(const std::string& file, const Diagnostic& d);

// A token for a message: cut to about 40 characters with "...", control and non-ASCII
// bytes escaped (\x1b).
std::string quote_for_message(std::string_view token);

// The token in single quotes, cut and escaped as above: 'name'.
std::string in_quotes(std::string_view token);

// The same escapes without the cut, for file names: a name is shown whole.
std::string escape_for_message(std::string_view text);
