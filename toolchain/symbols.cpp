#include "toolchain/symbols.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <optional>

#include "text/message.h"
#include "text/names.h"

namespace {

bool before(const NamedValue& a, const NamedValue& b) {
    if (a.value != b.value) return a.value < b.value;
    if (a.is_label != b.is_label) return a.is_label;
    return a.name < b.name;
}

// The first name of `value` and kind, by binary search: labels sort before constants of
// the same value, and an empty name before every other.
const NamedValue* first_of(const std::vector<NamedValue>& names, std::int64_t value,
                           bool is_label) {
    const NamedValue key{std::string(), value, is_label};
    const auto at = std::lower_bound(names.begin(), names.end(), key, before);
    if (at == names.end() || at->value != value || at->is_label != is_label) return nullptr;
    return &*at;
}

// The number after the name, with its sign: every value of 64 bits, the most negative
// (-0x8000000000000000, whose magnitude alone is past 2^63 - 1) included.
std::optional<std::int64_t> signed_value(LineScanner& scan, bool negative, std::string& problem) {
    const auto n = scan.literal(problem);
    if (!n) return std::nullopt;
    if (!n->too_large) return negative ? -n->value : n->value;
    std::size_t prefix = 0;
    const int base = number_base(n->typed, prefix);
    const auto magnitude = digits_value(n->typed.substr(prefix), base);
    if (negative && magnitude == std::uint64_t{1} << 63) return INT64_MIN;
    problem = "number " + quote_for_message(n->typed) + " is out of range (past 64 bits)";
    return std::nullopt;
}

}  // namespace

std::string symbol_value_text(std::int64_t v) {
    // The magnitude as unsigned, so that the most negative value has one too.
    const auto magnitude =
        v < 0 ? 0 - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    return printf_text(v < 0 ? "-0x%02llX" : "0x%02llX", magnitude);
}

void SymbolTable::add(NamedValue named) {
    names.push_back(std::move(named));
}

void SymbolTable::sort() {
    if (!std::is_sorted(names.begin(), names.end(), before))
        std::stable_sort(names.begin(), names.end(), before);
}

const NamedValue* SymbolTable::label_at(std::int64_t address) const {
    return first_of(names, address, true);
}

std::pair<const NamedValue*, const NamedValue*> SymbolTable::labels_at(std::int64_t address) const {
    const NamedValue* first = first_of(names, address, true);
    if (first == nullptr) return {nullptr, nullptr};
    const NamedValue* last = first;
    const NamedValue* end = names.data() + names.size();
    while (last != end && last->is_label && last->value == address) ++last;
    return {first, last};
}

const NamedValue* SymbolTable::constant_of(std::int64_t value) const {
    return first_of(names, value, false);
}

std::string symbol_file_text(const SymbolTable& symbols) {
    std::string out = "# isa4 symbols: name address; \"equ\" marks a constant\n";
    for (const NamedValue& n : symbols.names)
        out += n.name + " " + symbol_value_text(n.value) + (n.is_label ? "\n" : " equ\n");
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
        const auto v = scan.at_number() ? signed_value(scan, negative, problem) : std::nullopt;
        if (!v) {
            diagnostics.push_back(scan.error_at(value_column, problem));
            continue;
        }
        NamedValue named{std::string(name), *v, true};
        if (scan.identifier() == std::string_view("equ")) named.is_label = false;
        if (!scan.at_end()) {
            diagnostics.push_back(scan.error_here("expected the end of the line or 'equ', found '" +
                                                  quote_for_message(scan.token_for_message()) +
                                                  "'"));
            continue;
        }
        if (named.is_label && (named.value < 0 || named.value > 0x100)) {
            diagnostics.push_back(scan.error_at(
                value_column,
                "a label's address is 0x00..0x100, not " + symbol_value_text(named.value)));
            continue;
        }
        const auto [found, fresh] = lines_of.emplace(lower(name), scan.line());
        if (!fresh) {
            diagnostics.push_back(scan.error_at(
                name_column,
                in_quotes(name) + " is already named on line " + std::to_string(found->second)));
            continue;
        }
        table.add(std::move(named));
    }
    table.sort();
    return table;
}
