// The isa4 binary run as a user runs it, in a scratch folder of the test's own: files
// written and read there, and each run's exit status and both output streams.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/scratch_dir.h"

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// [02] = [00] * [01], adding [00] [01] times: the exercise the tests grade.
inline const char* const multiply_source =
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "loop:   ADDI r2, r2, 0\n"
    "        JZ   done\n"
    "        ADD  r3, r3, r1\n"
    "        ADDI r2, r2, -1\n"
    "        ADDI r0, r0, 0\n"
    "        JZ   loop\n"
    "done:   MOVE [0x02], r3\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";

class Isa4InScratch : public ::testing::Test {
public:
    ScratchDir scratch;

    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(scratch.path(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(scratch.path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // `isa4 ARGS` in the scratch folder (ARGS as a shell would split them).
    Outcome isa4(const std::string& args) const {
        const std::string command =
            "cd '" + scratch.dir() + "' && '" ISA4_BINARY "' " + args + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read("stdout.txt"), read("stderr.txt")};
    }
};
