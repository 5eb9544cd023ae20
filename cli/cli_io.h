// What every isa4 command shares at its edges: reading text inputs, numbers typed on the
// command line, outputs that must not overwrite inputs, and tokens quoted in messages.
//
// Text inputs (sources, RAM data, expectation files ...) are read by the image loads'
// rules: a regular file only, opened without blocking, every read checked, and at most
// `max_text_file_size` bytes, far beyond any real isa4 program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The cap on text inputs (sources, RAM data, expectation files, suites, hex files ...).
inline constexpr std::size_t max_text_file_size = 4u << 20;  // 4 MiB

// Reads a text input by the rules above; on failure prints
// "FILE: error: cannot read the file (REASON)" to stderr and returns nothing.
std::optional<std::string> read_text_input(const std::string& path);

// A number typed on the command line, with the source files' syntax (decimal, 0x, 0b;
// no octal, no sign), in lo..hi; nothing if it is not one.
std::optional<std::uint64_t> parse_cli_number(const std::string& text, std::uint64_t lo,
                                              std::uint64_t hi);

// Refuses (message on stderr, returns false) when `output` names the same file as one of
// `inputs`.
bool output_clear_of_inputs(const std::string& output, const std::vector<std::string>& inputs);

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

// Standard output and error with every write checked. Once installed, std::cout and
// std::cerr write through it: a failed write (a full disk, a closed pipe) is kept, later
// writes to that stream are dropped, and `finish_output` reports it. SIGPIPE is ignored,
// so that a closed pipe is a failed write like any other.
void install_checked_output();

// True once a write to standard output has failed.
bool output_failed();

// Flushes the output. On a failed write, says so on standard error (when that still
// works) and gives 1 in place of a success; otherwise gives `status` back.
int finish_output(int status);
