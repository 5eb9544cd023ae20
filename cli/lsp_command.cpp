#include "cli/lsp_command.h"

#include <iostream>

#include "lsp/server.h"

CLI::App* add_lsp_command(CLI::App& app) {
    CLI::App* cmd = app.add_subcommand(
        "lsp",
        "Serve editors as a language server (LSP over standard input and output): marks as "
        "you type, hover, completion, go to definition, rename, formatting");
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
