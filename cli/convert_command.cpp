#include "cli/convert_command.h"

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

CLI::App* add_convert_command(CLI::App& app, ConvertArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand(
        "convert", "Convert a ROM (or RAM) image between the raw, ihex and logisim formats");
    cmd->add_option("IN", args.input, "image to read (any format)")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    cmd->add_option("-o,--output", args.output, "image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(cmd, "--to", args.format)->required();
    cmd->add_flag("--ram", args.ram, "the images are RAM images (256 cells)");
    add_from_option(cmd, args.from);
    return cmd;
}

int run_convert(const ConvertArgs& args) {
    const std::vector<Output> outputs = {
        {"-o", args.output, args.ram ? "the RAM image" : "the ROM image"}};
    if (const int status = check_outputs(outputs, {args.input})) return status;
    Diagnostic error;
    std::string bytes;
    if (args.ram) {
        Isa4::Ram ram{};
        if (!load_ram_any(args.input, ram, error, forced_format(args.from)))
            return status_of(false, error);
        bytes = image_bytes(format_of(args.format), ram);
    } else {
        Isa4::Rom rom{};
        if (!load_rom_any(args.input, rom, error, forced_format(args.from)))
            return status_of(false, error);
        bytes = image_bytes(format_of(args.format), rom);
    }
    warn_raw_misread(args.output, bytes, format_of(args.format),
                     args.ram ? MemoryKind::ram : MemoryKind::rom);
    return write_outputs(outputs, {bytes}) ? exit_ok : exit_failed;
}
