// `isa4 debug PROGRAM`: a debugger in the terminal that steps forward and back through a
// run, with breakpoints, watches, and values printed and set (see trace/debugger.h).
//
// On a terminal it prompts "(isa4) ", edits lines and keeps their history (with
// libedit where the build found it), and Enter repeats the last step or back; otherwise
// standard input is read as a script, with no prompt and no colour. Plain lines only,
// no cursor addressing, so that a screen reader reads each answer as it comes.
//
// Exit status: 0 when the session ends (quit or end of input), 1 when the program,
// the RAM image or the symbols cannot be read, 2 on bad usage.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct DebugArgs {
    std::string program;
    std::string ram;
    std::string symbols;
    std::string history;
    std::vector<std::string> commands;  // -ex, in order
};

CLI::App* add_debug_command(CLI::App& app, DebugArgs& args);
int run_debug(const DebugArgs& args);

// gdb spells its "run this command first" option -ex, which the option parser takes for
// -e x: after the `debug` subcommand, an argument "-ex" is made "--ex".
void spell_debug_options(int argc, char** argv);
