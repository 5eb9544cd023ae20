#include "grading/suite_syntax.h"

#include "text/message.h"

std::string_view rest_of_line(std::string_view line, LineScanner& scan) {
    scan.skip_spaces();
    std::string_view rest = line.substr(static_cast<std::size_t>(scan.column() - 1));
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if ((rest[i] == ';' || rest[i] == '#') &&
            (i == 0 || rest[i - 1] == ' ' || rest[i - 1] == '\t')) {
            rest = rest.substr(0, i);
            break;
        }
    }
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    scan.accept(rest);
    return rest;
}

std::optional<std::uint64_t> read_count(LineScanner& scan, std::uint64_t lo, std::uint64_t hi,
                                        std::vector<Diagnostic>& out) {
    return scan.number_in(lo, hi, "a number", out);
}

bool read_cell_span(LineScanner& scan, unsigned& first, unsigned& last,
                    std::vector<Diagnostic>& out) {
    const auto from = read_count(scan, 0, 255, out);
    if (!from) return false;
    std::optional<std::uint64_t> to = from;
    if (scan.accept("..")) to = read_count(scan, *from, 255, out);
    if (!to) return false;
    if (!scan.accept(']')) {
        out.push_back(scan.error_here("expected ']' (or '..' and the last address)"));
        return false;
    }
    first = static_cast<unsigned>(*from);
    last = static_cast<unsigned>(*to);
    return true;
}

bool read_step_bound(LineScanner& scan, StepBound& bound, int& value_column,
                     std::vector<Diagnostic>& out) {
    bound.line = scan.line();
    scan.skip_spaces();
    bound.column = scan.column();
    if (scan.accept("<="))
        bound.compare = StepBound::at_most;
    else if (scan.accept(">="))
        bound.compare = StepBound::at_least;
    else if (scan.accept("=="))
        bound.compare = StepBound::equal;
    else if (scan.accept('<'))
        bound.compare = StepBound::less;
    else if (scan.accept('>'))
        bound.compare = StepBound::more;
    else {
        out.push_back(
            scan.error_at(bound.column, "expected <, <=, ==, >= or > and a number of steps"));
        return false;
    }
    scan.skip_spaces();
    const int at = value_column = scan.column();
    LineScanner look = scan;
    if (lower(look.identifier()) == "model") {
        scan = look;
        bound.model_factor = 1;
        return true;
    }
    const auto n = read_count(scan, 0, max_step_limit, out);
    if (!n) return false;
    scan.skip_spaces();
    if (!scan.accept('*')) {
        bound.steps = *n;
        return true;
    }
    scan.skip_spaces();
    const int model_column = scan.column();
    if (lower(scan.identifier()) != "model") {
        out.push_back(
            scan.error_at(model_column, "expected 'model' after '*', as in 'steps <= 2 * model'"));
        return false;
    }
    if (*n < 1 || *n > max_model_factor) {
        out.push_back(scan.error_at(at, "the factor of 'model' is 1.." +
                                            std::to_string(max_model_factor) + ", not " +
                                            std::to_string(*n)));
        return false;
    }
    bound.model_factor = static_cast<unsigned>(*n);
    return true;
}

std::optional<std::string> read_quoted_hint(LineScanner& scan, std::vector<Diagnostic>& out) {
    scan.skip_spaces();
    const int column = scan.column();
    if (scan.peek() != '"') {
        out.push_back(scan.error_at(column, "expected the hint in double quotes: hint \"...\""));
        return std::nullopt;
    }
    std::string text;
    std::size_t k = 1;
    for (;; ++k) {
        const char c = scan.peek_at(k);
        if (c == '\0') {
            out.push_back(scan.error_at(column, "the hint has no closing quote"));
            return std::nullopt;
        }
        if (c == '"') break;
        if (c == '\\' && (scan.peek_at(k + 1) == '"' || scan.peek_at(k + 1) == '\\')) ++k;
        if (static_cast<unsigned char>(scan.peek_at(k)) < 0x20 || scan.peek_at(k) == 0x7F) {
            out.push_back(scan.error_at(column, "a hint holds no control characters"));
            return std::nullopt;
        }
        text += scan.peek_at(k);
    }
    std::string typed;
    for (std::size_t i = 0; i <= k; ++i) typed += scan.peek_at(i);
    scan.accept(typed);
    if (text.empty() || text.size() > max_hint_size) {
        out.push_back(scan.error_at(
            column, text.empty()
                        ? std::string("the hint is empty")
                        : "a hint is at most " + std::to_string(max_hint_size) + " characters"));
        return std::nullopt;
    }
    return text;
}

std::string start_name(StateEntry::Target target, unsigned index) {
    if (target == StateEntry::pc) return "pc";
    if (target == StateEntry::z) return "z";
    return std::string("r") + "0123456789abcdef"[index & 0xF];
}
