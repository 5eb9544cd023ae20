#include "trace/page.h"

#include <cstdio>

#include "text/message.h"
#include "toolchain/disassembler.h"
#include "trace/page_files.h"

namespace {

void append_number(std::string& out, std::uint64_t n) {
    char buf[24];
    const int len = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(n));
    out.append(buf, static_cast<std::size_t>(len));
}

template <typename Values>
void append_numbers(std::string& out, const Values& values) {
    out += '[';
    bool first = true;
    for (const auto v : values) {
        if (!first) out += ',';
        first = false;
        append_number(out, v);
    }
    out += ']';
}

void append_member(std::string& out, const char* name) {
    if (out.back() != '{') out += ',';
    out += '"';
    out += name;
    out += "\":";
}

const char* target_name(StateEntry::Target t) {
    switch (t) {
        case StateEntry::pc: return "pc";
        case StateEntry::z: return "z";
        case StateEntry::reg: return "reg";
        case StateEntry::ram: return "ram";
    }
    return "pc";
}

const char* reason_name(StopReason r) {
    switch (r) {
        case StopReason::halt: return "halt";
        case StopReason::breakpoint: return "breakpoint";
        case StopReason::step_limit: return "step_limit";
    }
    return "step_limit";
}

// Replaces the one `marker` in `page` with `text`.
void fill(std::string& page, std::string_view marker, std::string_view text) {
    const std::size_t at = page.find(marker);
    if (at != std::string::npos) page.replace(at, marker.size(), text);
}

}  // namespace

ProgramListing source_listing(std::string_view source, const std::array<int, 256>& word_lines) {
    ProgramListing listing;
    listing.is_source = true;
    for (const std::string_view line : split_lines(source)) listing.lines.emplace_back(line);
    for (std::size_t a = 0; a < 256; ++a) listing.line_of[a] = word_lines[a] - 1;
    return listing;
}

ProgramListing image_listing(const Isa4::Rom& rom, const SymbolTable* symbols) {
    ProgramListing listing;
    for (unsigned a = 0; a < 256; ++a) {
        std::string line;
        if (const NamedValue* n = symbols != nullptr ? symbols->label_at(a) : nullptr)
            line = n->name + ": ";
        char word[16];
        std::snprintf(word, sizeof word, rom[a] > 0xFFFFF ? ".word 0x%06X" : ".word 0x%05X",
                      rom[a]);
        line += instruction_text(rom[a], a, symbols).value_or(word);
        listing.lines.push_back(line);
        listing.line_of[a] = static_cast<int>(a);
    }
    return listing;
}

std::string trace_json(const TraceSection& section) {
    const Recording& rec = *section.recording;
    const ProgramListing& listing = *section.listing;
    std::string out = "{";
    out.reserve(rec.steps.size() * 10 + 16384);
    append_member(out, "name");
    out += json_text(section.name);
    append_member(out, "source");
    out += listing.is_source ? "true" : "false";
    append_member(out, "lines");
    out += '[';
    for (std::size_t i = 0; i < listing.lines.size(); ++i)
        out += (i == 0 ? "" : ",") + json_text(listing.lines[i]);
    out += ']';
    append_member(out, "lineOf");
    out += '[';
    for (std::size_t a = 0; a < 256; ++a)
        out += (a == 0 ? "" : ",") + std::to_string(listing.line_of[a]);
    out += ']';
    append_member(out, "rom");
    append_numbers(out, rec.start.rom);
    append_member(out, "text");
    out += '[';
    for (unsigned a = 0; a < 256; ++a)
        out += (a == 0 ? "" : ",") + json_text(executed_text(rec.start.rom[a], a, section.symbols));
    out += ']';
    append_member(out, "start");
    out += "{\"pc\":" + std::to_string(rec.start.pc) + ",\"z\":" + (rec.start.z ? "1" : "0");
    out += ",\"r\":";
    append_numbers(out, rec.start.registers);
    out += ",\"ram\":";
    append_numbers(out, rec.start.ram);
    out += '}';
    append_member(out, "deltas");
    out += '[';
    bool first = true;
    for (const StepDelta& d : rec.steps) {
        if (!first) out += ',';
        first = false;
        append_number(out, d.pc | (d.z ? 1u << 8 : 0u) | unsigned{d.write} << 9 |
                               unsigned{d.index} << 11 | unsigned{d.value} << 19);
    }
    out += ']';
    append_member(out, "reason");
    out += std::string("\"") + reason_name(rec.outcome.reason) + "\"";
    append_member(out, "limit");
    append_number(out, rec.limit);
    append_member(out, "expected");
    out += '[';
    for (std::size_t i = 0; i < section.expected.size(); ++i) {
        const Mismatch& m = section.expected[i];
        out += (i == 0 ? "{" : ",{");
        append_member(out, "what");
        out += json_text(m.what);
        append_member(out, "target");
        out += std::string("\"") + target_name(m.target) + "\"";
        append_member(out, "index");
        append_number(out, m.index);
        append_member(out, "expected");
        append_number(out, m.expected);
        append_member(out, "actual");
        append_number(out, m.actual);
        out += '}';
    }
    out += "]}";
    return out;
}

std::string page_html(std::string_view data) {
    std::string page = page_template;
    fill(page, "@STYLE@", page_style);
    fill(page, "@SCRIPT@", page_script);
    fill(page, "@DATA@", data);
    return page;
}
