// `isa4 convert IN -o OUT --to FORMAT`: an image from one format into another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct ConvertArgs {
    std::string input;
    std::string output;
    std::string format;
    bool ram = false;
    std::string from;  // --from: the input's format, or empty
};

CLI::App* add_convert_command(CLI::App& app, ConvertArgs& args);
int run_convert(const ConvertArgs& args);
