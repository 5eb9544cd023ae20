// What every isa4 command shares at its edges: the exit codes, printing diagnostics,
// reading text inputs, writing outputs all or none, and checked output.
//
// Text inputs (sources, RAM data, expectation files ...) are read by the image loads'
// rules: a regular file only, opened without blocking, every read checked, and at most
// `max_text_file_size` bytes, far beyond any real isa4 program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "machine/image_file.h"
#include "text/source_text.h"

// The exit status of every isa4 command.
inline constexpr int exit_ok = 0;
inline constexpr int exit_failed = 1;  // a program, an image, a check or a write failed
inline constexpr int exit_usage = 2;   // bad usage, or a suite with mistakes

// Writes a diagnostic to standard error, one line, through the one printer.
void print_diagnostic(const Diagnostic& d);

// The subcommand being run ("isa4 test"; "isa4" until one is known), which usage errors
// name.
void set_command_name(const std::string& name);
// Prints a mistake in how the command is called, in the one shape of every usage error
// (`format_usage_error`); returns exit_usage.
int usage_error(const std::string& what);
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

// A command writes its files all or none. Before it reads or computes anything it hands
// the list of its outputs to `check_outputs`; once everything is computed, an
// `OutputWriter` writes each into a temporary file beside its target and renames them
// all only when every one is written.
struct Output {
    std::string option;  // how the command line named it: "-o", "--junit", "--feedback"
    std::string path;
    std::string what;  // "the ROM image": "cannot write the ROM image (REASON)"
    // How many missing folders above it are made: 1 its own folder (the one above must
    // exist), 2 that folder's too, and so on; 0 none.
    unsigned folders_made = 0;
};

// Refuses, with a message on standard error, outputs that name one file twice (the
// names as the system resolves them: `./x` and `x`, a link and its file, two hard links,
// also for files that do not exist yet) or an existing input (exit_usage), and an
// output that cannot be written: an empty name, a directory or anything but a regular
// file, a missing or read-only folder, a read-only file (exit_failed). exit_ok when all
// are clear. Empty names in `inputs` are skipped.
int check_outputs(const std::vector<Output>& outputs, const std::vector<std::string>& inputs);

// Writes the checked `outputs` (kept by reference, by index) all or none. A writer
// destroyed before `commit` leaves every target as it was and removes its temporary
// files and the folders it made.
class OutputWriter {
public:
    explicit OutputWriter(const std::vector<Output>& outputs);
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;
    ~OutputWriter();

    // Writes output k's bytes into its temporary file; false, with "cannot write WHAT
    // (REASON)" on standard error, when that fails.
    bool stage(std::size_t k, std::string_view bytes);
    // The same for bytes made piece by piece (see `save_file_from`).
    bool stage_from(std::size_t k, const std::function<bool(const PieceSink&)>& fill);

    // Renames every staged file over its target. Each rename is atomic, the set is not:
    // should one fail, the message names the files already replaced and those left as
    // they were, and the result is false.
    bool commit();

private:
    const std::vector<Output>& outputs_;
    std::vector<StagedFile> staged_;
    std::vector<std::string> made_folders_;
};

// Stages every output with the bytes of the same index, then commits: all or none.
bool write_outputs(const std::vector<Output>& outputs, const std::vector<std::string>& bytes);

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
