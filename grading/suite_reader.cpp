// Reading a suite line by line: each line's keyword looked up in the table, checked for
// where it stands and how often it is said, then handed to its handler.
#include "grading/suite_keywords.h"
#include "grading/suite_parser.h"
#include "text/message.h"

// A line: its keyword, looked up in the table, checked for where it stands and how often
// it is said, then handed the rest of the line.
void SuiteParser::line(std::string_view text, int number) {
    LineScanner scan(text, number);
    if (scan.at_end() || cases_refused_) return;
    const int column = scan.column();
    const std::string_view word = scan.identifier();
    const SuiteKeyword* keyword = find_suite_keyword(word);
    if (keyword == nullptr) {
        if (word.empty()) {
            error(scan, column,
                  "expected a keyword, found " + in_quotes(scan.token_for_message()) +
                      " (see 'isa4 test --help')");
            return;
        }
        const std::string nearest = nearest_suite_keyword(word);
        error(scan, column,
              "unknown keyword " + in_quotes(lower(word)) +
                  (nearest.empty() ? " (see 'isa4 test --help')"
                                   : " (did you mean '" + nearest + "'?)"));
        return;
    }
    const std::string name = keyword->name;
    if (keyword->scope == KeywordScope::file && in_case_) {
        error(scan, column,
              "'" + name + "' holds for the whole program: put it before the first case");
        return;
    }
    if (keyword->scope == KeywordScope::case_only && !in_case_) {
        error(scan, column, "'" + name + "' belongs to a case: start one with 'case NAME' first");
        return;
    }
    KeywordLine l{text, scan, column, *keyword};
    const std::size_t errors_before = suite_.diagnostics.size();
    if (keyword->once != nullptr && !said_once(l)) return;
    (this->*keyword->handler)(l);
    if (suite_.diagnostics.size() == errors_before && !scan.at_end())
        error(scan, scan.column(),
              "unexpected " + in_quotes(scan.token_for_message()) + " after '" + name + "'");
}

void SuiteParser::finish() {
    close_case();
    if (suite_.cases.empty())
        suite_.diagnostics.push_back({1, 1, "the suite has no cases: add 'case NAME' lines"});
}

Suite parse_suite(std::string_view text) {
    Suite suite;
    SuiteParser parser(suite);
    const auto lines = split_lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) parser.line(lines[i], static_cast<int>(i) + 1);
    parser.finish();
    return suite;
}
