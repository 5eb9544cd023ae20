// Reading the isa4 command line's text files (assembly sources, expectation files and
// RAM data files) line by line, with positions for the messages.
//
// A `LineScanner` walks one line; columns count bytes from 1. Comments start with ';'
// or '#' and run to the end of the line. Numbers are decimal (42), hex (0x2A), binary
// (0b101010) or a character literal ('*', with the escapes \n \t \0 \\ \' \").
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/message.h"

// The cap on text inputs (sources, RAM data, expectation files, suites, hex files ...).
inline constexpr std::size_t max_text_file_size = 4u << 20;  // 4 MiB

// The lines of a text as editors save it: a leading UTF-8 byte order mark is dropped, and
// "\r\n", "\n" and a lone "\r" each end a line (not part of it).
std::vector<std::string_view> split_lines(std::string_view text);

// "UTF-16" or "UTF-32" when `bytes` are text in one of them, told by its byte order mark
// or, without one, by a zero byte beside each character of the first line's worth; else
// nullptr. Every text reader refuses such a file with `wide_text_message`.
const char* wide_text_encoding(std::string_view bytes);
// "UTF-16 text: save it as UTF-8".
std::string wide_text_message(const char* encoding);

class LineScanner {
public:
    LineScanner(std::string_view line, int line_number) : text_(line), line_(line_number) {}

    void skip_spaces();
    // True at the end of the line or at a comment (after skipping spaces).
    bool at_end();
    // The column of the next character, counted from 1.
    int column() const { return static_cast<int>(pos_) + 1; }
    int line() const { return line_; }
    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    char peek_at(std::size_t ahead) const {
        return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
    }
    // Consumes `c` if it comes next (after spaces).
    bool accept(char c);
    bool accept(std::string_view s);

    // A name: a letter, '_' or '.', then letters, digits, '_' or '.'. Empty if none.
    std::string_view identifier();
    // The next word up to a space, comma, bracket or comment, for messages.
    std::string_view token_for_message();

    bool at_number() const;
    // A number as described above, every digit kept. One past 64 bits is no fault here:
    // it comes back marked `too_large`, for the caller's "out of range" message.
    struct Literal {
        std::int64_t value = 0;
        bool too_large = false;  // past 2^63 - 1; `value` is then meaningless
        std::string_view typed;  // the number as written
    };
    std::optional<Literal> literal(std::string& error);
    // A number as above; on a fault, a number past 64 bits included, sets `error` and
    // returns nothing.
    std::optional<std::int64_t> number(std::string& error);
    // A number in lo..hi where one must be (after spaces). Else nothing, and in `out` why:
    // "expected WHAT" (with ", found 'x'" when a word stands there), the number's own
    // fault, or "value N is out of range (lo..hi)".
    std::optional<std::uint64_t> number_in(std::uint64_t lo, std::uint64_t hi,
                                           std::string_view what, std::vector<Diagnostic>& out);
    // The text from `column` up to the scanner's position, for quoting what was typed.
    std::string_view text_since(int column) const {
        const auto from = static_cast<std::size_t>(column - 1);
        return from < pos_ ? text_.substr(from, pos_ - from) : std::string_view();
    }

    Diagnostic error_here(std::string message) const {
        return {line_, column(), std::move(message)};
    }
    Diagnostic error_at(int column, std::string message) const {
        return {line_, column, std::move(message)};
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int line_;
};

// The base of a number written as `text`: 16 after "0x", 2 after "0b" (either case),
// else 10; `prefix` is the length of the "0x" or "0b". A leading 0 is no octal prefix.
int number_base(std::string_view text, std::size_t& prefix);

// The value of `digits` in `base`, every digit counted: nothing when it is empty, holds a
// character that is not a digit of the base, or passes 2^64 - 1.
std::optional<std::uint64_t> digits_value(std::string_view digits, int base);

// The value of a hex digit (either case), -1 for any other character.
int hex_digit(char c);

// A space, a tab or a carriage return; `s` without those around it.
bool is_line_space(char c);
std::string_view trim_spaces(std::string_view s);

bool is_identifier_start(char c);
bool is_identifier_char(char c);

// A number typed on the command line, with the source files' syntax (decimal, 0x, 0b;
// no octal, no sign), in lo..hi; nothing if it is not one.
std::optional<std::uint64_t> parse_cli_number(const std::string& text, std::uint64_t lo,
                                              std::uint64_t hi);

// Lower-case copy, for names compared without regard to case.
std::string lower(std::string_view s);
