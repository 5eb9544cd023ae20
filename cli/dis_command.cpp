#include "cli/dis_command.h"

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

CLI::App* add_dis_command(CLI::App& app, DisArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand("dis", "List a ROM image as assembly that asm reads back");
    cmd->add_option("IMAGE", args.image, "ROM image")->required()->check(named)->type_name("FILE");
    cmd->add_flag("-a,--all", args.every_word, "list every word, zero runs included");
    cmd->add_option("--symbols", args.symbols, "show the names of this symbol file")
        ->check(named)
        ->type_name("FILE");
    add_from_option(cmd, args.from);
    return cmd;
}

int run_dis(const DisArgs& args) {
    Isa4::Rom rom{};
    Diagnostic error;
    if (!load_rom_any(args.image, rom, error, forced_format(args.from)))
        return status_of(false, error);
    SymbolTable symbols;
    if (!load_symbols(args.symbols, symbols)) return exit_failed;
    std::cout << "; " << escape_for_message(args.image) << "\n"
              << disassemble(rom, args.every_word, args.symbols.empty() ? nullptr : &symbols);
    return exit_ok;
}
