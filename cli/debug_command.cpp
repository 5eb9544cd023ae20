#include "cli/debug_command.h"

#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef KELVANE_LIBEDIT
#include <editline/readline.h>
#endif

#include "cli/cli_io.h"
#include "cli/command_options.h"
#include "formats/image_formats.h"
#include "toolchain/assembler.h"
#include "trace/debugger.h"
#include "trace/page.h"

namespace {

// The most history a session may keep: about 5 bytes a step.
constexpr std::uint64_t max_history = 10000000;
// A longer command line is answered with a message and not read.
constexpr std::size_t max_command_line = 1 << 16;

std::string history_check(const std::string& text) {
    return parse_cli_number(text, 0, max_history)
               ? ""
               : "expected a count 0.." + std::to_string(max_history) +
                     " (decimal, 0x hex or 0b binary)";
}

// Reads the program, its RAM and its names into `program`; false, with the messages
// printed, when one of them cannot be read.
bool load_program(const DebugArgs& args, DebugProgram& program) {
    ProgramFile file;
    Diagnostic error;
    if (!read_program_file(args.program, file, error)) {
        print_diagnostic(error);
        return false;
    }
    Assembly assembly;
    if (file.is_source) {
        assembly = assemble(file.source);
        if (!report(args.program, assembly.diagnostics)) {
            complain(args.program, "the program does not assemble");
            return false;
        }
        program.machine.rom = assembly.rom;
    } else {
        take_image(file.image, program.machine.rom);
    }
    if (!args.ram.empty() && !load_ram_any(args.ram, program.machine.ram, error)) {
        print_diagnostic(error);
        return false;
    }
    program.symbols = assembly.symbols;
    if (!args.symbols.empty() && !load_symbols(args.symbols, program.symbols)) return false;
    program.listing = file.is_source
                          ? source_listing(file.source, assembly.word_lines)
                          : image_listing(program.machine.rom,
                                          program.symbols.empty() ? nullptr : &program.symbols);
    program.machine.reset();
    return true;
}

// Where the commands come from: libedit on a terminal, plain lines otherwise.
class CommandReader {
public:
    explicit CommandReader(bool terminal) : terminal_(terminal) {
#ifdef KELVANE_LIBEDIT
        if (terminal_) using_history();
#endif
    }

    // The next line, false at the end of input. `too_long` is set (and the line cut)
    // when it passed `max_command_line`.
    bool next(std::string& line, bool& too_long) {
        too_long = false;
#ifdef KELVANE_LIBEDIT
        if (terminal_) {
            char* got = readline("(isa4) ");
            if (got == nullptr) return false;
            line = got;
            std::free(got);
            if (!line.empty()) add_history(line.c_str());
            too_long = line.size() > max_command_line;
            return true;
        }
#endif
        if (terminal_) {
            std::cout << "(isa4) " << std::flush;
        }
        line.clear();
        int c;
        bool any = false;
        while ((c = std::getchar()) != EOF) {
            any = true;
            if (c == '\n') return true;
            if (line.size() < max_command_line)
                line += static_cast<char>(c);
            else
                too_long = true;
        }
        return any;
    }

private:
    bool terminal_;
};

class Session {
public:
    Session(DebugProgram program, bool terminal, bool colour)
        : debugger_(std::move(program)), terminal_(terminal), colour_(colour) {
        sink_ = [this](Debugger::Tone tone, const std::string& line) { print(tone, line); };
    }

    void start() {
        if (terminal_)
            std::cout << "help lists the commands; quit or end of input ends the session\n";
        debugger_.show_where(sink_);
        std::cout.flush();
    }

    // Runs one line; false once the session is to end.
    bool run(const std::string& text) {
        std::string line = text;
        // On a terminal an empty line repeats the last step or back.
        if (terminal_ && line.find_first_not_of(" \t\r") == std::string::npos) line = repeat_;
        Diagnostic error;
        const std::optional<DebugCommand> command = parse_command(line, debugger_.symbols(), error);
        bool go_on = true;
        if (!command) {
            fail(error);
        } else {
            if (command->kind == DebugCommand::step || command->kind == DebugCommand::back)
                repeat_ = line;
            if (command->kind == DebugCommand::quit) go_on = false;
            if (!debugger_.execute(*command, sink_, error)) fail(error);
        }
        std::cout.flush();
        return go_on && !output_failed();
    }

    void too_long(const std::string& line) {
        const std::size_t space = line.find_first_of(" \t");
        Diagnostic error;
        error.file = quote_for_message(line.substr(0, space == std::string::npos ? 40 : space));
        error.message =
            "the line is longer than " + std::to_string(max_command_line) + " bytes; nothing done";
        fail(error);
    }

private:
    void print(Debugger::Tone tone, const std::string& line) {
        const char* start = "";
        if (colour_ && tone == Debugger::Tone::stop) start = "\033[1;33m";
        if (colour_ && tone == Debugger::Tone::where) start = "\033[36m";
        if (*start != '\0')
            std::cout << start << line << "\033[0m\n";
        else
            std::cout << line << '\n';
    }

    void fail(const Diagnostic& error) {
        std::cout.flush();
        print_diagnostic(error);
    }

    Debugger debugger_;
    Debugger::Sink sink_;
    bool terminal_;
    bool colour_;
    std::string repeat_;
};

}  // namespace

void spell_debug_options(int argc, char** argv) {
    static char long_form[] = "--ex";
    int first = 1;  // the subcommand: the first argument that is no option
    while (first < argc && argv[first][0] == '-') ++first;
    if (first >= argc || std::strcmp(argv[first], "debug") != 0) return;
    for (int i = first + 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return;
        if (std::strcmp(argv[i], "-ex") == 0) {
            argv[i] = long_form;
            ++i;  // its command, whatever it reads
        }
    }
}

CLI::App* add_debug_command(CLI::App& app, DebugArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand(
        "debug", "Step a program forward and back in the terminal, with breakpoints and watches");
    cmd->add_option("PROGRAM", args.program, "assembly source or ROM image (any format)")
        ->required()
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--ram", args.ram, "RAM image to load first")->check(named)->type_name("IMAGE");
    cmd->add_option("--symbols", args.symbols,
                    "show the names of this symbol file (a source's own names by default)")
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--history", args.history,
                    "keep at most N steps for going back (default 1000000)")
        ->check(CLI::Validator(history_check, "", "count"))
        ->type_name("N");
    cmd->add_option("--ex", args.commands,
                    "run this command first (-ex as gdb spells it; repeatable)")
        ->type_name("CMD")
        ->allow_extra_args(false);
    cmd->footer(
        "Commands: step [N] (s), back [N] (reverse-step, rs), continue (c), "
        "reverse-continue (rc), goto STEP, restart, break ADDR|LABEL (b), delete [N], "
        "watch rN|[ADDR]|[ADDR..ADDR], info breakpoints|watch|registers, "
        "print rN|pc|z|[ADDR]|[ADDR..ADDR] (p), when rN|[ADDR], set rN|[ADDR]|pc|z = V, list, "
        "help [COMMAND], quit. Numbers are written as in the sources: decimal, 0x hex or 0b "
        "binary (16, 0x10, 0b10000); the answers show addresses and values in hex.\n"
        "On a terminal: the prompt (isa4), line editing and history, Enter repeats the last "
        "step or back, colour unless NO_COLOR is set. Otherwise standard input is read as a "
        "script: no prompt, no colour, the same text every time.\n"
        "Exit status: 0 when the session ends, 1 when the program, the RAM image or the "
        "symbols cannot be read, 2 bad usage.");
    return cmd;
}

int run_debug(const DebugArgs& args) {
    DebugProgram program;
    if (!args.history.empty()) program.history = *parse_cli_number(args.history, 0, max_history);
    if (!load_program(args, program)) return exit_failed;

    const bool terminal = isatty(STDIN_FILENO) == 1;
    const bool colour = isatty(STDOUT_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
    Session session(std::move(program), terminal, colour);
    session.start();
    for (const std::string& command : args.commands)
        if (!session.run(command)) return exit_ok;
    CommandReader reader(terminal);
    std::string line;
    bool too_long = false;
    while (reader.next(line, too_long)) {
        if (too_long) {
            session.too_long(line);
            continue;
        }
        if (!session.run(line)) break;
    }
    if (terminal) std::cout << '\n';
    return exit_ok;
}
