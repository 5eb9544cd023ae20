// The text readers never fail on any input: random bytes and random soups of the
// tokens they know, for a bounded number of rounds (the sanitizer build runs this too).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "headless/state_file.h"
#include "toolchain/assembler.h"

namespace {

const char* const tokens[] = {
    "ADD",   "ADDI", "JZ",   "MOVE",
    "r0",    "rf",   "r1",   "R9",
    "ra",    "[",    "]",    ",",
    ":",     "@",    "+",    "-",
    "..",    "=",    ".org", ".word",
    ".equ",  "0x",   "0xFF", "0x1000000",
    "255",   "256",  "-128", "'a'",
    "'\\",   "'",    "0b",   "0b2",
    "label", "lbl:", "x",    ";",
    "#",     " ",    "\t",   "\n",
    "\r\n",  "pc",   "z",    "99999999999999999999",
    "\xff",  "\0",
};

std::string random_bytes(std::mt19937& rng) {
    std::string s(rng() % 200, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

std::string token_soup(std::mt19937& rng) {
    std::string s;
    const int n = static_cast<int>(rng() % 80);
    for (int i = 0; i < n; ++i) s += tokens[rng() % (sizeof tokens / sizeof tokens[0])];
    return s;
}

TEST(TextFuzz, AssemblerAndStateFilesTakeAnyInput) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = round % 3 == 0 ? random_bytes(rng) : token_soup(rng);
        const Assembly a = assemble(text);
        for (const Diagnostic& d : a.diagnostics) {
            ASSERT_GE(d.line, 1);
            ASSERT_GE(d.column, 1);
            ASSERT_FALSE(d.message.empty());
        }
        const StateFile f = parse_state_file(text);
        Isa4::Ram ram{};
        apply_ram_entries(f, ram);
    }
}

}  // namespace
