#include "text/source_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

std::vector<std::string_view> split_lines(std::string_view text) {
    constexpr std::string_view utf8_bom = "\xEF\xBB\xBF";
    if (text.substr(0, utf8_bom.size()) == utf8_bom) text.remove_prefix(utf8_bom.size());
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

namespace {

// Does every unit of `width` bytes among the first ones hold its character in the byte
// at `at` and zeros in the others, as ASCII text does in UTF-16 or UTF-32?
bool zeros_beside_each_character(std::string_view bytes, std::size_t width, std::size_t at) {
    const std::size_t units = std::min<std::size_t>(bytes.size() / width, 64);
    if (units < 2 || bytes.size() % width != 0) return false;
    for (std::size_t u = 0; u < units; ++u)
        for (std::size_t k = 0; k < width; ++k) {
            const auto c = static_cast<unsigned char>(bytes[u * width + k]);
            if (k == at ? c == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') : c != 0)
                return false;
        }
    return true;
}

}  // namespace

const char* wide_text_encoding(std::string_view bytes) {
    const auto starts = [bytes](std::string_view mark) {
        return bytes.substr(0, mark.size()) == mark;
    };
    using namespace std::string_view_literals;
    if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv)) return "UTF-32";
    if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv)) return "UTF-16";
    if (zeros_beside_each_character(bytes, 4, 0) || zeros_beside_each_character(bytes, 4, 3))
        return "UTF-32";
    if (zeros_beside_each_character(bytes, 2, 0) || zeros_beside_each_character(bytes, 2, 1))
        return "UTF-16";
    return nullptr;
}

std::string wide_text_message(const char* encoding) {
    return std::string(encoding) + " text: save it as UTF-8";
}

bool is_identifier_start(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

bool is_identifier_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int number_base(std::string_view text, std::size_t& prefix) {
    prefix = 0;
    if (text.size() < 2 || text[0] != '0') return 10;
    const char p = static_cast<char>(std::tolower(static_cast<unsigned char>(text[1])));
    if (p != 'x' && p != 'b') return 10;
    prefix = 2;
    return p == 'x' ? 16 : 2;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_line_space(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim_spaces(std::string_view s) {
    while (!s.empty() && is_line_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_line_space(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<std::uint64_t> digits_value(std::string_view digits, int base) {
    if (digits.empty()) return std::nullopt;
    const auto b = static_cast<std::uint64_t>(base);
    std::uint64_t value = 0;
    for (const char c : digits) {
        const int d = hex_digit(c);
        if (d < 0 || d >= base) return std::nullopt;
        if (value > (UINT64_MAX - static_cast<std::uint64_t>(d)) / b) return std::nullopt;
        value = value * b + static_cast<std::uint64_t>(d);
    }
    return value;
}
std::optional<std::uint64_t> parse_cli_number(const std::string& text, std::uint64_t lo,
                                              std::uint64_t hi) {
    std::size_t prefix = 0;
    const int base = number_base(text, prefix);
    const auto value = digits_value(std::string_view(text).substr(prefix), base);
    if (!value || *value < lo || *value > hi) return std::nullopt;
    return value;
}

void LineScanner::skip_spaces() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
}

bool LineScanner::at_end() {
    skip_spaces();
    return pos_ >= text_.size() || text_[pos_] == ';' || text_[pos_] == '#';
}

bool LineScanner::accept(char c) {
    skip_spaces();
    if (peek() != c) return false;
    ++pos_;
    return true;
}

bool LineScanner::accept(std::string_view s) {
    skip_spaces();
    if (text_.substr(pos_, s.size()) != s) return false;
    pos_ += s.size();
    return true;
}

std::string_view LineScanner::identifier() {
    skip_spaces();
    if (!is_identifier_start(peek())) return {};
    const std::size_t start = pos_;
    while (pos_ < text_.size() && is_identifier_char(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
}

std::string_view LineScanner::token_for_message() {
    skip_spaces();
    std::size_t end = pos_;
    while (end < text_.size() &&
           std::string_view(" \t,[];#").find(text_[end]) == std::string_view::npos)
        ++end;
    if (end == pos_ && end < text_.size()) ++end;  // a lone punctuation character
    return text_.substr(pos_, end - pos_);
}

bool LineScanner::at_number() const {
    const char c = peek();
    return std::isdigit(static_cast<unsigned char>(c)) || c == '\'';
}

std::optional<std::int64_t> LineScanner::number(std::string& error) {
    const auto n = literal(error);
    if (!n) return std::nullopt;
    if (n->too_large) {
        error = "number " + quote_for_message(n->typed) + " is out of range (past 64 bits)";
        return std::nullopt;
    }
    return n->value;
}

std::optional<std::uint64_t> LineScanner::number_in(std::uint64_t lo, std::uint64_t hi,
                                                    std::string_view what,
                                                    std::vector<Diagnostic>& out) {
    skip_spaces();
    const int at = column();
    if (!at_number()) {
        const std::string_view found = token_for_message();
        std::string message = "expected " + std::string(what);
        if (!found.empty()) message += ", found " + in_quotes(found);
        out.push_back(error_at(at, std::move(message)));
        return std::nullopt;
    }
    std::string problem;
    const auto n = literal(problem);
    if (!n) {
        out.push_back(error_at(at, problem));
        return std::nullopt;
    }
    const auto v = static_cast<std::uint64_t>(n->value);
    if (n->too_large || n->value < 0 || v < lo || v > hi) {
        out.push_back(error_at(
            at, "value " + (n->too_large ? quote_for_message(n->typed) : std::to_string(v)) +
                    " is out of range (" + std::to_string(lo) + ".." + std::to_string(hi) + ")"));
        return std::nullopt;
    }
    return v;
}

std::optional<LineScanner::Literal> LineScanner::literal(std::string& error) {
    skip_spaces();
    const std::size_t typed = pos_;
    if (peek() == '\'') {
        ++pos_;
        char c = peek();
        if (c == '\0' || c == '\'') {
            error = "expected a character between the quotes";
            return std::nullopt;
        }
        ++pos_;
        if (c == '\\') {
            const char e = peek();
            ++pos_;
            switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case '0': c = '\0'; break;
                case '\\': c = '\\'; break;
                case '\'': c = '\''; break;
                case '"': c = '"'; break;
                default:
                    error = "unknown escape in a character literal (use \\n \\t \\0 \\\\ \\' \\\")";
                    return std::nullopt;
            }
        }
        if (peek() != '\'') {
            error = "expected a closing quote after one character";
            return std::nullopt;
        }
        ++pos_;
        return Literal{static_cast<unsigned char>(c), false, text_.substr(typed, pos_ - typed)};
    }

    std::size_t prefix = 0;
    const int base = number_base(text_.substr(pos_), prefix);
    pos_ += prefix;
    const std::size_t start = pos_;
    while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) {
        const int d = hex_digit(text_[pos_]);
        if (d < 0 || d >= base) {
            error = "'" + quote_for_message(text_.substr(pos_, 1)) + "' is not a digit of a " +
                    (base == 16  ? "hex"
                     : base == 2 ? "binary"
                                 : "decimal") +
                    " number";
            return std::nullopt;
        }
        ++pos_;
    }
    if (pos_ == start) {
        error = base == 16 ? "expected hex digits after 0x" : "expected binary digits after 0b";
        return std::nullopt;
    }
    const auto value = digits_value(text_.substr(start, pos_ - start), base);
    Literal n;
    n.typed = text_.substr(typed, pos_ - typed);
    n.too_large = !value || *value > static_cast<std::uint64_t>(INT64_MAX);
    if (!n.too_large) n.value = static_cast<std::int64_t>(*value);
    return n;
}
