#include "language/analysis.h"

#include <algorithm>

#include "machine/instruction.h"
#include "text/message.h"
#include "text/names.h"
#include "toolchain/disassembler.h"

namespace {

template <typename Span>
bool covers(const Span& s, int line, int column) {
    return s.line == line && column >= s.column && column < s.end;
}

// The first element of `spans` (sorted by line) on `line`.
template <typename Span>
auto first_on(const std::vector<Span>& spans, int line) {
    return std::lower_bound(spans.begin(), spans.end(), line,
                            [](const Span& s, int l) { return s.line < l; });
}

// The column past the token that starts at `column` of `text`: a name, a number or
// character literal, or a run of other characters up to a space, comma or bracket.
int token_end(std::string_view text, int column) {
    std::size_t i = static_cast<std::size_t>(column - 1);
    if (i >= text.size()) return column;
    const auto stops = [](char c) {
        return c == ' ' || c == '\t' || c == ',' || c == '[' || c == ']' || c == ';' || c == '#';
    };
    if (text[i] == '\'') {
        std::size_t j = i + 1;
        while (j < text.size() && text[j] != '\'') j += text[j] == '\\' ? 2 : 1;
        return static_cast<int>(std::min(j + 1, text.size())) + 1;
    }
    std::size_t j = i;
    if (text[j] == '@') ++j;
    if (j < text.size() && (is_identifier_char(text[j]))) {
        while (j < text.size() && is_identifier_char(text[j])) ++j;
    } else {
        while (j < text.size() && !stops(text[j])) ++j;
    }
    return static_cast<int>(std::max(j, i + 1)) + 1;
}

std::string hex_word(std::uint32_t word) {
    return printf_text(word > max_word ? "%06X" : "%05X", word);
}

std::string binary(std::uint64_t v) {
    std::string out;
    do {
        out.insert(out.begin(), static_cast<char>('0' + (v & 1)));
        v >>= 1;
    } while (v != 0);
    while (out.size() % 8 != 0) out.insert(out.begin(), '0');
    return "0b" + out;
}

std::string value_text(std::int64_t v) {
    if (v < 0) return std::to_string(v) + " (" + symbol_value_text(v) + ")";
    return printf_text("0x%llX", static_cast<unsigned long long>(v)) + " (" + std::to_string(v) +
           ")";
}

// Unused names listed one by one in `Analysis::diagnostics`.
constexpr std::size_t listed_unused = 20;

class Analyzer {
public:
    explicit Analyzer(std::string_view source) : lines_(split_lines(source)) {
        out_.assembly = assemble(source);
    }

    Analysis run() {
        collect_names();
        const Assembly& a = out_.assembly;
        std::vector<Diagnostic> lints;
        std::vector<Diagnostic> unused;
        for (const DefinedName& n : out_.names) {
            if (!n.uses.empty()) continue;
            const NameSpan& d = a.names[n.definition];
            unused.push_back(
                {d.line, d.column,
                 n.is_label
                     ? "label " + in_quotes(n.name) + " is never used: no JZ or operand names it"
                     : ".equ name " + in_quotes(n.name) + " is never used: no operand names it",
                 true});
        }
        // Where each address's word came from, to tell instructions from data.
        std::vector<const PlacedStatement*> at(256, nullptr);
        for (const PlacedStatement& s : a.statements) at[s.address & 0xFF] = &s;
        bool halts = false;
        for (const PlacedStatement& s : a.statements) {
            if (s.jz_operand < 0) continue;
            if (s.jz_operand == s.address) {
                halts = true;
                continue;
            }
            const PlacedStatement* next = at[(s.jz_operand + 1) & 0xFF];
            if (next != nullptr && next->is_word)
                lints.push_back(
                    {s.line, s.column,
                     printf_text("JZ to data: when taken, %02X runs next, which holds .word data "
                                 "from line %d, not an instruction",
                                 (s.jz_operand + 1) & 0xFF, next->line),
                     true});
        }
        const auto in_order = [](auto& list) {
            std::stable_sort(list.begin(), list.end(), [](const auto& x, const auto& y) {
                return x.line != y.line ? x.line < y.line : x.column < y.column;
            });
        };
        // An editor marks every unused name; a printed list stays short: past
        // `listed_unused`, one line counts the rest.
        for (const Diagnostic& d : a.diagnostics) out_.marks.push_back(mark_of(d));
        for (const Diagnostic& d : lints) out_.marks.push_back(mark_of(d));
        for (const Diagnostic& d : unused) out_.marks.push_back(mark_of(d));
        in_order(out_.marks);
        out_.diagnostics = a.diagnostics;
        out_.diagnostics.insert(out_.diagnostics.end(), lints.begin(), lints.end());
        for (std::size_t i = 0; i < unused.size() && i < listed_unused; ++i)
            out_.diagnostics.push_back(unused[i]);
        if (unused.size() > listed_unused)
            out_.diagnostics.push_back({unused[listed_unused].line, unused[listed_unused].column,
                                        std::to_string(unused.size() - listed_unused) +
                                            " more labels or .equ names from here on are never "
                                            "used",
                                        true});
        in_order(out_.diagnostics);
        if (!halts && a.ok() && !a.statements.empty()) {
            const PlacedStatement& first = a.statements.front();
            out_.marks.push_back({first.line, first.column, first.end, Severity::information,
                                  "no halting JZ: this program runs until it is stopped (a JZ "
                                  "onto itself, as in 'done: JZ @done', halts it when z is set)"});
        }
        return std::move(out_);
    }

private:
    std::vector<std::string_view> lines_;
    Analysis out_;

    void collect_names() {
        const std::vector<NameSpan>& spans = out_.assembly.names;
        for (std::size_t i = 0; i < spans.size(); ++i) {
            if (!spans[i].definition) continue;
            DefinedName n;
            n.key = spans[i].key;
            n.is_label = spans[i].is_label;
            n.definition = i;
            const std::string_view line = lines_[static_cast<std::size_t>(spans[i].line - 1)];
            n.name =
                std::string(line.substr(static_cast<std::size_t>(spans[i].column - 1),
                                        static_cast<std::size_t>(spans[i].end - spans[i].column)));
            n.value = spans[i].value;
            out_.names.push_back(std::move(n));
        }
        std::vector<std::size_t>& by_key = out_.by_key;
        for (std::size_t i = 0; i < out_.names.size(); ++i) by_key.push_back(i);
        std::sort(by_key.begin(), by_key.end(), [&](std::size_t x, std::size_t y) {
            return out_.names[x].key < out_.names[y].key;
        });
        for (std::size_t i = 0; i < spans.size(); ++i) {
            if (spans[i].definition) continue;
            if (const DefinedName* n = out_.name(spans[i].key))
                out_.names[static_cast<std::size_t>(n - out_.names.data())].uses.push_back(i);
        }
    }

    Mark mark_of(const Diagnostic& d) const {
        Mark m;
        m.severity = d.warning ? Severity::warning : Severity::error;
        m.message = d.message;
        m.line = std::max(d.line, 1);
        const std::string_view text = static_cast<std::size_t>(m.line) <= lines_.size()
                                          ? lines_[static_cast<std::size_t>(m.line - 1)]
                                          : std::string_view();
        if (d.line == 0 || d.column == 0) {
            m.column = 1;
            m.end = static_cast<int>(text.size()) + 1;
        } else {
            m.column = d.column;
            m.end = token_end(text, d.column);
        }
        return m;
    }
};

}  // namespace

const DefinedName* Analysis::name(std::string_view key) const {
    const auto found =
        std::lower_bound(by_key.begin(), by_key.end(), key,
                         [&](std::size_t i, std::string_view k) { return names[i].key < k; });
    return found != by_key.end() && names[*found].key == key ? &names[*found] : nullptr;
}

Analysis analyze(std::string_view source) {
    return Analyzer(source).run();
}

Found find_at(const Analysis& analysis, int line, int column) {
    const Assembly& a = analysis.assembly;
    Found f;
    f.line = line;
    for (auto s = first_on(a.names, line); s != a.names.end() && s->line == line; ++s)
        if (covers(*s, line, column) || (s->raw && covers(*s, line, column + 1))) {
            f.kind = Found::name;
            f.column = s->column;
            f.end = s->end;
            f.name_span = &*s;
            f.defined = analysis.name(s->key);
            break;
        }
    if (f.kind == Found::nothing)
        for (auto s = first_on(a.numbers, line); s != a.numbers.end() && s->line == line; ++s)
            if (covers(*s, line, column)) {
                f.kind = Found::number;
                f.column = s->column;
                f.end = s->end;
                f.number_span = &*s;
                break;
            }
    for (auto s = first_on(a.statements, line); s != a.statements.end() && s->line == line; ++s) {
        if (column >= s->column && column < s->end) {
            f.placed = &*s;
            break;
        }
        if (f.placed == nullptr) f.placed = &*s;
    }
    if (f.kind == Found::nothing && f.placed != nullptr && column >= f.placed->column &&
        column < f.placed->end) {
        f.kind = Found::statement;
        f.column = f.placed->column;
        f.end = f.placed->end;
    }
    return f;
}

std::string effect_text(std::uint32_t word, unsigned address) {
    const Instruction in = decode_word(word);
    const auto r = [](unsigned n) { return std::string(regs[n & 0xF]); };
    const auto cell = [](unsigned a) { return printf_text("RAM[0x%02X]", a); };
    switch (in.opcode) {
        case op_add: return r(in.dst) + " = " + r(in.lhs) + " + " + r(in.rhs) + ", sets z";
        case op_addi:
            return r(in.dst) + " = " + r(in.lhs) + printf_text(" + 0x%02X, sets z", in.imm);
        case op_jz:
            if (in.imm == (address & 0xFF))
                return "if z is set: halt (its operand is its own address)";
            return printf_text("if z is set: pc = 0x%02X, so 0x%02X runs next", in.imm,
                               (in.imm + 1) & 0xFF);
        case op_move_rr:
            return in.dst == 0 ? "nothing (MOVE never writes r0)" : r(in.dst) + " = " + r(in.rhs);
        case op_move_mr: return cell(in.daddr) + " = " + r(in.rhs);
        case op_move_rm:
            return in.dst == 0 ? "nothing (MOVE never writes r0)"
                               : r(in.dst) + " = " + cell(in.imm);
        case op_move_mm: return cell(in.daddr) + " = " + cell(in.imm);
        default: return "no operation";
    }
}

std::string hover_text(const Analysis& analysis, int line, int column) {
    const Found f = find_at(analysis, line, column);
    const Assembly& a = analysis.assembly;
    switch (f.kind) {
        case Found::name: {
            if (f.defined == nullptr)
                return "`" + escape_for_message(f.name_span->key) + "`: not defined";
            const DefinedName& n = *f.defined;
            const std::size_t uses = n.uses.size();
            const std::string used =
                "used in " + std::to_string(uses) + (uses == 1 ? " place" : " places");
            if (n.is_label)
                return "label `" + escape_for_message(n.name) + "`: address " +
                       printf_text("0x%02llX", static_cast<long long>(n.value)) + ", " + used;
            return "`.equ " + escape_for_message(n.name) + "` = " + value_text(n.value) + ", " +
                   used;
        }
        case Found::number: {
            const NumberSpan& n = *f.number_span;
            if (n.too_large) return "a number past 64 bits";
            return printf_text("0x%llX", static_cast<unsigned long long>(n.value)) + " = " +
                   std::to_string(n.value) + " = " + binary(static_cast<std::uint64_t>(n.value));
        }
        case Found::statement: {
            const PlacedStatement& s = *f.placed;
            const std::uint32_t word = a.rom[static_cast<std::size_t>(s.address)];
            std::string text = printf_text("`%02X: ", s.address) + hex_word(word) + "`";
            for (const Diagnostic& d : a.diagnostics)
                if (!d.warning && d.line == s.line) return text + " (this line has an error)";
            if (s.is_word) return text + " .word data; executes as " + effect_text(word, s.address);
            return text + " " + effect_text(word, static_cast<unsigned>(s.address));
        }
        case Found::nothing: break;
    }
    return {};
}

std::vector<Completion> completions(const Analysis& analysis) {
    std::vector<Completion> out = {
        {Completion::mnemonic, "ADD", "ADD ", "ADD rd, rl, rr: rd = rl + rr, sets z"},
        {Completion::mnemonic, "ADDI", "ADDI ",
         "ADDI rd, rl, imm: rd = rl + imm (-128..255), sets z"},
        {Completion::mnemonic, "JZ", "JZ ", "JZ label: if z is set, the word at label runs next"},
        {Completion::mnemonic, "MOVE", "MOVE ", "MOVE rd, rs: rd = rs"},
        {Completion::mnemonic, "MOVE [addr], rs", "MOVE [", "MOVE [addr], rs: RAM[addr] = rs"},
        {Completion::mnemonic, "MOVE rd, [addr]", "MOVE ", "MOVE rd, [addr]: rd = RAM[addr]"},
        {Completion::mnemonic, "MOVE [addr], [addr]", "MOVE [",
         "MOVE [da], [sa]: RAM[da] = RAM[sa]"},
        {Completion::directive, ".org", ".org ", ".org address: place what follows from address"},
        {Completion::directive, ".word", ".word ", ".word value, ...: raw words"},
        {Completion::directive, ".equ", ".equ ", ".equ name, value: a named constant"},
    };
    for (const char* r : regs) out.push_back({Completion::register_name, r, r, "register"});
    for (const DefinedName& n : analysis.names) {
        if (n.is_label)
            out.push_back({Completion::label_name, n.name, n.name,
                           printf_text("label at 0x%02llX", static_cast<long long>(n.value))});
        else
            out.push_back({Completion::constant, n.name, n.name, ".equ " + value_text(n.value)});
    }
    return out;
}

std::optional<std::string> rename_problem(const Analysis& analysis, const DefinedName& renamed,
                                          std::string_view name) {
    bool identifier = !name.empty() && is_identifier_start(name[0]);
    for (char c : name) identifier = identifier && is_identifier_char(c);
    if (!identifier)
        return in_quotes(name) +
               " is no name: a letter, '_' or '.', then letters, digits, '_' or '.'";
    if (register_number(name)) return in_quotes(name) + " is a register";
    if (is_reserved_name(name)) return in_quotes(name) + " is kept by the assembler";
    const std::string key = lower(name);
    if (key != renamed.key && analysis.name(key) != nullptr)
        return in_quotes(name) + " is already defined";
    return std::nullopt;
}

std::vector<WordHint> word_hints(const Analysis& analysis) {
    std::vector<WordHint> out;
    for (const PlacedStatement& s : analysis.assembly.statements) {
        const std::uint32_t word = analysis.assembly.rom[static_cast<std::size_t>(s.address)];
        out.push_back(
            {s.line, s.end, s.address, word, printf_text("%02X: ", s.address) + hex_word(word)});
    }
    return out;
}

namespace {

// A line cut into its code and its comment (from ';' or '#' outside a character literal).
struct LineParts {
    std::string_view code;
    std::string_view comment;
};

LineParts cut_comment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\'') {
            ++i;
            while (i < line.size() && line[i] != '\'') i += line[i] == '\\' ? 2 : 1;
        } else if (line[i] == ';' || line[i] == '#') {
            return {line.substr(0, i), line.substr(i)};
        }
    }
    return {line, {}};
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The tokens of code: names, numbers and character literals whole, other characters one
// by one; spaces dropped.
std::vector<std::string_view> tokens_of(std::string_view code) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        std::size_t j = i + 1;
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '\'') {
            while (j < code.size() && code[j] != '\'') j += code[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, code.size());
        } else if (is_identifier_char(c)) {
            while (j < code.size() && is_identifier_char(code[j])) ++j;
        }
        out.push_back(code.substr(i, j - i));
        i = j;
    }
    return out;
}

// The operands with ", " between them, " + " and " - " between terms, a sign kept on
// its term.
std::string operand_text(const std::vector<std::string_view>& tokens, std::size_t from) {
    std::string out;
    std::string_view before = ",";
    for (std::size_t i = from; i < tokens.size(); ++i) {
        const std::string_view t = tokens[i];
        const bool sign = (t == "+" || t == "-") &&
                          (before == "," || before == "[" || before == "+" || before == "-");
        if (t == ",")
            out += ", ";
        else if ((t == "+" || t == "-") && !sign)
            out += " " + std::string(t) + " ";
        else
            out += t;
        before = t;
    }
    return out;
}

}  // namespace

std::string format_source(std::string_view source) {
    const Analysis analysis = analyze(source);
    std::vector<bool> faulty;
    for (const Diagnostic& d : analysis.assembly.diagnostics) {
        if (d.warning) continue;
        if (faulty.size() <= static_cast<std::size_t>(d.line)) faulty.resize(d.line + 1, false);
        faulty[static_cast<std::size_t>(d.line)] = true;
    }
    const auto lines = split_lines(source);
    std::string out;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        // A line that does not assemble is the writer's to mend, as written; an error about
        // the whole text (line 0) leaves every line so.
        if ((n + 1 < faulty.size() && faulty[n + 1]) || (!faulty.empty() && faulty[0])) {
            out += std::string(line) + "\n";
            continue;
        }
        const LineParts parts = cut_comment(line);
        const std::vector<std::string_view> tokens = tokens_of(parts.code);
        std::string code;
        std::size_t i = 0;
        // Labels first, each with its ':'.
        while (i + 1 < tokens.size() && tokens[i + 1] == ":" && is_identifier_start(tokens[i][0])) {
            code += std::string(tokens[i]) + ": ";
            i += 2;
        }
        if (!code.empty()) code.pop_back();
        if (i < tokens.size()) {
            if (code.size() < 8)
                code.resize(8, ' ');
            else
                code += ' ';
            const std::string_view word = tokens[i];
            std::string head = word[0] == '.' ? lower(word) : std::string(word);
            if (word[0] != '.')
                for (char& c : head)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            code += head;
            if (i + 1 < tokens.size()) code += " " + operand_text(tokens, i + 1);
        }
        const std::string_view comment = trim(parts.comment);
        if (comment.empty()) {
            out += code;
        } else if (code.empty()) {
            // A comment alone keeps its indent.
            out += std::string(parts.code) + std::string(comment);
        } else {
            if (code.size() < 36)
                code.resize(36, ' ');
            else
                code += ' ';
            out += code + std::string(comment);
        }
        out += "\n";
    }
    return out;
}
