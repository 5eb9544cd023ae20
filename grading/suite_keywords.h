// The keywords of the suite language, in one table: the parser dispatches on it, checks
// where each keyword stands and how often it is said, and words its "unknown keyword"
// message from it; `isa4 test --help` and the manual page list it.
//
// To add a keyword: a row in `suite_keywords` (grading/suite_keywords.cpp), its handler
// in `SuiteParser` (grading/suite_parser.h, written in grading/suite_case.cpp), and its
// entry in man/isa4-suite.5 (a test checks that every keyword is there).
#pragma once

#include <string>
#include <string_view>
#include <vector>

class SuiteParser;
struct KeywordLine;

// Where a keyword may stand: among the lines before the first case (the file's, which
// hold for every case), in a case, or in either.
enum class KeywordScope { file, case_only, both };

// "file", "case", "both".
const char* scope_name(KeywordScope scope);

struct SuiteKeyword {
    const char* name;  // lower case; written in either case
    KeywordScope scope;
    // Said at most once in its scope (the file, or each case): what the message calls it
    // ("'limit'", "the case's visibility"); keywords with the same `once` share the one
    // saying. nullptr when it may be said again.
    const char* once;
    void (SuiteParser::*handler)(KeywordLine& line);
    const char* summary;  // one line, for the help and the manual page
};

// Every keyword, in the order the help lists them.
const std::vector<SuiteKeyword>& suite_keywords();

// The keyword `word` names (in any case), nullptr when none.
const SuiteKeyword* find_suite_keyword(std::string_view word);

// The keyword `word` is most likely a slip of ("expct": "expect"), "" when none is close.
std::string nearest_suite_keyword(std::string_view word);

// The table as `isa4 test --help` shows it: a line per keyword.
std::string suite_keywords_help();
