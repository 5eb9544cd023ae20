#include "cli/trace_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/cli_io.h"
#include "formats/image_formats.h"
#include "grading/grader.h"
#include "machine/image_file.h"
#include "toolchain/assembler.h"
#include "trace/page.h"
#include "trace/recording.h"

namespace {

std::string steps_check(const std::string& text) {
    return parse_cli_number(text, 0, max_recorded_steps)
               ? ""
               : "expected a count 0.." + std::to_string(max_recorded_steps) +
                     " (decimal, 0x hex or 0b binary): a page holds at most that many steps";
}

const char* ending(StopReason reason) {
    switch (reason) {
        case StopReason::halt: return "ends at a halting JZ";
        case StopReason::breakpoint: return "stops at a breakpoint";
        case StopReason::step_limit: return "reaches the step limit";
    }
    return "";
}

}  // namespace

CLI::App* add_trace_command(CLI::App& app, TraceArgs& args) {
    CLI::App* cmd = app.add_subcommand(
        "trace", "Run a program and write a web page that steps back and forth through the run");
    const CLI::Validator named(name_check, "", "");
    cmd->add_option("PROGRAM", args.program, "assembly source or ROM image (any format)")
        ->required()
        ->check(named)
        ->type_name("FILE");
    cmd->add_option("-o,--output", args.output, "the page to write (one HTML file)")
        ->required()
        ->check(named)
        ->type_name("PAGE");
    cmd->add_option("--ram", args.ram, "RAM image to load first")->check(named)->type_name("IMAGE");
    cmd->add_option("--steps", args.steps,
                    "record at most N steps (default 100000, at most " +
                        std::to_string(max_recorded_steps) + ")")
        ->check(CLI::Validator(steps_check, "", "count"))
        ->type_name("N");
    cmd->add_option("--break", args.breaks, "stop before the word at ADDR executes")
        ->check(CLI::Validator(address_check, "", "address"))
        ->type_name("ADDR");
    cmd->add_option("--symbols", args.symbols,
                    "show the names of this symbol file (a source's own names by default)")
        ->check(named)
        ->type_name("FILE");
    cmd->footer(
        "The page needs no server and no network: open it from disk in any browser. It "
        "shows the program with the word executed and the next one marked, pc, z, the "
        "registers and the RAM at any step, what each step changed, and for a register or "
        "a cell the steps that wrote it. Move with the slider, the buttons, the arrow keys "
        "(Shift for breakpoints, set by clicking a line), Home and End.\n"
        "Exit status: 0 the page is written, 1 a file cannot be read or written, 2 bad "
        "usage.");
    return cmd;
}

int run_trace(const TraceArgs& args) {
    const std::vector<Output> outputs = {{"-o", args.output, "the page"}};
    if (const int status = check_outputs(outputs, {args.program, args.ram, args.symbols}))
        return status;
    // A source or an image, told apart as isa4 test and run tell them.
    ProgramFile program;
    Diagnostic error;
    if (!read_program_file(args.program, program, error)) {
        if (program.problem == ProgramFile::Problem::faulty_image)
            error.notes.push_back("the ROM is unchanged");
        print_diagnostic(error);
        return exit_failed;
    }
    const std::string* bytes = &program.source;

    Isa4 arch{};
    Assembly assembly;
    const bool is_source = program.is_source;
    if (is_source) {
        assembly = assemble(*bytes);
        if (!report(args.program, assembly.diagnostics)) {
            complain(args.program, "the program does not assemble; no page written");
            return exit_failed;
        }
        arch.rom = assembly.rom;
    } else {
        take_image(program.image, arch.rom);
    }
    if (!args.ram.empty() && !load_ram_any(args.ram, arch.ram, error)) {
        if (!error.notes.empty()) error.notes.push_back("the RAM is unchanged");
        print_diagnostic(error);
        return exit_failed;
    }
    SymbolTable symbols = assembly.symbols;
    if (!args.symbols.empty()) {
        const auto text = read_text_input(args.symbols);
        if (!text) return exit_failed;
        std::vector<Diagnostic> diagnostics;
        symbols = parse_symbol_file(*text, diagnostics);
        if (!report(args.symbols, diagnostics)) return exit_failed;
    }

    RunLimits limits;
    if (!args.steps.empty()) limits.max_steps = *parse_cli_number(args.steps, 0, UINT64_MAX);
    for (const std::string& b : args.breaks) limits.breakpoints.set(*parse_cli_number(b, 0, 255));
    arch.reset();
    const Recording recording = record_run(arch, limits);

    const ProgramListing listing =
        is_source ? source_listing(*bytes, assembly.word_lines)
                  : image_listing(arch.rom, symbols.empty() ? nullptr : &symbols);
    TraceSection section;
    section.name = args.program;
    section.listing = &listing;
    section.recording = &recording;
    section.symbols = symbols.empty() ? nullptr : &symbols;
    const std::string page = page_html("{\"kind\":\"trace\",\"title\":" + json_text(args.program) +
                                       ",\"traces\":[" + trace_json(section) + "]}");
    if (!write_outputs(outputs, {page})) return exit_failed;
    std::cout << escape_for_message(args.output) << ": " << recording.steps.size()
              << " steps; the run " << ending(recording.outcome.reason) << "\n";
    return exit_ok;
}
