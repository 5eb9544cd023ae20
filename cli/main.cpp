// isa4: the isa4 machine from the shell. Assembles text programs into ROM images,
// lists images as assembly, builds RAM images from cell values, and runs programs
// headless with traces, breakpoints and checks of the final state. It loads and saves
// images by the same rules as the workbench.
//
// Exit status: 0 on success, 1 when a program, an image or a check fails, 2 on bad usage.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "cli/asm_command.h"
#include "cli/autograder_command.h"
#include "cli/cli_io.h"
#include "cli/convert_command.h"
#include "cli/debug_command.h"
#include "cli/dis_command.h"
#include "cli/lsp_command.h"
#include "cli/ram_command.h"
#include "cli/run_command.h"
#include "cli/test_command.h"
#include "cli/trace_command.h"
#include "text/message.h"
#include "text/nearest.h"

namespace {

int run_command(int argc, char** argv) {
    CLI::App app{"isa4: assemble, list and run programs for the isa4 machine"};
    app.require_subcommand(1);
    app.footer("Exit status: 0 success, 1 a program, image or check failed, 2 bad usage.");
    app.set_version_flag("--version", "isa4 (Kelvane) " KELVANE_VERSION);
    // Every subcommand's options on one page: what the manual page is made from.
    app.set_help_all_flag("--help-all", "Print help for every subcommand and exit");

    AsmArgs asm_args;
    CLI::App* asm_cmd = add_asm_command(app, asm_args);
    DisArgs dis_args;
    CLI::App* dis_cmd = add_dis_command(app, dis_args);
    RamArgs ram_args;
    CLI::App* ram_cmd = add_ram_command(app, ram_args);
    RunArgs run_args;
    CLI::App* run_cmd = add_run_command(app, run_args);
    ConvertArgs convert_args;
    CLI::App* convert_cmd = add_convert_command(app, convert_args);
    TestArgs test_args;
    CLI::App* test_cmd = add_test_command(app, test_args);
    TraceArgs trace_args;
    CLI::App* trace_cmd = add_trace_command(app, trace_args);
    AutograderArgs autograder_args;
    CLI::App* autograder_cmd = add_autograder_command(app, autograder_args);
    DebugArgs debug_args;
    CLI::App* debug_cmd = add_debug_command(app, debug_args);
    CLI::App* lsp_cmd = add_lsp_command(app);

    spell_debug_options(argc, argv);
    // The subcommand named on the line, as far as it was read: the one usage errors name.
    const auto name_command = [&app] {
        for (const CLI::App* cmd : app.get_subcommands())
            set_command_name("isa4 " + cmd->get_name());
    };
    // A first word that names no subcommand: said as such, with the one meant when it is
    // near, rather than as the library's "a subcommand is required".
    if (argc > 1 && argv[1][0] != '-') {
        std::vector<std::string_view> names;
        for (const CLI::App* cmd : app.get_subcommands([](const CLI::App*) { return true; }))
            names.push_back(cmd->get_name());
        if (std::find(names.begin(), names.end(), std::string_view(argv[1])) == names.end())
            return usage_error("unknown command " + in_quotes(argv[1]) +
                               did_you_mean(argv[1], names));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help, --help-all and --version end the parse too.
        if (e.get_exit_code() == 0) return app.exit(e) == 0 ? exit_ok : exit_usage;
        name_command();
        return usage_error(e.what());
    }
    name_command();
    if (asm_cmd->parsed()) return run_asm(asm_args);
    if (dis_cmd->parsed()) return run_dis(dis_args);
    if (ram_cmd->parsed()) return run_ram(ram_args);
    if (run_cmd->parsed()) return run_run(run_args);
    if (convert_cmd->parsed()) return run_convert(convert_args);
    if (test_cmd->parsed()) return run_test(test_args);
    if (trace_cmd->parsed()) return run_trace(trace_args);
    if (autograder_cmd->parsed()) return run_autograder(autograder_args);
    if (debug_cmd->parsed()) return run_debug(debug_args);
    if (lsp_cmd->parsed()) return run_lsp();
    return exit_usage;
}

}  // namespace

int main(int argc, char** argv) {
    install_checked_output();
    return finish_output(run_command(argc, argv));
}
