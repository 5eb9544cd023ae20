#include "grading/suite_keywords.h"

#include <algorithm>

#include "grading/suite_parser.h"
#include "text/nearest.h"
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

std::string nearest_suite_keyword(std::string_view word) {
    std::vector<std::string_view> names;
    for (const SuiteKeyword& k : suite_keywords()) names.push_back(k.name);
    return nearest_name(word, names);
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
