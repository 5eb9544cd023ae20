#include "text/nearest.h"

#include <algorithm>
#include <cctype>

namespace {

// The edits (a letter added, dropped, changed, or two swapped) from `a` to `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> before(b.size() + 1), row(b.size() + 1), now(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        now[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            now[j] = std::min({row[j] + 1, now[j - 1] + 1, row[j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                now[j] = std::min(now[j], before[j - 2] + 1);
        }
        before.swap(row);
        row.swap(now);
    }
    return row[b.size()];
}

}  // namespace

std::string nearest_name(std::string_view word, const std::vector<std::string_view>& names) {
    std::string lowered(word);
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string best;
    std::size_t best_distance = 0;
    for (const std::string_view name : names) {
        const std::size_t allowed = name.size() <= 4 ? 1 : 2;
        const std::size_t longer = std::max(name.size(), lowered.size());
        // Lengths too far apart need more edits than allowed: no table to fill.
        if (longer - std::min(name.size(), lowered.size()) > allowed) continue;
        const std::size_t d = edit_distance(lowered, name);
        if (d > allowed || 2 * d >= lowered.size()) continue;
        if (best.empty() || d < best_distance) best = std::string(name), best_distance = d;
    }
    return best;
}

std::string did_you_mean(std::string_view word, const std::vector<std::string_view>& names) {
    const std::string nearest = nearest_name(word, names);
    return nearest.empty() ? "" : " (did you mean '" + nearest + "'?)";
}
