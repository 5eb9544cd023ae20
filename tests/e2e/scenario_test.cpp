// A user's session with the real workbench under Xvfb, driven only through its window
// with xdotool's mouse clicks and typing: load a program, reset, run it at 20 steps per
// second for a few seconds, stop, save the RAM, close the window. The saved RAM must be
// exactly what the machine holds after the steps it ran, and the steps must match the
// rate and the time the run lasted.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "machine/image_file.h"
#include "machine/instruction.h"
#include "machine/isa4.h"
#include "tests/e2e/workbench_window.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Counts in r1 and keeps the count in RAM 00 and the running sum of the counts in 01:
//   00 loop: ADDI r1, r1, 1
//   01       MOVE [0x00], r1
//   02       ADD  r2, r2, r1
//   03       MOVE [0x01], r2
//   04       ADDI r0, r0, 0     (sets z: r0 stays 0)
//   05       JZ   loop          (operand FF: word 00 runs next)
Isa4::Rom counting_program() {
    const auto word = [](std::uint32_t opcode, std::uint32_t dst, std::uint32_t lhs,
                         std::uint32_t rhs_or_imm, std::uint32_t daddr = 0) {
        Instruction in;
        in.opcode = opcode;
        in.dst = dst;
        in.lhs = lhs;
        in.rhs = rhs_or_imm;
        in.imm = rhs_or_imm;
        in.daddr = daddr;
        return encode_word(in);
    };
    Isa4::Rom rom{};
    rom[0] = word(op_addi, 1, 1, 1);
    rom[1] = word(op_move_mr, 0, 0, 1, 0x00);
    rom[2] = word(op_add, 2, 2, 1);
    rom[3] = word(op_move_mr, 0, 0, 2, 0x01);
    rom[4] = word(op_addi, 0, 0, 0);
    rom[5] = word(op_jz, 0, 0, 0xFF);
    return rom;
}
constexpr int steps_per_round = 6;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using Session = WorkbenchTest;

TEST_F(Session, LoadRunStopAndSaveThroughTheWindow) {
    const Isa4::Rom program = counting_program();
    ASSERT_TRUE(save_rom_image((dir + "/count.rom").c_str(), program));

    ASSERT_NO_FATAL_FAILURE(start());

    // 1. Load the program.
    type_into(rom_filename, "count.rom");
    click(load_rom_button);
    pause();
    const std::string shot = std::string(KELVANE_ARTEFACT_DIR) + "/session-after-load.ppm";
    EXPECT_TRUE(x.screenshot(window, shot)) << shot;

    // 2. Reset, the rate to 20, run for a while, stop.
    click(reset_button);
    pause();
    type_into_slider(clocks_min, "20");
    click(run_button);
    const auto started = Clock::now();
    std::this_thread::sleep_for(4s);
    click(run_button);  // it now reads "Stop"
    const auto stopped = Clock::now();
    pause();

    // 3. Save the RAM.
    type_into(ram_filename, "count.ram");
    click(save_ram_button);
    pause();

    // 4. Close the window.
    ASSERT_TRUE(x.close_window(window));
    EXPECT_EQ(app->wait(20s), 0);
    EXPECT_EQ(app->output(), "");

    const std::string saved = read_file(dir + "/count.ram");
    ASSERT_EQ(saved.size(), 256u) << "no RAM image saved";
    const int count = static_cast<unsigned char>(saved[0]);

    // The count is written by the second word of a round, so it reads `count` from the
    // second step of round `count` until the second step of the next round. The RAM must
    // be exactly what the machine holds after one of those step counts.
    Isa4 arch{};
    arch.rom = program;
    arch.reset();
    int steps = 0;
    const int first = steps_per_round * (count - 1) + 2;
    int matched = -1;
    for (; steps < first + steps_per_round; ++steps) {
        if (steps >= first && std::string(arch.ram.begin(), arch.ram.end()) == saved) {
            matched = steps;
            break;
        }
        arch.step();
    }
    ASSERT_GT(count, 0) << "the program never ran";
    ASSERT_NE(matched, -1) << "the saved RAM is not what the machine holds after " << first
                           << " to " << first + steps_per_round - 1 << " steps";

    const double seconds = std::chrono::duration<double>(stopped - started).count();
    const double expected = 20.0 * seconds;
    std::printf("%d steps in %.2f s\n", matched, seconds);
    EXPECT_NEAR(matched, expected, expected * 0.15)
        << matched << " steps in " << seconds << " s at 20 steps per second";
}

}  // namespace
