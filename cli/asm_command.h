// `isa4 asm SOURCE -o IMAGE`: assembles a program into a ROM image in any format, and
// writes its labels and constants to a symbol file on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct AsmArgs {
    std::string source;
    std::string output;
    std::string format = "raw";
    std::string symbols;
};

CLI::App* add_asm_command(CLI::App& app, AsmArgs& args);
int run_asm(const AsmArgs& args);
