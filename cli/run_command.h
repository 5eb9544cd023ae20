// `isa4 run IMAGE`: runs a program from reset, headless, with a trace, breakpoints and a
// check of the final state against an expectation file.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

struct RunArgs {
    std::string image;
    std::string ram;
    std::string steps;  // empty: run until a halt, at most the default step limit
    bool until_halt = false;
    std::vector<std::string> breaks;
    bool trace = false;
    bool quiet = false;
    std::string save_ram;
    std::string save_format = "raw";
    std::string symbols;
    std::string expect;
    std::string from;      // --from: the ROM image's format, or empty
    std::string ram_from;  // --ram-from: the RAM image's format, or empty
};

CLI::App* add_run_command(CLI::App& app, RunArgs& args);
int run_run(const RunArgs& args);
