#include "bench/bench_setup.h"

#include <cstdio>

#include "machine/cpu_stepper.h"
#include "machine/instruction.h"
#include "machine/isa4.h"
#include "panels/logger.h"

namespace {

std::uint32_t word(std::uint32_t opcode, std::uint32_t dst, std::uint32_t lhs, std::uint32_t daddr,
                   std::uint32_t imm, std::uint32_t rhs) {
    Instruction in;
    in.opcode = opcode;
    in.dst = dst;
    in.lhs = lhs;
    in.daddr = daddr;
    in.imm = imm;
    in.rhs = rhs;
    return encode_word(in);
}

std::uint32_t add(std::uint32_t dst, std::uint32_t lhs, std::uint32_t rhs) {
    return word(op_add, dst, lhs, 0, 0, rhs);
}
std::uint32_t addi(std::uint32_t dst, std::uint32_t lhs, std::uint32_t imm) {
    return word(op_addi, dst, lhs, 0, imm, 0);
}
std::uint32_t jz(std::uint32_t addr) {
    return word(op_jz, 0, 0, 0, addr, 0);
}
std::uint32_t move(std::uint32_t opcode, std::uint32_t to, std::uint32_t from) {
    // The destination is a register (dst) or a cell (daddr), the source a register (rhs)
    // or a cell (imm); encode_word keeps only the fields of the opcode's form.
    return word(opcode, to, 0, to, from, from);
}

// A small xorshift: varied values, the same on every run.
class Varied {
public:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // In 1..max.
    std::uint32_t non_zero(std::uint32_t max) { return next() % max + 1; }

private:
    std::uint32_t state_ = 2463534242u;
};

}  // namespace

void load_every_opcode_program(Isa4& arch) {
    // A jump to FF goes on at word 00, since pc names the word executed last.
    const std::uint32_t program[every_opcode_loop_length] = {
        addi(1, 1, 1),                 // 00 count the passes
        add(2, 1, 1),                  // 01 z only when r1 is 00 or 80
        jz(0xFF),                      // 02 so mostly not taken
        move(op_move_rr, 3, 2),        // 03 r3 = r2
        move(op_move_mr, 0x20, 3),     // 04 [20] = r3
        move(op_move_rm, 4, 0x20),     // 05 r4 = [20]
        move(op_move_mm, 0x21, 0x20),  // 06 [21] = [20]
        word(3, 0, 0, 0, 0, 0),        // 07 no-operation
        addi(5, 0, 0),                 // 08 r5 = 0 sets z
        jz(0xFF),                      // 09 taken: back to 00
    };
    arch = Isa4{};
    for (int i = 0; i < every_opcode_loop_length; ++i) arch.rom[i] = program[i];
    arch.reset();
}

void load_jz_loop(Isa4& arch) {
    arch = Isa4{};
    arch.rom[1] = jz(0x00);
    arch.z = true;
    arch.pc = 0x00;
}

void fill_machine(Isa4& arch) {
    Varied varied;
    for (int i = 0; i < 256; ++i) arch.rom[i] = varied.non_zero(max_word);
    for (int i = 0; i < 256; ++i) arch.ram[i] = static_cast<std::uint8_t>(varied.non_zero(255));
    for (int i = 0; i < 16; ++i) {
        arch.registers[i] = static_cast<std::uint8_t>(varied.non_zero(255));
    }
    arch.z = false;
    arch.reset();
}

void fill_log(Logger& log) {
    log.add("Loaded Isa4");
    for (int i = 0; i < full_log_lines; ++i) {
        char line[80];
        if (i % 3 == 0) {
            log.add("Reset CPU");
        } else {
            std::snprintf(line, sizeof line,
                          "Load ROM failed: programs/session%02d.rom (No such file or directory)",
                          i);
            log.add(line);
        }
    }
}

std::uint32_t FrameClock::tick(CpuStepper& cpu_stepper) {
    now_ms_ += frame_ms;
    const std::uint32_t steps = cpu_stepper.tick_at(static_cast<std::uint32_t>(now_ms_));
    steps_due += steps;
    return steps;
}
