#include "formats/logisim_format.h"

#include "machine/instruction.h"
#include "text/source_text.h"

namespace {

constexpr int logisim_values_per_line = 8;
// Runs at least this long are written as "N*value", as Logisim itself writes them.
constexpr int logisim_min_run = 4;

// A hex value of a Logisim file, at most `max`; nothing when it is not one or too wide.
bool logisim_value(std::string_view digits, std::uint32_t max, std::uint32_t& value,
                   std::string& problem) {
    if (digits.empty()) {
        problem = "expected a hex value after '*'";
        return false;
    }
    std::uint64_t v = 0;
    for (char c : digits) {
        const int d = hex_digit(c);
        if (d < 0) {
            problem = shown_byte(c) + " is not a hex digit";
            return false;
        }
        v = v * 16 + static_cast<unsigned>(d);
        if (v > max) {
            problem = "value " + escape_for_message(digits.substr(0, 16)) +
                      (digits.size() > 16 ? "..." : "") + " is too wide (at most " +
                      printf_text("%x", max) + ")";
            return false;
        }
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

std::string encode_logisim(MemoryKind kind, const std::array<std::uint32_t, 256>& values) {
    std::string out(logisim_header);
    out += "\n";
    if (kind == MemoryKind::rom) {
        bool wide = false;
        for (std::uint32_t v : values) wide = wide || v > max_word;
        out += wide ? "# isa4 ROM: 256 words, one per address. Some words use bits 23..20: load "
                      "into a ROM of 8 address bits and 24 data bits.\n"
                    : "# isa4 ROM: 256 words, one per address. Load into a ROM of 8 address bits "
                      "and 20 data bits.\n";
    } else {
        out +=
            "# isa4 RAM: 256 cells, one per address. Load into a RAM or ROM of 8 address "
            "bits and 8 data bits.\n";
    }
    int on_line = 0;
    for (std::size_t k = 0; k < values.size();) {
        std::size_t end = k + 1;
        while (end < values.size() && values[end] == values[k]) ++end;
        const std::size_t run = end - k;
        if (run >= logisim_min_run) {
            out += std::to_string(run) + "*" + printf_text("%x", values[k]);
            k = end;
        } else {
            out += printf_text("%x", values[k]);
            ++k;
        }
        ++on_line;
        const bool last = k == values.size();
        out += on_line == logisim_values_per_line || last ? "\n" : " ";
        if (on_line == logisim_values_per_line) on_line = 0;
    }
    return out;
}

bool decode_logisim(std::string_view text, MemoryKind kind, ImageContent& content,
                    Diagnostic& fault) {
    std::size_t address = 0;
    int line = 0;
    for (std::string_view rest : split_lines(text)) {
        if (++line == 1) continue;  // the header, which detection has seen
        rest = rest.substr(0, rest.find('#'));
        while (!(rest = trim_spaces(rest)).empty()) {
            std::size_t token_end = 0;
            while (token_end < rest.size() && !is_line_space(rest[token_end])) ++token_end;
            const std::string_view token = rest.substr(0, token_end);
            rest.remove_prefix(token_end);

            std::uint64_t count = 1;
            std::string_view digits = token;
            if (const auto star = token.find('*'); star != std::string_view::npos) {
                count = 0;
                for (char c : token.substr(0, star)) {
                    if (c < '0' || c > '9' || count > 256) {
                        fault = Diagnostic{line, 0,
                                           in_quotes(token.substr(0, star)) +
                                               " is not a repeat count (decimal, 1 to 256)"};
                        return false;
                    }
                    count = count * 10 + static_cast<unsigned>(c - '0');
                }
                if (count == 0 || count > 256) {
                    fault = Diagnostic{line, 0, "a repeat count is 1 to 256"};
                    return false;
                }
                digits = token.substr(star + 1);
            }
            std::uint32_t value = 0;
            std::string problem;
            if (!logisim_value(digits, max_value(kind), value, problem)) {
                fault = Diagnostic{line, 0, problem};
                return false;
            }
            if (address + count > 256) {
                fault = Diagnostic{line, 0,
                                   "more than 256 values: address " + printf_text("0x%02X", 256) +
                                       " is beyond the " + memory_name(kind)};
                return false;
            }
            for (std::uint64_t i = 0; i < count; ++i) {
                content.values[address] = value;
                content.held[address] = true;
                ++address;
            }
        }
    }
    return true;
}
