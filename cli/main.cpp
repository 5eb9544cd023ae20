// isa4: the isa4 machine from the shell. Assembles text programs into ROM images,
// lists images as assembly, builds RAM images from cell values, and runs programs
// headless with traces, breakpoints and checks of the final state. It loads and saves
// images by the same rules as the workbench.
//
// Exit status: 0 on success, 1 when a program, an image or a check fails, 2 on bad usage.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_io.h"
#include "cli/test_command.h"
#include "cli/trace_command.h"
#include "formats/image_formats.h"
#include "headless/runner.h"
#include "headless/state_file.h"
#include "machine/image_file.h"
#include "toolchain/assembler.h"
#include "toolchain/disassembler.h"

namespace {

// --- image formats and symbol files ---

const std::vector<std::string> format_names = {"raw", "ihex", "logisim"};

CLI::Option* add_format_option(CLI::App* cmd, const std::string& flags, std::string& format) {
    return cmd
        ->add_option(flags, format,
                     "image format to write: raw (the workbench's), ihex (Intel HEX) or "
                     "logisim (v2.0 raw); default raw")
        ->check(CLI::IsMember(format_names))
        ->type_name("FORMAT");
}

ImageFormat format_of(const std::string& name) {
    return format_from_name(name).value_or(ImageFormat::raw);
}

// Prints `error` when `ok` is false; the exit status for it.
int status_of(bool ok, const Diagnostic& error) {
    if (!ok) print_diagnostic(error);
    return ok ? exit_ok : exit_failed;
}

// Reads the symbol file `path` into `symbols`; false (with messages) when it has faults.
bool load_symbols(const std::string& path, SymbolTable& symbols) {
    if (path.empty()) return true;
    const auto text = read_text_input(path);
    if (!text) return false;
    std::vector<Diagnostic> diagnostics;
    symbols = parse_symbol_file(*text, diagnostics);
    return report(path, diagnostics);
}

// --- isa4 asm ---

struct AsmArgs {
    std::string source;
    std::string output;
    std::string format = "raw";
    std::string symbols;
};

int run_asm(const AsmArgs& args) {
    if (!output_clear_of_inputs(args.output, {args.source})) return exit_failed;
    if (!args.symbols.empty()) {
        if (args.symbols == args.output || same_file(args.symbols.c_str(), args.output.c_str())) {
            complain(args.symbols, "the symbol file and the image are the same file");
            return exit_usage;
        }
        if (!output_clear_of_inputs(args.symbols, {args.source})) return exit_failed;
    }
    const auto text = read_text_input(args.source);
    if (!text) return exit_failed;
    const Assembly assembly = assemble(*text);
    if (!report(args.source, assembly.diagnostics)) {
        int errors = 0;
        for (const Diagnostic& d : assembly.diagnostics) errors += d.warning ? 0 : 1;
        std::cerr << escape_for_message(args.source) << ": " << errors
                  << (errors == 1 ? " error" : " errors") << "; no image written\n";
        return exit_failed;
    }
    Diagnostic error;
    if (!save_rom_as(args.output, format_of(args.format), assembly.rom, error))
        return status_of(false, error);
    if (args.symbols.empty()) return exit_ok;
    const FileResult saved = save_file(args.symbols.c_str(), symbol_file_text(assembly.symbols));
    if (!saved) complain(args.symbols, "cannot write the symbol file (" + saved.reason + ")");
    return saved ? exit_ok : exit_failed;
}

// --- isa4 dis ---

struct DisArgs {
    std::string image;
    bool every_word = false;
    std::string symbols;
};

int run_dis(const DisArgs& args) {
    Isa4::Rom rom{};
    Diagnostic error;
    if (!load_rom_any(args.image, rom, error)) return status_of(false, error);
    SymbolTable symbols;
    if (!load_symbols(args.symbols, symbols)) return exit_failed;
    std::cout << "; " << escape_for_message(args.image) << "\n"
              << disassemble(rom, args.every_word, args.symbols.empty() ? nullptr : &symbols);
    return exit_ok;
}

// --- isa4 ram ---

struct RamArgs {
    std::string data;
    std::string output;
    std::string format = "raw";
};

int run_ram(const RamArgs& args) {
    if (!output_clear_of_inputs(args.output, {args.data})) return exit_failed;
    const auto text = read_text_input(args.data);
    if (!text) return exit_failed;
    const StateFile file = parse_state_file(*text);
    Isa4::Ram ram{};
    if (!report(args.data, file.diagnostics) || !report(args.data, apply_ram_entries(file, ram)))
        return exit_failed;
    Diagnostic error;
    return status_of(save_ram_as(args.output, format_of(args.format), ram, error), error);
}

// --- isa4 run ---

struct RunArgs {
    std::string image;
    std::string ram;
    std::string steps_text;
    std::uint64_t steps = default_step_limit;
    bool steps_given = false;
    bool until_halt = false;
    std::vector<std::string> breaks;
    bool trace = false;
    bool quiet = false;
    std::string save_ram;
    std::string save_format = "raw";
    std::string symbols;
    std::string expect;
};

const char* reason_text(StopReason reason) {
    switch (reason) {
        case StopReason::halt: return "halting JZ";
        case StopReason::breakpoint: return "breakpoint";
        default: return "step limit";
    }
}

int check_expectations(const std::string& path, const Isa4& arch) {
    const auto text = read_text_input(path);
    if (!text) return exit_failed;
    const StateFile expected = parse_state_file(*text);
    if (!report(path, expected.diagnostics)) return exit_failed;
    if (expected.entries.empty()) {
        complain(path, "no expected values (name pc, z, a register or a [RAM address])");
        return exit_failed;
    }
    const CheckResult result = check_state(expected, arch);
    for (const Mismatch& m : result.mismatches)
        print_diagnostic(path, Diagnostic{m.line, m.column, mismatch_text(m)});
    if (result.mismatches.empty()) {
        std::cout << escape_for_message(path) << ": all " << result.checked
                  << " expected values match\n";
        return exit_ok;
    }
    std::cerr << escape_for_message(path) << ": " << result.mismatches.size() << " of "
              << result.checked << " expected values differ\n";
    return exit_failed;
}

int run_run(const RunArgs& args) {
    if (!args.save_ram.empty() &&
        !output_clear_of_inputs(args.save_ram, {args.image, args.ram, args.expect, args.symbols}))
        return exit_failed;
    Isa4 arch{};
    Diagnostic error;
    if (!load_rom_any(args.image, arch.rom, error) ||
        (!args.ram.empty() && !load_ram_any(args.ram, arch.ram, error)))
        return status_of(false, error);
    SymbolTable symbols;
    if (!load_symbols(args.symbols, symbols)) return exit_failed;

    RunLimits limits;
    limits.max_steps = args.steps;
    for (const std::string& b : args.breaks) limits.breakpoints.set(*parse_cli_number(b, 0, 255));

    arch.reset();
    // Each trace line goes out as it is made; the first at once, then at least every
    // tenth of a second, so that a long run shows progress without a write per line.
    using Clock = std::chrono::steady_clock;
    Clock::time_point flushed{};
    const TraceReceiver print_line = [&flushed](const std::string& line) {
        std::cout << line << '\n';
        const Clock::time_point now = Clock::now();
        if (now - flushed > std::chrono::milliseconds(100)) {
            std::cout.flush();
            flushed = now;
        }
        return !output_failed();
    };
    const RunOutcome outcome = run_machine(arch, limits, args.trace ? print_line : TraceReceiver(),
                                           args.symbols.empty() ? nullptr : &symbols);
    if (outcome.cut_short) return exit_failed;

    char stop[120];
    if (outcome.reason == StopReason::breakpoint)
        std::snprintf(stop, sizeof stop, "stopped after %llu steps: breakpoint at %02X\n",
                      static_cast<unsigned long long>(outcome.steps), (arch.pc + 1) & 0xFF);
    else
        std::snprintf(stop, sizeof stop, "stopped after %llu steps: %s at %02X\n",
                      static_cast<unsigned long long>(outcome.steps), reason_text(outcome.reason),
                      arch.pc);
    if (!args.quiet) std::cout << stop << state_text(arch);

    // Without --steps the run is meant to end in a halt, and the limit only keeps a
    // program that never halts from hanging a script.
    int status = exit_ok;
    if (outcome.reason == StopReason::step_limit && (args.until_halt || !args.steps_given)) {
        complain(args.image, "no halting JZ within " + std::to_string(args.steps) +
                                 " steps (raise the limit with --steps N)");
        status = exit_failed;
    }
    if (outcome.reason == StopReason::breakpoint && args.until_halt) {
        complain(args.image, "stopped at a breakpoint before a halting JZ");
        status = exit_failed;
    }

    if (!args.save_ram.empty() &&
        status_of(save_ram_as(args.save_ram, format_of(args.save_format), arch.ram, error),
                  error) != exit_ok)
        status = exit_failed;
    if (!args.expect.empty() && check_expectations(args.expect, arch) != exit_ok)
        status = exit_failed;
    return status;
}

// --- isa4 convert ---

struct ConvertArgs {
    std::string input;
    std::string output;
    std::string format;
    bool ram = false;
};

int run_convert(const ConvertArgs& args) {
    if (!output_clear_of_inputs(args.output, {args.input})) return exit_failed;
    Diagnostic error;
    bool ok = false;
    if (args.ram) {
        Isa4::Ram ram{};
        ok = load_ram_any(args.input, ram, error) &&
             save_ram_as(args.output, format_of(args.format), ram, error);
    } else {
        Isa4::Rom rom{};
        ok = load_rom_any(args.input, rom, error) &&
             save_rom_as(args.output, format_of(args.format), rom, error);
    }
    return status_of(ok, error);
}

int run_command(int argc, char** argv) {
    CLI::App app{"isa4: assemble, list and run programs for the isa4 machine"};
    app.require_subcommand(1);
    const CLI::Validator named(name_check, "", "");
    app.footer("Exit status: 0 success, 1 a program, image or check failed, 2 bad usage.");
    app.set_version_flag("--version", "isa4 (Kelvane) " KELVANE_VERSION);
    // Every subcommand's options on one page: what the manual page is made from.
    app.set_help_all_flag("--help-all", "Print help for every subcommand and exit");

    AsmArgs asm_args;
    CLI::App* asm_cmd =
        app.add_subcommand("asm", "Assemble a program into a ROM image (768 bytes)");
    asm_cmd->add_option("SOURCE", asm_args.source, "assembly source file")
        ->required()
        ->check(named)
        ->type_name("FILE");
    asm_cmd->add_option("-o,--output", asm_args.output, "ROM image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(asm_cmd, "--format", asm_args.format);
    asm_cmd->add_option("--symbols", asm_args.symbols, "write the labels and constants to FILE")
        ->check(named)
        ->type_name("FILE");

    DisArgs dis_args;
    CLI::App* dis_cmd =
        app.add_subcommand("dis", "List a ROM image as assembly that asm reads back");
    dis_cmd->add_option("IMAGE", dis_args.image, "ROM image")
        ->required()
        ->check(named)
        ->type_name("FILE");
    dis_cmd->add_flag("-a,--all", dis_args.every_word, "list every word, zero runs included");
    dis_cmd->add_option("--symbols", dis_args.symbols, "show the names of this symbol file")
        ->check(named)
        ->type_name("FILE");

    RamArgs ram_args;
    CLI::App* ram_cmd = app.add_subcommand("ram", "Build a RAM image (256 bytes) from cell values");
    ram_cmd->add_option("DATA", ram_args.data, "text file of [address] = value lines")
        ->required()
        ->check(named)
        ->type_name("FILE");
    ram_cmd->add_option("-o,--output", ram_args.output, "RAM image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(ram_cmd, "--format", ram_args.format);

    RunArgs run_args;
    CLI::App* run_cmd = app.add_subcommand(
        "run", "Run a program from reset and print pc, z, the registers and the RAM");
    run_cmd->add_option("IMAGE", run_args.image, "ROM image")
        ->required()
        ->check(named)
        ->type_name("FILE");
    run_cmd->add_option("--ram", run_args.ram, "RAM image to load first")
        ->check(named)
        ->type_name("IMAGE");
    CLI::Option* steps = run_cmd
                             ->add_option("--steps", run_args.steps_text,
                                          "run at most N steps (default: until a halt, at most " +
                                              std::to_string(default_step_limit) + ")")
                             ->check(CLI::Validator(count_check, "", "count"))
                             ->type_name("N");
    run_cmd->add_flag("--until-halt", run_args.until_halt,
                      "fail unless the run ends at a halting JZ (the default without --steps)");
    run_cmd->add_option("--break", run_args.breaks, "stop before the word at ADDR executes")
        ->check(CLI::Validator(address_check, "", "address"))
        ->type_name("ADDR");
    CLI::Option* trace = run_cmd->add_flag("--trace", run_args.trace, "print one line per step");
    run_cmd->add_flag("-q,--quiet", run_args.quiet, "leave out the final state");
    run_cmd->add_option("--save-ram", run_args.save_ram, "write the final RAM to this image")
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(run_cmd, "--format", run_args.save_format)->needs("--save-ram");
    run_cmd->add_option("--symbols", run_args.symbols, "show the names of this symbol file")
        ->needs(trace)
        ->check(named)
        ->type_name("FILE");
    run_cmd->add_option("--expect", run_args.expect, "check the final state against this file")
        ->check(named)
        ->type_name("FILE");

    ConvertArgs convert_args;
    CLI::App* convert_cmd = app.add_subcommand(
        "convert", "Convert a ROM (or RAM) image between the raw, ihex and logisim formats");
    convert_cmd->add_option("IN", convert_args.input, "image to read (any format)")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    convert_cmd->add_option("-o,--output", convert_args.output, "image to write")
        ->required()
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(convert_cmd, "--to", convert_args.format)->required();
    convert_cmd->add_flag("--ram", convert_args.ram, "the images are RAM images (256 cells)");
    TestArgs test_args;
    CLI::App* test_cmd = add_test_command(app, test_args);
    TraceArgs trace_args;
    CLI::App* trace_cmd = add_trace_command(app, trace_args);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? exit_ok : exit_usage;
    }
    run_args.steps_given = steps->count() > 0;
    if (run_args.steps_given)
        run_args.steps = *parse_cli_number(run_args.steps_text, 0, UINT64_MAX);

    if (asm_cmd->parsed()) return run_asm(asm_args);
    if (dis_cmd->parsed()) return run_dis(dis_args);
    if (ram_cmd->parsed()) return run_ram(ram_args);
    if (convert_cmd->parsed()) return run_convert(convert_args);
    if (test_cmd->parsed()) return run_test(test_args);
    if (trace_cmd->parsed()) return run_trace(trace_args);
    return run_run(run_args);
}

}  // namespace

int main(int argc, char** argv) {
    install_checked_output();
    return finish_output(run_command(argc, argv));
}
