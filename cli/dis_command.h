// `isa4 dis IMAGE`: lists a ROM image in any format as assembly that `asm` reads back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

struct DisArgs {
    std::string image;
    bool every_word = false;
    std::string symbols;
    std::string from;  // --from: the image's format, or empty
};

CLI::App* add_dis_command(CLI::App& app, DisArgs& args);
int run_dis(const DisArgs& args);
