#include "toolchain/symbols.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "text/message.h"
#include "text/names.h"

namespace {

bool before(const NamedValue& a, const NamedValue& b) {
    if (a.value != b.value) return a.value < b.value;
    if (a.is_label != b.is_label) return a.is_label;
    return a.name < b.name;
}

std::string value_text(std::int64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, v < 0 ? "-0x%02llX" : "0x%02llX",
                  static_cast<unsigned long long>(v < 0 ? -v : v));
    return buf;
}

}  // namespace

void SymbolTable::add(NamedValue named) {
    names.insert(std::upper_bound(names.begin(), names.end(), named, before), std::move(named));
}

const NamedValue* SymbolTable::label_at(std::int64_t address) const {
    for (const NamedValue& n : names)
        if (n.is_label && n.value == address) return &n;
    return nullptr;
}

const NamedValue* SymbolTable::constant_of(std::int64_t value) const {
    for (const NamedValue& n : names)
        if (!n.is_label && n.value == value) return &n;
    return nullptr;
}

std::string symbol_file_text(const SymbolTable& symbols) {
    std::string out = "# isa4 symbols: name address; \"equ\" marks a constant\n";
    for (const NamedValue& n : symbols.names)
        out += n.name + " " + value_text(n.value) + (n.is_label ? "\n" : " equ\n");
    return out;
}

SymbolTable parse_symbol_file(std::string_view text, std::vector<Diagnostic>& diagnostics) {
    SymbolTable table;
    std::map<std::string, int> lines_of;  // lower-case name -> line that names it
    const auto lines = split_lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        LineScanner scan(lines[i], static_cast<int>(i) + 1);
        if (scan.at_end()) continue;
        const int name_column = scan.column();
        const std::string_view name = scan.identifier();
        if (name.empty() || is_reserved_name(name)) {
            const std::string token(name.empty() ? scan.token_for_message() : name);
            diagnostics.push_back(scan.error_at(
                name_column, "expected a name, found '" + quote_for_message(token) +
                                 "' (a name is a letter or '_', then letters, digits, '_' or "
                                 "'.'; not a register or a mnemonic)"));
            continue;
        }
        if (scan.peek() != ' ' && scan.peek() != '\t') {
            diagnostics.push_back(
                scan.error_here("expected a space and an address after the name"));
            continue;
        }
        const int value_column = scan.column() + 1;
        const bool negative = scan.accept('-');
        scan.skip_spaces();
        std::string problem = "expected an address after the name";
        const auto v = scan.at_number() ? scan.number(problem) : std::nullopt;
        if (!v) {
            diagnostics.push_back(scan.error_at(value_column, problem));
            continue;
        }
        NamedValue named{std::string(name), negative ? -*v : *v, true};
        if (scan.identifier() == std::string_view("equ")) named.is_label = false;
        if (!scan.at_end()) {
            diagnostics.push_back(scan.error_here("expected the end of the line or 'equ', found '" +
                                                  quote_for_message(scan.token_for_message()) +
                                                  "'"));
            continue;
        }
        if (named.is_label && (named.value < 0 || named.value > 0x100)) {
            diagnostics.push_back(scan.error_at(
                value_column, "a label's address is 0x00..0x100, not " + value_text(named.value)));
            continue;
        }
        const auto [found, fresh] = lines_of.emplace(lower(name), scan.line());
        if (!fresh) {
            diagnostics.push_back(scan.error_at(name_column, "'" + std::string(name) +
                                                                 "' is already named on line " +
                                                                 std::to_string(found->second)));
            continue;
        }
        table.add(std::move(named));
    }
    return table;
}
