#include "grading/suite_keywords.h"

#include <algorithm>

#include "grading/suite_parser.h"
#include "text/source_text.h"

const char* scope_name(KeywordScope scope) {
    switch (scope) {
        case KeywordScope::file: return "file";
        case KeywordScope::case_only: return "case";
        case KeywordScope::both: return "both";
    }
    return "both";
}

const std::vector<SuiteKeyword>& suite_keywords() {
    using S = KeywordScope;
    using P = SuiteParser;
    static const std::vector<SuiteKeyword> table = {
        {"case", S::both, nullptr, &P::case_line,
         "case NAME: starts a case, which runs to the next 'case' line"},
        {"limit", S::both, "'limit'", &P::limit,
         "limit N: the step limit of every case, or of this case (default 100000)"},
        {"registers", S::both, "'registers'", &P::registers,
         "registers zero | random [seed N]: r1..rf at start, zeros or drawn from the seed"},
        {"set", S::both, nullptr, &P::set,
         "set r3 = 5, set [0x00..0x01] = 6, 7: registers, z, pc or RAM cells at start"},
        {"unchanged", S::both, nullptr, &P::unchanged,
         "unchanged [first..last]: cells every case, or this case, must leave as they were"},
        {"max", S::file, "'max words'", &P::max, "max words N: the program places at most N words"},
        {"forbid", S::file, nullptr, &P::forbid,
         "forbid MOVE MM, ADD: instructions the program may not hold"},
        {"model", S::file, "'model'", &P::model,
         "model FILE: the teacher's solution, which must pass every case"},
        {"ram", S::both, "'ram'", &P::ram,
         "ram FILE | random [seed N]: a RAM image (in a case), or every cell the case does not "
         "set drawn from the seed and the case's name"},
        {"never", S::both, nullptr, &P::never,
         "never writes [first..last] | rN, never reads [first..last]: what a run may not do "
         "at all, even for a step"},
        {"feedback", S::both, "'feedback'", &P::feedback,
         "feedback full | brief | score: how much a failed case tells (brief: which cases "
         "failed and their hints; score: the points only)"},
        {"expect", S::case_only, nullptr, &P::expect,
         "expect r2 = 0, expect [0x02] = 42: the end state, as in --expect files"},
        {"compare", S::case_only, nullptr, &P::compare,
         "compare [0x02], r2: expected as the model ends the same case"},
        {"steps", S::case_only, nullptr, &P::steps,
         "steps <= 80, steps > 2 * model: a bound on the steps taken (<, <=, ==, >=, >)"},
        {"points", S::case_only, "'points'", &P::points, "points N: the case's weight (default 1)"},
        {"partial", S::case_only, "'partial'", &P::partial,
         "partial: points per expectation line met, rounded down"},
        {"hint", S::case_only, "'hint'", &P::hint,
         "hint \"TEXT\": shown with the case's failure, unless the case is hidden"},
        {"visible", S::case_only, "the case's visibility", &P::visibility,
         "visible: the student sees the case (the default)"},
        {"hidden", S::case_only, "the case's visibility", &P::visibility,
         "hidden: the student sees only the case's verdict and points"},
        {"after_due_date", S::case_only, "the case's visibility", &P::visibility,
         "after_due_date: shown on a grading platform once the due date has passed"},
        {"after_published", S::case_only, "the case's visibility", &P::visibility,
         "after_published: shown on a grading platform once the grades are published"},
        {"until", S::case_only, "'until'", &P::until,
         "until halt | limit: the run must halt (the default) or reach its step limit"},
        {"generate", S::case_only, "'generate'", &P::generate,
         "generate N [seed S]: [0x00] in 0..15: N cases, the cells drawn for each"},
    };
    return table;
}

const SuiteKeyword* find_suite_keyword(std::string_view word) {
    const std::string lowered = lower(word);
    for (const SuiteKeyword& k : suite_keywords())
        if (lowered == k.name) return &k;
    return nullptr;
}

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

std::string nearest_suite_keyword(std::string_view word) {
    const std::string lowered = lower(word);
    std::string best;
    std::size_t best_distance = 0;
    for (const SuiteKeyword& k : suite_keywords()) {
        const std::string_view name = k.name;
        // One slip in a short word, two in a longer one; never most of the word.
        const std::size_t allowed = name.size() <= 4 ? 1 : 2;
        const std::size_t longer = std::max(name.size(), lowered.size());
        if (longer - std::min(name.size(), lowered.size()) > allowed) continue;
        const std::size_t d = edit_distance(lowered, name);
        if (d > allowed || 2 * d >= lowered.size()) continue;
        if (best.empty() || d < best_distance) best = name, best_distance = d;
    }
    return best;
}

std::string suite_keywords_help() {
    std::string text =
        "Suite keywords, in either case (file: before the first case; once: at most once in "
        "the file or the case):\n";
    for (const SuiteKeyword& k : suite_keywords()) {
        std::string row = "  ";
        row += k.name;
        row.resize(19, ' ');
        row += scope_name(k.scope);
        row.resize(25, ' ');
        row += k.once != nullptr ? "once  " : "      ";
        text += row + k.summary + "\n";
    }
    return text;
}
