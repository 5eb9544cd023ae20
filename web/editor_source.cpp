#include "web/editor_source.h"

#include <sys/stat.h>

#include "headless/runner.h"
#include "headless/state_file.h"
#include "language/analysis.h"
#include "machine/image_file.h"
#include "text/message.h"
#include "toolchain/assembler.h"
#include "trace/page.h"
#include "trace/recording.h"

namespace {

std::string bool_text(bool value) {
    return value ? "true" : "false";
}

const char* severity_name(Severity severity) {
    switch (severity) {
        case Severity::error: return "error";
        case Severity::warning: return "warning";
        case Severity::information: return "information";
    }
    return "error";
}

const char* completion_kind(Completion::Kind kind) {
    switch (kind) {
        case Completion::mnemonic: return "mnemonic";
        case Completion::register_name: return "register";
        case Completion::directive: return "directive";
        case Completion::label_name: return "label";
        case Completion::constant: return "constant";
    }
    return "mnemonic";
}

// The members of the facts object, without its braces, so that other answers can carry them.
std::string facts_members(const Analysis& analysis) {
    std::string json = "\"diagnostics\":[";
    const char* comma = "";
    for (const Mark& m : analysis.marks) {
        json += comma;
        json += "{\"line\":" + std::to_string(m.line) + ",\"column\":" + std::to_string(m.column) +
                ",\"end\":" + std::to_string(m.end) + ",\"severity\":\"" +
                severity_name(m.severity) + "\",\"message\":" + json_text(m.message) + "}";
        comma = ",";
    }
    const Assembly& assembly = analysis.assembly;
    json += "],\"words\":[";
    comma = "";
    for (int address = 0; address < 256; ++address) {
        if (!assembly.placed[address]) continue;
        json += comma;
        json += "[" + std::to_string(address) + "," + std::to_string(assembly.word_lines[address]) +
                "," + std::to_string(assembly.rom[address]) + "]";
        comma = ",";
    }
    json += "],\"completions\":[";
    comma = "";
    for (const Completion& c : completions(analysis)) {
        json += comma;
        json += "{\"label\":" + json_text(c.label) + ",\"insert\":" + json_text(c.insert) +
                ",\"kind\":\"" + completion_kind(c.kind) + "\",\"detail\":" + json_text(c.detail) +
                "}";
        comma = ",";
    }
    return json + "]";
}

std::string stem_of(std::string_view name) {
    std::string_view stem = name;
    if (stem.size() > 2 && stem.substr(stem.size() - 2) == ".s") stem.remove_suffix(2);
    return std::string(stem);
}

int error_count(const Assembly& assembly) {
    int errors = 0;
    for (const Diagnostic& d : assembly.diagnostics) errors += d.warning ? 0 : 1;
    return errors;
}

std::string errors_text(int errors) {
    return std::to_string(errors) + (errors == 1 ? " error" : " errors");
}

LoadOutcome outcome(bool loaded, std::string log_line, const std::string& image,
                    const std::string& members) {
    LoadOutcome result;
    result.loaded = loaded;
    result.json = "{\"loaded\":" + bool_text(loaded) + ",\"message\":" + json_text(log_line) +
                  ",\"image\":" + json_text(image) + (members.empty() ? "" : "," + members) + "}";
    result.log_line = std::move(log_line);
    return result;
}

bool exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

// The RAM data beside the source `name`: STEM.ram, an image read as "Load RAM" reads it,
// or else STEM.data, the text `isa4 ram` reads, over a RAM of zeros. `used` names the
// file read, empty when there is neither; `failure` is the line that says why it could
// not be read.
bool read_ram_beside(std::string_view name, Isa4::Ram& ram, std::string& used,
                     std::string& failure) {
    const std::string stem = stem_of(name);
    used.clear();
    if (exists(stem + ".ram")) {
        used = stem + ".ram";
        Isa4::Ram read = ram;
        const FileResult opened = load_ram_image(used.c_str(), read);
        if (!opened) {
            failure = failure_message("Load RAM", escape_for_message(used), opened);
            return false;
        }
        ram = read;
        return true;
    }
    if (!exists(stem + ".data")) return true;
    used = stem + ".data";
    std::string text;
    const FileResult opened = read_file(used.c_str(), text, max_text_file_size);
    if (!opened) {
        failure = failure_message("Load RAM", escape_for_message(used), opened);
        return false;
    }
    const StateFile file = parse_state_file(text);
    Isa4::Ram read{};
    std::vector<Diagnostic> problems = file.diagnostics;
    if (problems.empty()) problems = apply_ram_entries(file, read);
    for (const Diagnostic& d : problems) {
        if (d.warning) continue;
        failure = format_diagnostic(used, d);
        return false;
    }
    ram = read;
    return true;
}

}  // namespace

std::string source_facts_json(std::string_view source) {
    return "{" + facts_members(analyze(source)) + "}";
}

std::string source_hover_json(std::string_view source, int line, int column) {
    return "{\"text\":" + json_text(hover_text(analyze(source), line, column)) + "}";
}

LoadOutcome assemble_and_load(std::string_view name, std::string_view source, Isa4::Rom& rom,
                              bool write_image) {
    const Analysis analysis = analyze(source);
    const Assembly& assembly = analysis.assembly;
    const std::string members = facts_members(analysis);
    const std::string shown = escape_for_message(name);
    const std::string image = stem_of(name) + ".rom";
    const std::string shown_image = escape_for_message(image);
    if (const int errors = error_count(assembly); errors > 0)
        return outcome(false, shown + ": " + errors_text(errors) + "; nothing written or loaded",
                       image, members);
    if (write_image) {
        const FileResult saved = save_rom_image(image.c_str(), assembly.rom);
        if (!saved)
            return outcome(false, failure_message("Save ROM", shown_image, saved), image, members);
    }
    // Read back from the file, as "Load ROM" reads it: what runs is what was written.
    Isa4::Rom read = rom;
    const FileResult opened = load_rom_image(image.c_str(), read);
    if (!opened)
        return outcome(false, failure_message("Load ROM", shown_image, opened), image, members);
    rom = read;
    return outcome(true,
                   write_image ? "Assembled " + shown + " into " + shown_image + " and loaded it"
                               : "Loaded " + shown_image,
                   image, members);
}

LoadOutcome load_ram_beside(std::string_view name, Isa4::Ram& ram) {
    std::string used, failure;
    if (!read_ram_beside(name, ram, used, failure)) return outcome(false, failure, used, "");
    if (used.empty()) {
        const std::string stem = escape_for_message(stem_of(name));
        return outcome(false, "Load RAM failed: there is no " + stem + ".ram or " + stem + ".data",
                       "", "");
    }
    return outcome(true, "Loaded " + escape_for_message(used) + " into RAM", used, "");
}

TracePage trace_page(std::string_view name, std::string_view source) {
    TracePage page;
    const std::string shown = escape_for_message(name);
    const Assembly assembly = assemble(source);
    if (const int errors = error_count(assembly); errors > 0) {
        page.message = shown + ": " + errors_text(errors) + "; no trace";
        return page;
    }
    Isa4 arch{};
    arch.rom = assembly.rom;
    std::string ram_data;
    if (!read_ram_beside(name, arch.ram, ram_data, page.message)) return page;
    arch.reset();
    const Recording recording = record_run(arch, RunLimits{});
    const ProgramListing listing = source_listing(source, assembly.word_lines);
    TraceSection section;
    section.name = std::string(name);
    section.listing = &listing;
    section.recording = &recording;
    section.symbols = assembly.symbols.empty() ? nullptr : &assembly.symbols;
    page.html = page_html("{\"kind\":\"trace\",\"title\":" + json_text(name) + ",\"traces\":[" +
                          trace_json(section) + "]}");
    page.message = "Traced " + shown +
                   (ram_data.empty() ? "" : " with " + escape_for_message(ram_data)) + ": " +
                   std::to_string(recording.steps.size()) + " steps";
    return page;
}

int last_executed(const Isa4& before, const Isa4& after, int previous, int most) {
    if (before == after) return previous;
    Isa4 run = before;
    for (int i = 0; i < most; ++i) {
        const int address = (run.pc + 1) % 256;
        run.step();
        if (run == after) return address;
    }
    return -1;
}
