#pragma once

#include <CLI/CLI.hpp>

// isa4 lsp: the language server, on standard input and output.
CLI::App* add_lsp_command(CLI::App& app);
int run_lsp();
