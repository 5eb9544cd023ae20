#include "text/names.h"

#include <cctype>
#include <string>

#include "machine/instruction.h"

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::optional<unsigned> register_number(std::string_view name) {
    if (name.size() != 2 || (name[0] != 'r' && name[0] != 'R')) return std::nullopt;
    const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(name[1])));
    if (d >= '0' && d <= '9') return static_cast<unsigned>(d - '0');
    if (d >= 'a' && d <= 'f') return static_cast<unsigned>(d - 'a' + 10);
    return std::nullopt;
}

bool is_mnemonic(std::string_view name) {
    const std::string u = upper(name);
    for (const InstructionForm& form : instruction_forms)
        if (u == form.mnemonic) return true;
    return false;
}

bool is_reserved_name(std::string_view name) {
    return register_number(name) || is_mnemonic(name) || name.empty() || name[0] == '.';
}
