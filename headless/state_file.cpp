#include "headless/state_file.h"

#include <cstdio>
#include <optional>

#include "machine/instruction.h"
#include "text/message.h"
#include "text/names.h"

namespace {

std::optional<std::int64_t> read_value(LineScanner& scan, std::vector<Diagnostic>& out,
                                       std::int64_t lo, std::int64_t hi) {
    scan.skip_spaces();
    const int column = scan.column();
    const std::string_view word = [&] {
        LineScanner look = scan;
        return look.identifier();
    }();
    if (!word.empty()) {
        const std::string w = lower(word);
        if (w == "true" || w == "false") {
            scan.identifier();
            if (hi < 1) {
                out.push_back(scan.error_at(column, "expected a number"));
                return std::nullopt;
            }
            return w == "true" ? 1 : 0;
        }
        out.push_back(scan.error_at(column, "expected a number, found " + in_quotes(word)));
        return std::nullopt;
    }
    const auto v = scan.number_in(static_cast<std::uint64_t>(lo), static_cast<std::uint64_t>(hi),
                                  "a value", out);
    if (!v) return std::nullopt;
    return static_cast<std::int64_t>(*v);
}

}  // namespace

void parse_state_entry(LineScanner& scan, StateFile& file) {
    auto& diags = file.diagnostics;
    scan.skip_spaces();
    StateEntry entry;
    entry.line = scan.line();
    entry.column = scan.column();
    unsigned count = 1;

    if (scan.accept('[')) {
        entry.target = StateEntry::ram;
        const auto first = read_value(scan, diags, 0, 255);
        if (!first) return;
        entry.first = static_cast<unsigned>(*first);
        if (scan.accept("..")) {
            const auto last = read_value(scan, diags, 0, 255);
            if (!last) return;
            if (*last < *first) {
                diags.push_back(scan.error_at(entry.column, "the range ends before it starts"));
                return;
            }
            count = static_cast<unsigned>(*last - *first + 1);
        }
        if (!scan.accept(']')) {
            diags.push_back(scan.error_here("expected ']' (or '..' and the last address)"));
            return;
        }
    } else {
        const std::string_view name = scan.identifier();
        const std::string n = lower(name);
        if (n == "pc") {
            entry.target = StateEntry::pc;
        } else if (n == "z") {
            entry.target = StateEntry::z;
        } else if (const auto r = register_number(name)) {
            entry.target = StateEntry::reg;
            entry.first = *r;
        } else {
            diags.push_back(scan.error_at(
                entry.column, "expected pc, z, a register r0..rf or a [RAM address], found " +
                                  in_quotes(name.empty() ? scan.token_for_message() : name)));
            return;
        }
    }

    if (!scan.accept('=')) {
        diags.push_back(scan.error_here("expected '=' and a value"));
        return;
    }
    const std::int64_t hi = entry.target == StateEntry::z ? 1 : 255;
    do {
        const auto v = read_value(scan, diags, 0, hi);
        if (!v) return;
        entry.values.push_back(static_cast<std::uint8_t>(*v));
        scan.accept(',');
    } while (!scan.at_end());

    if (entry.values.size() == 1 && count > 1) entry.values.assign(count, entry.values[0]);
    if (entry.values.size() != count) {
        diags.push_back(scan.error_at(
            entry.column, "the range has " + std::to_string(count) + " cells but " +
                              std::to_string(entry.values.size()) +
                              " values are given (give one value for all, or one per cell)"));
        return;
    }
    file.entries.push_back(std::move(entry));
}

namespace {

std::string cell_name(unsigned address) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "[%02X]", address);
    return buf;
}

}  // namespace

StateFile parse_state_file(std::string_view text) {
    StateFile file;
    const auto lines = split_lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineScanner scan(lines[i], static_cast<int>(i) + 1);
        if (!scan.at_end()) parse_state_entry(scan, file);
    }
    return file;
}

CheckResult check_state(const StateFile& expected, const Isa4& arch, std::size_t keep) {
    CheckResult result;
    for (const StateEntry& e : expected.entries) {
        for (unsigned i = 0; i < e.values.size(); ++i) {
            unsigned actual = 0;
            std::string what;
            switch (e.target) {
                case StateEntry::pc:
                    actual = arch.pc;
                    what = "pc";
                    break;
                case StateEntry::z:
                    actual = arch.z ? 1 : 0;
                    what = "z";
                    break;
                case StateEntry::reg:
                    actual = arch.registers[e.first];
                    what = regs[e.first];
                    break;
                case StateEntry::ram:
                    actual = arch.ram[e.first + i];
                    what = cell_name(e.first + i);
                    break;
            }
            result.checked++;
            if (actual == e.values[i]) continue;
            if (static_cast<std::size_t>(result.differing++) < keep)
                result.mismatches.push_back({e.line, e.column, what, e.values[i], actual, e.target,
                                             e.first + (e.target == StateEntry::ram ? i : 0)});
        }
    }
    return result;
}

std::vector<Diagnostic> apply_ram_entries(const StateFile& file, Isa4::Ram& ram) {
    std::vector<Diagnostic> problems;
    for (const StateEntry& e : file.entries) {
        if (e.target != StateEntry::ram) {
            problems.push_back(
                {e.line, e.column, "a RAM image holds only RAM cells: [address] = value", false});
            continue;
        }
        for (unsigned i = 0; i < e.values.size(); ++i) ram[e.first + i] = e.values[i];
    }
    return problems;
}

std::string mismatch_text(const Mismatch& m) {
    char values[40];
    std::snprintf(values, sizeof values, " is %02X, expected %02X", m.actual & 0xFF,
                  m.expected & 0xFF);
    return m.what + values;
}
