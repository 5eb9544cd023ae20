#include "cli/run_command.h"

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

namespace {

const char* reason_text(StopReason reason) {
    switch (reason) {
        case StopReason::halt: return "halting JZ";
        case StopReason::breakpoint: return "breakpoint";
        default: return "step limit";
    }
}

// Reads and parses the expectation file before the run, so that a faulty one stops the
// command before anything is written.
bool read_expectations(const std::string& path, StateFile& expected) {
    const auto text = read_text_input(path);
    if (!text) return false;
    expected = parse_state_file(*text);
    if (!report(path, expected.diagnostics)) return false;
    if (expected.entries.empty()) {
        complain(path, "no expected values (name pc, z, a register or a [RAM address])");
        return false;
    }
    return true;
}

int check_expectations(const std::string& path, const StateFile& expected, const Isa4& arch) {
    const CheckResult result = check_state(expected, arch, max_shown_mismatches);
    for (const Mismatch& m : result.mismatches)
        print_diagnostic(path, Diagnostic{m.line, m.column, mismatch_text(m)});
    if (result.differing == 0) {
        std::cout << escape_for_message(path) << ": all " << result.checked
                  << " expected values match\n";
        return exit_ok;
    }
    const auto unshown = result.differing - static_cast<int>(result.mismatches.size());
    complain(path, std::to_string(result.differing) + " of " + std::to_string(result.checked) +
                       " expected values differ" +
                       (unshown > 0 ? " (" + std::to_string(unshown) + " more not shown)" : ""));
    return exit_failed;
}

}  // namespace

CLI::App* add_run_command(CLI::App& app, RunArgs& args) {
    const CLI::Validator named(name_check, "", "");
    CLI::App* cmd = app.add_subcommand(
        "run", "Run a program from reset and print pc, z, the registers and the RAM");
    cmd->add_option("IMAGE", args.image, "ROM image")->required()->check(named)->type_name("FILE");
    cmd->add_option("--ram", args.ram, "RAM image to load first")->check(named)->type_name("IMAGE");
    cmd->add_option("--steps", args.steps,
                    "run at most N steps (default: until a halt, at most " +
                        std::to_string(default_step_limit) + ")")
        ->check(CLI::Validator(count_check, "", "count"))
        ->type_name("N");
    cmd->add_flag("--until-halt", args.until_halt,
                  "fail unless the run ends at a halting JZ (the default without --steps)");
    cmd->add_option("--break", args.breaks, "stop before the word at ADDR executes")
        ->check(CLI::Validator(address_check, "", "address"))
        ->type_name("ADDR");
    CLI::Option* trace = cmd->add_flag("--trace", args.trace, "print one line per step");
    cmd->add_flag("-q,--quiet", args.quiet, "leave out the final state");
    cmd->add_option("--save-ram", args.save_ram, "write the final RAM to this image")
        ->check(named)
        ->type_name("IMAGE");
    add_format_option(cmd, "--format", args.save_format)->needs("--save-ram");
    cmd->add_option("--symbols", args.symbols, "show the names of this symbol file")
        ->needs(trace)
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("--expect", args.expect, "check the final state against this file")
        ->check(named)
        ->type_name("FILE");
    add_from_option(cmd, args.from);
    add_from_option(cmd, args.ram_from, "--ram-from")->needs("--ram");
    return cmd;
}

int run_run(const RunArgs& args) {
    std::vector<Output> outputs;
    if (!args.save_ram.empty()) outputs.push_back({"--save-ram", args.save_ram, "the RAM image"});
    if (const int status =
            check_outputs(outputs, {args.image, args.ram, args.expect, args.symbols}))
        return status;
    Isa4 arch{};
    Diagnostic error;
    // An image that was read but refused says how it was read, and that the machine's
    // memory keeps what it held.
    if (!load_rom_any(args.image, arch.rom, error, forced_format(args.from))) {
        if (!error.notes.empty()) error.notes.push_back("the ROM is unchanged");
        return status_of(false, error);
    }
    if (!args.ram.empty() &&
        !load_ram_any(args.ram, arch.ram, error, forced_format(args.ram_from))) {
        if (!error.notes.empty()) error.notes.push_back("the RAM is unchanged");
        return status_of(false, error);
    }
    SymbolTable symbols;
    if (!load_symbols(args.symbols, symbols)) return exit_failed;
    StateFile expected;
    if (!args.expect.empty() && !read_expectations(args.expect, expected)) return exit_failed;

    // Without --steps the run is meant to end in a halt, and the limit only keeps a
    // program that never halts from hanging a script.
    const bool steps_given = !args.steps.empty();
    RunLimits limits;
    limits.max_steps =
        steps_given ? *parse_cli_number(args.steps, 0, UINT64_MAX) : default_step_limit;
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

    int status = exit_ok;
    if (outcome.reason == StopReason::step_limit && (args.until_halt || !steps_given)) {
        complain(args.image, "no halting JZ within " + std::to_string(limits.max_steps) +
                                 " steps (raise the limit with --steps N)");
        status = exit_failed;
    }
    if (outcome.reason == StopReason::breakpoint && args.until_halt) {
        complain(args.image, "stopped at a breakpoint before a halting JZ");
        status = exit_failed;
    }

    if (!args.save_ram.empty() &&
        !write_outputs(outputs, {image_bytes(format_of(args.save_format), arch.ram)}))
        status = exit_failed;
    if (!args.expect.empty() && check_expectations(args.expect, expected, arch) != exit_ok)
        status = exit_failed;
    return status;
}
