#include "cli/asm_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "cli/cli_io.h"
#include "cli/command_options.h"
#include "formats/image_formats.h"
#include "headless/runner.h"
#include "headless/state_file.h"
#include "language/analysis.h"
#include "machine/image_file.h"
#include "toolchain/disassembler.h"

CLI::App* add_asm_command(CLI::App& app, AsmArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand("asm", "Assemble a program into a ROM image (768 bytes)");
    cmd->add_option("SOURCE", args.source, "assembly source file")
        ->required()
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("-o,--output", args.output, "ROM image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(cmd, "--format", args.format);
    cmd->add_option("--symbols", args.symbols, "write the labels and constants to FILE")
        ->check(named)
        ->type_name("FILE");
    return cmd;
}

int run_asm(const AsmArgs& args) {
    std::vector<Output> outputs = {{"-o", args.output, "the ROM image"}};
    if (!args.symbols.empty()) outputs.push_back({"--symbols", args.symbols, "the symbol file"});
    if (const int status = check_outputs(outputs, {args.source})) return status;
    const auto text = read_text_input(args.source);
    if (!text) return exit_failed;
    // What isa4 test and trace would load as an image is no source here either.
    const FileReading reading = classify_file(*text, MemoryKind::rom);
    if (reading != FileReading::text) {
        print_diagnostic(Diagnostic{0,
                                    0,
                                    "an image, not a source; no image written",
                                    false,
                                    args.source,
                                    {reading_note(reading, *text)}});
        return exit_failed;
    }
    const Analysis analysis = analyze(*text);
    const Assembly& assembly = analysis.assembly;
    if (!report(args.source, analysis.diagnostics)) {
        int errors = 0;
        for (const Diagnostic& d : assembly.diagnostics) errors += d.warning ? 0 : 1;
        complain(args.source, std::to_string(errors) + (errors == 1 ? " error" : " errors") +
                                  "; no image written");
        return exit_failed;
    }
    // What dis and run cannot read back is not written: a symbol file past the cap on text
    // inputs is refused before the image is saved.
    const std::string symbol_text =
        args.symbols.empty() ? std::string() : symbol_file_text(assembly.symbols);
    if (symbol_text.size() > max_text_file_size) {
        complain(args.symbols, "the symbol file would be " + std::to_string(symbol_text.size()) +
                                   " bytes, over the " + std::to_string(max_text_file_size) +
                                   " that dis and run read; no image or symbol file written");
        return exit_failed;
    }
    std::vector<std::string> bytes = {image_bytes(format_of(args.format), assembly.rom)};
    warn_raw_misread(args.output, bytes.front(), format_of(args.format), MemoryKind::rom);
    if (!args.symbols.empty()) bytes.push_back(symbol_text);
    return write_outputs(outputs, bytes) ? exit_ok : exit_failed;
}
