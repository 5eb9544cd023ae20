// What every isa4 command shares at its edges: the exit codes, printing diagnostics,
// reading text inputs, outputs that must not overwrite inputs, and checked output.
//
// Text inputs (sources, RAM data, expectation files ...) are read by the image loads'
// rules: a regular file only, opened without blocking, every read checked, and at most
// `max_text_file_size` bytes, far beyond any real isa4 program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/source_text.h"

// The exit status of every isa4 command.
inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;  // a program, an image, a check or a write failed
inline constexpr int exit_usage = 2;   // bad usage, or a suite with mistakes

// Writes a diagnostic to standard error, one line, through the one printer.
void print_diagnostic(const Diagnostic& d);
void print_diagnostic(const std::string& file, const Diagnostic& d);

// "FILE: error: MESSAGE" on standard error, through the one printer.
void complain(const std::string& file, const std::string& message);

// Prints the diagnostics of `file`; true when none of them is an error.
bool report(const std::string& file, const std::vector<Diagnostic>& diagnostics);

// The checks of the command line's values, for CLI11 validators: "" when `text` is good,
// otherwise what was expected.
std::string address_check(const std::string& text);  // an address 0..255
std::string count_check(const std::string& text);    // a count 0..2^64-1
std::string name_check(const std::string& text);     // a file name, never empty

// Reads a text input by the rules above; on failure prints
// "FILE: error: cannot read the file (REASON)" to stderr and returns nothing.
std::optional<std::string> read_text_input(const std::string& path);

// Refuses (message on stderr, returns false) when `output` names the same file as one of
// `inputs`.
bool output_clear_of_inputs(const std::string& output, const std::vector<std::string>& inputs);

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
