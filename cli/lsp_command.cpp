#include "cli/lsp_command.h"

#include <iostream>

#include "lsp/server.h"

CLI::App* add_lsp_command(CLI::App& app) {
    CLI::App* cmd =
        app.add_subcommand("lsp", "Language server for editors (LSP on standard input and output)");
    // Editors start servers with the options they know of; this one needs none.
    cmd->add_flag("--stdio",
                  "talk over standard input and output (the only way; accepted for "
                  "editors that pass it)");
    return cmd;
}

int run_lsp() {
    std::ios::sync_with_stdio(false);
    return serve(std::cin, std::cout, KELVANE_VERSION);
}
