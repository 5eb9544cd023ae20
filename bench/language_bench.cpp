// What an editor waits for: the analysis of a source (an ordinary one of 500 lines and
// one at the 4 MiB cap on text inputs), and the language server's answer to a hover and
// to a keystroke's change, JSON both ways included.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "language/analysis.h"
#include "lsp/server.h"

namespace {

// 500 lines as students write them: constants, labelled loops, comments, blank lines.
std::string ordinary_source() {
    std::string s = "; a program of 500 lines\n";
    int lines = 1;
    for (int i = 0; i < 20; ++i, lines += 2)
        s += "        .equ cell" + std::to_string(i) + ", 0x" + std::to_string(10 + i) +
             "   ; RAM cell " + std::to_string(i) + "\n\n";
    for (int block = 0; lines < 496; ++block) {
        const std::string n = std::to_string(block);
        s += "; round " + n + ": add the cell into r1 until r2 is zero\n";
        s += "loop" + n + ": ADDI r2, r2, -1           ; one round fewer\n";
        s += "        MOVE r3, [cell" + std::to_string(block % 20) + "]\n";
        s += "        ADD  r1, r1, r3         ; r1 = r1 + cell\n";
        s += "        JZ   next" + n + "\n";
        s += "        ADDI r0, r0, 0          ; set z ...\n";
        s += "        JZ   loop" + n + "              ; ... and go round again\n";
        s += "next" + n + ":\n\n";
        lines += 9;
    }
    s += "done:   ADDI r0, r0, 0\n        JZ   @done\n";
    return s;
}

// A source at the cap: a program, then constants and comments up to 4 MiB.
std::string large_source() {
    std::string s = ordinary_source();
    for (int i = 0; s.size() < (std::size_t{4} << 20) - 64; ++i)
        s += i % 2 == 0 ? "        .equ k" + std::to_string(i) + ", " + std::to_string(i) + "\n"
                        : "; " + std::string(40, '-') + "\n";
    return s;
}

void analyze_source(benchmark::State& state, const std::string& source) {
    for (auto _ : state) benchmark::DoNotOptimize(analyze(source));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

void analyze_500_lines(benchmark::State& state) {
    analyze_source(state, ordinary_source());
}
BENCHMARK(analyze_500_lines)->Name("analyze/500_lines")->Unit(benchmark::kMicrosecond);

void analyze_4_mib(benchmark::State& state) {
    analyze_source(state, large_source());
}
BENCHMARK(analyze_4_mib)->Name("analyze/4_MiB")->Unit(benchmark::kMillisecond);

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else
            out += c;
    }
    return out + "\"";
}

// A server with the 500-line source open.
void open_server(LanguageServer& server) {
    std::vector<std::string> replies;
    server.handle(R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"capabilities":{}}})",
                  replies);
    server.handle(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                  R"({"uri":"file:///p.s","languageId":"isa4","version":1,"text":)" +
                      quoted(ordinary_source()) + "}}}",
                  replies);
}

void lsp_hover(benchmark::State& state) {
    LanguageServer server;
    open_server(server);
    const std::string hover =
        R"({"jsonrpc":"2.0","id":1,"method":"textDocument/hover","params":{"textDocument":)"
        R"({"uri":"file:///p.s"},"position":{"line":300,"character":10}}})";
    std::vector<std::string> replies;
    for (auto _ : state) {
        replies.clear();
        server.handle(hover, replies);
        benchmark::DoNotOptimize(replies);
    }
}
BENCHMARK(lsp_hover)->Name("lsp/hover_500_lines")->Unit(benchmark::kMicrosecond);

// One typed character, and the diagnostics published for it.
void lsp_keystroke(benchmark::State& state) {
    LanguageServer server;
    open_server(server);
    std::vector<std::string> replies;
    long long version = 1;
    for (auto _ : state) {
        replies.clear();
        server.handle(R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":)"
                      R"({"textDocument":{"uri":"file:///p.s","version":)" +
                          std::to_string(++version) +
                          R"(},"contentChanges":[{"range":{"start":{"line":0,"character":2},)"
                          R"("end":{"line":0,"character":2}},"text":"a"}]}})",
                      replies);
        benchmark::DoNotOptimize(replies);
    }
}
BENCHMARK(lsp_keystroke)->Name("lsp/keystroke_500_lines")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
