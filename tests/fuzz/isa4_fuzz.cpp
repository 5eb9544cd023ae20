// libFuzzer target for the isa4 command's text readers. Every input goes to the
// assembler, the symbol file reader, the expectation and cell-value parser and the suite
// reader, which must neither crash nor trip a sanitizer whatever the bytes, and must keep
// these promises (a broken one traps):
//
//   - an assembled image holds words of at most 24 bits;
//   - its listing, with and without its names, assembles back to the identical image;
//   - a symbol file that reads without faults is written back as a file that reads to
//     the same names;
//   - the reports of a suite that reads show no raw control byte and are UTF-8.
//
// Built only with -DKELVANE_FUZZ=ON under clang; scripts/fuzz.sh builds and runs it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "grading/grader.h"
#include "grading/reports.h"
#include "grading/suite.h"
#include "headless/state_file.h"
#include "text/message.h"
#include "toolchain/assembler.h"
#include "toolchain/disassembler.h"
#include "toolchain/symbols.h"

namespace {

void require(bool promise) {
    if (!promise) __builtin_trap();
}

bool same_names(const SymbolTable& a, const SymbolTable& b) {
    if (a.names.size() != b.names.size()) return false;
    for (std::size_t i = 0; i < a.names.size(); ++i)
        if (a.names[i].name != b.names[i].name || a.names[i].value != b.names[i].value ||
            a.names[i].is_label != b.names[i].is_label)
            return false;
    return true;
}

void check_listing(const Assembly& assembly) {
    for (const bool every_word : {false, true})
        for (const SymbolTable* symbols :
             {static_cast<const SymbolTable*>(nullptr), &assembly.symbols}) {
            const Assembly again = assemble(disassemble(assembly.rom, every_word, symbols));
            require(again.ok());
            require(again.rom == assembly.rom);
        }
}

// Bytes 20..7E, tab and line ends, and whole UTF-8 sequences.
bool shows_no_raw_bytes(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            const std::size_t n = utf8_length(text, i);
            if (n == 0) return false;
            i += n;
            continue;
        }
        if ((byte < 0x20 && byte != '\n' && byte != '\r' && byte != '\t') || byte == 0x7F)
            return false;
        ++i;
    }
    return true;
}

void check_reports(const Suite& suite, std::string_view text) {
    // A result of every kind, with names and messages from the input.
    ProgramResult program;
    program.path = std::string(text.substr(0, 64));
    program.graded = true;
    program.warnings.push_back(std::string(text.substr(0, 80)));
    for (std::size_t i = 0; i < suite.cases.size(); ++i) {
        CaseResult c;
        c.verdict = static_cast<Verdict>(i % 4);
        c.steps = i * 1000;
        c.problems.push_back(Diagnostic{static_cast<int>(i), 1, std::string(text.substr(i, 40))});
        program.cases.push_back(c);
    }
    ProgramResult failed;
    failed.path = std::string(text.substr(0, 16));
    failed.failure = "does not assemble";
    failed.reasons.push_back(std::string(text.substr(0, 100)));
    failed.cases.resize(suite.cases.size());
    const GradedBatch batch{suite, std::string(text.substr(0, 32)), {program.path, failed.path}};
    const std::vector<ProgramResult> programs = {program, failed};
    for (const ReportFormat* format :
         {&table_format(), &tap_format(), &junit_format(), &csv_format(), &markdown_format()})
        require(shows_no_raw_bytes(whole_report(*format, batch, programs)));
    require(shows_no_raw_bytes(gradescope_report(batch, program, 0.5)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const Assembly assembly = assemble(text);
    if (assembly.ok()) {
        for (const auto word : assembly.rom) require(word <= 0xFFFFFF);
        check_listing(assembly);
    }

    std::vector<Diagnostic> faults;
    const SymbolTable symbols = parse_symbol_file(text, faults);
    if (faults.empty()) {
        std::vector<Diagnostic> again_faults;
        const SymbolTable again = parse_symbol_file(symbol_file_text(symbols), again_faults);
        require(again_faults.empty());
        require(same_names(symbols, again));
    }

    const StateFile state = parse_state_file(text);
    Isa4 arch{};
    check_state(state, arch, 4);
    apply_ram_entries(state, arch.ram);

    const Suite suite = parse_suite(text);
    if (suite.ok() && !suite.cases.empty()) check_reports(suite, text);
    return 0;
}
