// The reference for scripts/bench-grading.sh: a plain loop of the machine's step over a
// ROM image, with nothing around it, to set beside `isa4 run` and `isa4 test` of the same
// never-halting program.
//
//   step_loop ROM STEPS      steps the reset machine STEPS times, or until it halts,
//                            and prints the steps done and the final pc
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "machine/image_file.h"
#include "machine/isa4.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: step_loop ROM STEPS\n");
        return 2;
    }
    Isa4 arch{};
    if (!load_rom_image(argv[1], arch.rom)) {
        std::fprintf(stderr, "step_loop: cannot read %s\n", argv[1]);
        return 2;
    }
    const std::uint64_t limit = std::strtoull(argv[2], nullptr, 10);
    arch.reset();
    std::uint64_t steps = 0;
    while (steps < limit) {
        ++steps;
        if (!arch.step()) break;
    }
    std::printf("%llu steps, pc %02X\n", static_cast<unsigned long long>(steps), arch.pc);
    return 0;
}
