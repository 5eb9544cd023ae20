// `isa4 trace PROGRAM -o PAGE.html`: runs a program from reset as `isa4 run` does and
// writes every step into one self-contained web page that moves back and forth through
// the run.
//
// Exit status: 0 when the page is written (whatever way the run ended), 1 when the
// program, an image or the symbols cannot be read or the page cannot be written, 2 on
// bad usage.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct TraceArgs {
    std::string program;
    std::string ram;
    std::string steps;
    std::vector<std::string> breaks;
    std::string symbols;
    std::string output;
};

CLI::App* add_trace_command(CLI::App& app, TraceArgs& args);
int run_trace(const TraceArgs& args);
