// `isa4 ram DATA -o IMAGE`: builds a RAM image from a text file of cell values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct RamArgs {
    std::string data;
    std::string output;
    std::string format = "raw";
};

CLI::App* add_ram_command(CLI::App& app, RamArgs& args);
int run_ram(const RamArgs& args);
