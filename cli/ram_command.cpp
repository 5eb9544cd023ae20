#include "cli/ram_command.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "cli/cli_io.h"
#include "cli/command_options.h"
#include "formats/image_formats.h"
#include "headless/runner.h"
#include "headless/state_file.h"
#include "machine/image_file.h"
#include "toolchain/assembler.h"
#include "toolchain/disassembler.h"

CLI::App* add_ram_command(CLI::App& app, RamArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand("ram", "Build a RAM image (256 bytes) from cell values");
    cmd->add_option("DATA", args.data, "text file of [address] = value lines")
        ->required()
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("-o,--output", args.output, "RAM image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(cmd, "--format", args.format);
    return cmd;
}

int run_ram(const RamArgs& args) {
    const std::vector<Output> outputs = {{"-o", args.output, "the RAM image"}};
    if (const int status = check_outputs(outputs, {args.data})) return status;
    const auto text = read_text_input(args.data);
    if (!text) return exit_failed;
    const StateFile file = parse_state_file(*text);
    Isa4::Ram ram{};
    if (!report(args.data, file.diagnostics) || !report(args.data, apply_ram_entries(file, ram)))
        return exit_failed;
    const std::string bytes = image_bytes(format_of(args.format), ram);
    warn_raw_misread(args.output, bytes, format_of(args.format), MemoryKind::ram);
    return write_outputs(outputs, {bytes}) ? exit_ok : exit_failed;
}
