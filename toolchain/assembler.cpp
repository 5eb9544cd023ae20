#include "toolchain/assembler.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>

#include "machine/instruction.h"
#include "text/message.h"
#include "text/names.h"

namespace {

// One name or number in an operand, with its sign.
struct Term {
    enum Kind { number, name, raw_label } kind = number;
    bool negative = false;
    std::int64_t value = 0;
    bool too_large = false;  // a number past 64 bits
    std::string text;
    int column = 0;
};

struct Operand {
    enum Kind { reg, mem, value } kind = value;
    unsigned reg_number = 0;
    std::vector<Term> terms;  // the address of `mem`, or the `value`
    std::string text;         // as typed, for messages
    int column = 0;
    int end = 0;
};

// What an operand adds up to. A sum past 64 bits has no value to show: its messages quote
// the operand as typed.
struct Value {
    std::int64_t value = 0;
    bool too_large = false;
};

struct Statement {
    enum Kind { instruction, word } kind = instruction;
    int line = 0;
    int column = 0;
    int end = 0;
    std::string mnemonic;  // upper case
    std::vector<Operand> operands;
    int address = 0;
};

struct Symbol {
    bool is_label = false;
    Value value;
    int line = 0;
};

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string hex2(std::int64_t v) {
    return printf_text("0x%02llX", static_cast<long long>(v));
}

class Assembler {
public:
    Assembly run(std::string_view source) {
        const auto lines = split_lines(source);
        for (std::size_t i = 0; i < lines.size(); ++i)
            parse_line(lines[i], static_cast<int>(i) + 1);
        for (std::size_t i = 0; i < statements_.size(); ++i)
            encode(statements_[i], out_.statements[i]);
        std::stable_sort(out_.diagnostics.begin(), out_.diagnostics.end(),
                         [](const Diagnostic& a, const Diagnostic& b) {
                             return a.line != b.line ? a.line < b.line : a.column < b.column;
                         });
        out_.symbols.sort();
        return std::move(out_);
    }

private:
    Assembly out_;
    std::vector<Statement> statements_;
    std::map<std::string, Symbol> symbols_;  // by lower-case name
    int location_ = 0;
    bool overflow_reported_ = false;
    int term_end_ = 0;  // the column past the last term parsed

    void error(int line, int column, std::string message) {
        out_.diagnostics.push_back({line, column, std::move(message), false});
    }
    void error(const Diagnostic& d) { out_.diagnostics.push_back(d); }
    void warning(int line, int column, std::string message) {
        out_.diagnostics.push_back({line, column, std::move(message), true});
    }

    // --- first pass: statements, labels, addresses ---

    void parse_line(std::string_view text, int line) {
        LineScanner scan(text, line);
        while (!scan.at_end()) {
            const int column = scan.column();
            const std::string_view name = scan.identifier();
            if (name.empty()) {
                error(scan.error_here("expected a label, an instruction or a directive, found " +
                                      in_quotes(scan.token_for_message())));
                return;
            }
            if (scan.accept(':')) {
                define(name, column, line, true, Value{location_, false});
                continue;
            }
            if (name[0] == '.') {
                directive(name, column, scan);
            } else if (is_mnemonic(name)) {
                Statement s;
                s.kind = Statement::instruction;
                s.line = line;
                s.column = column;
                s.mnemonic = upper(name);
                if (parse_operands(scan, s.operands)) {
                    s.end = s.operands.empty() ? column + static_cast<int>(name.size())
                                               : s.operands.back().end;
                    place(s);
                }
            } else {
                error(line, column,
                      "unknown instruction " + in_quotes(name) +
                          " (expected ADD, ADDI, JZ, MOVE or a directive; a label needs a ':')");
            }
            return;
        }
    }

    void directive(std::string_view name, int column, LineScanner& scan) {
        const int line = scan.line();
        const std::string d = lower(name);
        if (d == ".org") {
            std::vector<Operand> ops;
            if (!parse_operands(scan, ops)) return;
            if (ops.size() != 1 || ops[0].kind != Operand::value) {
                error(line, column, ".org takes one address, 0..255");
                return;
            }
            const auto v = evaluate_now(ops[0], line);
            if (!v) return;
            if (v->too_large || v->value < 0 || v->value > 255) {
                out_of_range(line, ops[0], ".org address", *v, "0..255");
                return;
            }
            location_ = static_cast<int>(v->value);
        } else if (d == ".word") {
            Statement s;
            s.kind = Statement::word;
            s.line = line;
            s.column = column;
            std::vector<Operand> ops;
            if (!parse_operands(scan, ops)) return;
            if (ops.empty()) {
                error(line, column, ".word takes one or more values, 0..0xFFFFFF");
                return;
            }
            for (Operand& op : ops) {
                s.operands = {op};
                s.column = op.column;
                s.end = op.end;
                place(s);
            }
        } else if (d == ".equ") {
            const int name_column = scan.column();
            const std::string_view symbol = scan.identifier();
            if (symbol.empty()) {
                error(scan.error_here("expected a name after .equ"));
                return;
            }
            if (!scan.accept(',')) {
                error(scan.error_here("expected ',' and a value after the name"));
                return;
            }
            std::vector<Operand> ops;
            if (!parse_operands(scan, ops)) return;
            if (ops.size() != 1 || ops[0].kind != Operand::value) {
                error(line, name_column, ".equ takes a name and one value");
                return;
            }
            const auto v = evaluate_now(ops[0], line);
            if (v) define(symbol, name_column, line, false, *v);
        } else {
            error(line, column,
                  "unknown directive " + in_quotes(name) + " (expected .org, .word or .equ)");
        }
    }

    void define(std::string_view name, int column, int line, bool is_label, Value value) {
        if (register_number(name)) {
            error(line, column, in_quotes(name) + " is a register name, not a label");
            return;
        }
        if (is_reserved_name(name)) {
            error(line, column, in_quotes(name) + " cannot be a name");
            return;
        }
        const std::string key = lower(name);
        const auto found = symbols_.find(key);
        if (found != symbols_.end()) {
            error(line, column,
                  in_quotes(name) + " is already defined on line " +
                      std::to_string(found->second.line));
            return;
        }
        symbols_[key] = Symbol{is_label, value, line};
        out_.names.push_back({line, column, column + static_cast<int>(name.size()), key, true,
                              is_label, false, value.value});
        // A constant past 64 bits is an error wherever it is used; it has no value to list.
        if (!value.too_large) out_.symbols.add({std::string(name), value.value, is_label});
    }

    // Gives the statement the next address, if there is one left.
    void place(Statement s) {
        if (location_ > 255) {
            if (!overflow_reported_)
                error(s.line, s.column,
                      "the program does not fit: this word would go at 0x100, past the last "
                      "ROM address 0xFF");
            overflow_reported_ = true;
            return;
        }
        if (out_.word_lines[location_] != 0) {
            error(s.line, s.column,
                  "address " + hex2(location_) + " already holds the word from line " +
                      std::to_string(out_.word_lines[location_]) + " (overlapping .org)");
        } else {
            out_.word_lines[location_] = s.line;
            s.address = location_;
            out_.statements.push_back(
                {s.line, s.column, s.end, s.address, s.kind == Statement::word, -1});
            statements_.push_back(std::move(s));
            out_.words++;
            out_.placed[location_] = true;
        }
        location_++;
    }

    // Operands separated by commas, up to the end of the line.
    bool parse_operands(LineScanner& scan, std::vector<Operand>& ops) {
        if (scan.at_end()) return true;
        do {
            Operand op;
            if (!parse_operand(scan, op)) return false;
            ops.push_back(std::move(op));
        } while (scan.accept(','));
        if (!scan.at_end()) {
            error(scan.error_here("expected ',' or the end of the line, found " +
                                  in_quotes(scan.token_for_message())));
            return false;
        }
        return true;
    }

    bool parse_operand(LineScanner& scan, Operand& op) {
        scan.skip_spaces();
        op.column = scan.column();
        if (scan.accept('[')) {
            op.kind = Operand::mem;
            const int inside = scan.column();
            if (!parse_terms(scan, op.terms)) return false;
            op.text = std::string(scan.text_since(inside));
            if (!scan.accept(']')) {
                error(scan.error_here("expected ']' after the RAM address"));
                return false;
            }
            op.end = scan.column();
            return true;
        }
        if (is_identifier_start(scan.peek())) {
            LineScanner look = scan;
            const std::string_view name = look.identifier();
            if (const auto r = register_number(name)) {
                scan = look;
                op.kind = Operand::reg;
                op.reg_number = *r;
                op.end = scan.column();
                return true;
            }
        }
        op.kind = Operand::value;
        if (!parse_terms(scan, op.terms)) return false;
        op.text = std::string(scan.text_since(op.column));
        op.end = term_end_;
        return true;
    }

    // term {('+'|'-') term}, where term is ['-'] number | name | '@' name.
    bool parse_terms(LineScanner& scan, std::vector<Term>& terms) {
        bool negative = false;
        if (scan.accept('-')) negative = true;
        for (;;) {
            Term t;
            t.negative = negative;
            scan.skip_spaces();
            t.column = scan.column();
            if (scan.at_number()) {
                std::string problem;
                const auto n = scan.literal(problem);
                if (!n) {
                    error(scan.line(), t.column, problem);
                    return false;
                }
                t.kind = Term::number;
                t.value = n->value;
                t.too_large = n->too_large;
                out_.numbers.push_back(
                    {scan.line(), t.column, scan.column(), n->value, n->too_large});
                term_end_ = scan.column();
            } else {
                const bool raw = scan.accept('@');
                const std::string_view name = scan.identifier();
                if (name.empty()) {
                    const std::string_view found = scan.token_for_message();
                    error(scan.error_here(found.empty()
                                              ? "expected an operand"
                                              : "expected an operand, found " + in_quotes(found)));
                    return false;
                }
                if (register_number(name)) {
                    error(scan.line(), t.column,
                          "a register cannot be part of an address or a value");
                    return false;
                }
                t.kind = raw ? Term::raw_label : Term::name;
                t.text = std::string(name);
                const int name_column = scan.column() - static_cast<int>(name.size());
                out_.names.push_back(
                    {scan.line(), name_column, scan.column(), lower(name), false, false, raw, 0});
                term_end_ = scan.column();
            }
            terms.push_back(std::move(t));
            if (scan.accept('+'))
                negative = false;
            else if (scan.accept('-'))
                negative = true;
            else
                return true;
        }
    }

    // The value of an operand made of names defined so far and numbers (for .org, .equ).
    std::optional<Value> evaluate_now(const Operand& op, int line) {
        bool uses_label = false;
        return evaluate(op, line, uses_label, true);
    }

    std::optional<Value> evaluate(const Operand& op, int line, bool& uses_label,
                                  bool defined_above_only = false) {
        Value sum;
        for (const Term& t : op.terms) {
            Value v{t.value, t.too_large};
            if (t.kind != Term::number) {
                const auto found = symbols_.find(lower(t.text));
                if (found == symbols_.end()) {
                    error(line, t.column,
                          defined_above_only ? in_quotes(t.text) + " is not defined above this line"
                                             : "undefined name " + in_quotes(t.text));
                    return std::nullopt;
                }
                if (t.kind == Term::raw_label && !found->second.is_label) {
                    error(line, t.column,
                          "'@' goes only before a label, and " + in_quotes(t.text) +
                              " is a constant");
                    return std::nullopt;
                }
                if (t.kind == Term::name && found->second.is_label) uses_label = true;
                v = found->second.value;
            }
            // Every step is checked: a sum that leaves 64 bits stays out of range however
            // the later terms would bring it back.
            sum.too_large = sum.too_large || v.too_large ||
                            (t.negative ? __builtin_sub_overflow(sum.value, v.value, &sum.value)
                                        : __builtin_add_overflow(sum.value, v.value, &sum.value));
        }
        return sum;
    }

    // "immediate 300 is out of range (-128..255)"; a value past 64 bits is shown as typed.
    void out_of_range(int line, const Operand& op, const std::string& what, const Value& v,
                      const std::string& range) {
        const std::string shown =
            v.too_large ? quote_for_message(op.text) : std::to_string(v.value);
        error(line, op.column, what + " " + shown + " is out of range (" + range + ")");
    }

    // --- second pass: operands to words ---

    std::optional<std::uint32_t> value_in(const Operand& op, int line, std::int64_t lo,
                                          std::int64_t hi, const char* what) {
        bool uses_label = false;
        const auto v = evaluate(op, line, uses_label);
        if (!v) return std::nullopt;
        if (v->too_large || v->value < lo || v->value > hi) {
            out_of_range(line, op, what, *v,
                         (lo < 0 ? std::to_string(lo) : hex2(lo)) + ".." + hex2(hi));
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(v->value & 0xFFFFFF);
    }

    bool expect_count(const Statement& s, std::size_t count, const char* form) {
        if (s.operands.size() == count) return true;
        error(s.line, s.column,
              s.mnemonic + " takes " + std::to_string(count) + " operand" +
                  (count == 1 ? "" : "s") + ": " + s.mnemonic + " " + form);
        return false;
    }

    bool expect_register(const Statement& s, std::size_t i, unsigned& out) {
        const Operand& op = s.operands[i];
        if (op.kind == Operand::reg) {
            out = op.reg_number;
            return true;
        }
        if (op.kind == Operand::value && op.terms.size() == 1 && op.terms[0].kind == Term::name &&
            (op.terms[0].text[0] == 'r' || op.terms[0].text[0] == 'R')) {
            error(s.line, op.column,
                  "unknown register " + in_quotes(op.terms[0].text) +
                      " (the registers are r0..r9 and ra..rf)");
            return false;
        }
        error(s.line, op.column,
              "expected a register (r0..rf) as operand " + std::to_string(i + 1) + " of " +
                  s.mnemonic);
        return false;
    }

    void encode(const Statement& s, PlacedStatement& placed) {
        if (s.kind == Statement::word) {
            if (const auto v = value_in(s.operands[0], s.line, 0, 0xFFFFFF, "word"))
                out_.rom[s.address] = *v;
            return;
        }

        Instruction in;
        bool ok = true;
        if (s.mnemonic == "ADD") {
            if (!expect_count(s, 3, "rd, rl, rr")) return;
            in.opcode = op_add;
            ok = expect_register(s, 0, in.dst) & expect_register(s, 1, in.lhs) &
                 expect_register(s, 2, in.rhs);
        } else if (s.mnemonic == "ADDI") {
            if (!expect_count(s, 3, "rd, rl, imm")) return;
            in.opcode = op_addi;
            ok = expect_register(s, 0, in.dst) & expect_register(s, 1, in.lhs);
            const Operand& imm = s.operands[2];
            if (imm.kind != Operand::value) {
                error(s.line, imm.column,
                      "expected an immediate value (-128..255) as operand 3 of ADDI");
                return;
            }
            const auto v = value_in(imm, s.line, -128, 255, "immediate");
            if (!v) return;
            in.imm = *v & 0xFF;
        } else if (s.mnemonic == "JZ") {
            if (!expect_count(s, 1, "label (or a raw address)")) return;
            const Operand& target = s.operands[0];
            if (target.kind != Operand::value) {
                error(s.line, target.column,
                      "JZ takes a label or an address, not a register or [cell]");
                return;
            }
            bool to_label = false;
            const auto v = evaluate(target, s.line, to_label);
            if (!v) return;
            if (v->too_large || v->value < 0 || v->value > 255) {
                out_of_range(s.line, target, "jump target", *v, "0x00..0xFF");
                return;
            }
            // A taken JZ sets pc to its operand and the word after it executes next, so a
            // jump to a label stores the address just before the label.
            const std::int64_t operand = to_label ? v->value - 1 : v->value;
            if (to_label && (operand & 0xFF) == (s.address & 0xFF))
                warning(s.line, target.column,
                        "JZ to the next word is a halting JZ (its operand is its own address): it "
                        "stops here when z is set; the next word follows anyway, so leave the JZ "
                        "out to go on there (JZ @label halts on purpose)");
            in.opcode = op_jz;
            in.imm = static_cast<std::uint32_t>(operand & 0xFF);
            placed.jz_operand = static_cast<int>(in.imm);
        } else {  // MOVE
            if (!expect_count(s, 2, "destination, source (a register or a [RAM address])")) return;
            const Operand& dst = s.operands[0];
            const Operand& src = s.operands[1];
            for (const Operand* op : {&dst, &src}) {
                if (op->kind == Operand::value) {
                    error(s.line, op->column,
                          "MOVE copies between registers and RAM cells: expected a register or "
                          "a [RAM address] (to load a constant, use ADDI)");
                    return;
                }
            }
            const bool to_mem = dst.kind == Operand::mem;
            const bool from_mem = src.kind == Operand::mem;
            in.opcode = op_move +
                        (to_mem ? (from_mem ? kind_mm : kind_mr) : (from_mem ? kind_rm : kind_rr));
            if (to_mem) {
                const auto a = value_in(dst, s.line, 0, 255, "RAM address");
                if (!a) return;
                in.daddr = *a;
            } else {
                in.dst = dst.reg_number;
                if (in.dst == 0)
                    warning(s.line, dst.column, "MOVE never writes r0: this word does nothing");
            }
            if (from_mem) {
                const auto a = value_in(src, s.line, 0, 255, "RAM address");
                if (!a) return;
                in.imm = *a;
            } else {
                in.rhs = src.reg_number;
            }
        }
        if (ok) out_.rom[s.address] = encode_word(in);
    }
};

}  // namespace

Assembly assemble(std::string_view source) {
    return Assembler().run(source);
}
