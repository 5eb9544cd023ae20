// libFuzzer target for the isa4 command's text readers: every input is handed to the
// assembler and to the expectation and cell-value parser, which must neither crash nor
// trip a sanitizer, whatever the bytes. Built only with -DKELVANE_FUZZ=ON under clang;
// scripts/fuzz.sh builds and runs it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "headless/state_file.h"
#include "toolchain/assembler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Assembly assembly = assemble(text);
    // An image is written only when assembling succeeded: the words must then fit.
    if (assembly.diagnostics.empty())
        for (const auto word : assembly.rom)
            if (word > 0xFFFFFF) __builtin_trap();
    const StateFile state = parse_state_file(text);
    Isa4 arch{};
    check_state(state, arch);
    apply_ram_entries(state, arch.ram);
    return 0;
}
