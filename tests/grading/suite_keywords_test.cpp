// The suite language's keyword table: every keyword stands only where the table says, is
// said at most once where it says so, is near enough to the slips it should be suggested
// for, and is documented in the suite language's manual page.
#include "grading/suite_keywords.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "grading/grader.h"
#include "grading/suite.h"
#include "tests/scratch_dir.h"

namespace {

std::string first_error(const Suite& suite) {
    if (suite.ok()) return "no error";
    const Diagnostic& d = suite.diagnostics.front();
    return std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message;
}

// A line that reads without mistakes for each keyword, in a suite that names a model.
std::string sample_line(const std::string& keyword) {
    static const std::map<std::string, std::string> samples = {
        {"case", "case x\n  expect r2 = 0"},
        {"limit", "limit 50"},
        {"registers", "registers random seed 3"},
        {"set", "set r3 = 5"},
        {"unchanged", "unchanged [0x20..0x2F]"},
        {"max", "max words 12"},
        {"forbid", "forbid MOVE MM"},
        {"model", "model m.s"},
        {"ram", "ram random seed 4"},
        {"never", "never writes [0x20..0x2F]"},
        {"feedback", "feedback brief"},
        {"expect", "expect r4 = 1"},
        {"compare", "compare [0x02], r2"},
        {"steps", "steps <= 40"},
        {"points", "points 2"},
        {"partial", "partial"},
        {"hint", "hint \"y can be 0\""},
        {"visible", "visible"},
        {"hidden", "hidden"},
        {"after_due_date", "after_due_date"},
        {"after_published", "after_published"},
        {"until", "until halt"},
        {"generate", "generate 3: [0x00] in 0..9"},
    };
    const auto found = samples.find(keyword);
    return found == samples.end() ? "" : found->second;
}

TEST(SuiteKeywords, EveryKeywordReadsAndStandsOnlyWhereTheTableSays) {
    for (const SuiteKeyword& k : suite_keywords()) {
        const std::string line = sample_line(k.name);
        ASSERT_FALSE(line.empty()) << "give '" << k.name << "' a sample line in this test";
        EXPECT_EQ(find_suite_keyword(k.name), &k);
        ASSERT_NE(k.handler, nullptr) << k.name;
        const std::string head = k.name == std::string("model") ? "" : "model m.s\n";
        const std::string in_file = head + line + "\ncase a\n  expect r1 = 1\n";
        const std::string in_case = head + "case a\n  expect r1 = 1\n  " + line + "\n";
        const int file_line = head.empty() ? 1 : 2;
        const std::string wrong_place = k.scope == KeywordScope::file        ? in_case
                                        : k.scope == KeywordScope::case_only ? in_file
                                                                             : "";
        if (!wrong_place.empty()) {
            const std::string why = k.scope == KeywordScope::file ? "' holds for the whole program"
                                                                  : "' belongs to a case";
            EXPECT_NE(first_error(parse_suite(wrong_place)).find(why), std::string::npos)
                << wrong_place;
        }
        const std::string right_place = k.scope == KeywordScope::file ? in_file : in_case;
        EXPECT_EQ(first_error(parse_suite(right_place)), "no error") << right_place;
        if (k.once == nullptr) continue;
        // Said twice where it may stand.
        const std::string twice =
            k.scope == KeywordScope::file
                ? head + line + "\n" + line + "\ncase a\n  expect r1 = 1\n"
                : head + "case a\n  expect r1 = 1\n  " + line + "\n  " + line + "\n";
        const int second = k.scope == KeywordScope::file ? file_line + 1 : file_line + 3;
        EXPECT_EQ(first_error(parse_suite(twice)),
                  std::to_string(second) + ":" + (k.scope == KeywordScope::file ? "1" : "3") +
                      ": " + k.once + " is already given on line " + std::to_string(second - 1))
            << twice;
    }
}

TEST(SuiteKeywords, AnUnknownKeywordNamesTheNearestOne) {
    const struct {
        const char* typed;
        const char* nearest;
    } slips[] = {
        {"expct", "expect"},
        {"EXEPCT", "expect"},
        {"hiden", "hidden"},
        {"limt", "limit"},
        {"cases", "case"},
        {"unchaged", "unchanged"},
        {"generat", "generate"},
        {"weight", ""},
        {"x", ""},
        {"seed", ""},
        {"modelling", ""},
    };
    for (const auto& s : slips) EXPECT_EQ(nearest_suite_keyword(s.typed), s.nearest) << s.typed;

    EXPECT_EQ(first_error(parse_suite("case a\n  expct r1 = 1\n")),
              "2:3: unknown keyword 'expct' (did you mean 'expect'?)");
    EXPECT_EQ(first_error(parse_suite("case a\n  42 = 1\n")),
              "2:3: expected a keyword, found '42' (see 'isa4 test --help')");
}

// Parsing reads no file: the images and the model are found afterwards, from the suite's
// folder, and an image goes under the cells the case sets or draws, wherever its line is.
TEST(SuiteKeywords, FilesAreReadAfterTheTextWithTheCellsOverTheImage) {
    const std::string text =
        "model /no/such/folder/m.s\n"
        "case g\n"
        "  generate 2: [0x00] in 5..5\n"
        "  set [0x01] = 9\n"
        "  ram in.ram\n"
        "  expect r1 = 0\n";
    const Suite parsed = parse_suite(text);
    ASSERT_TRUE(parsed.ok()) << first_error(parsed);
    ASSERT_EQ(parsed.ram_images.size(), 1u);
    EXPECT_EQ(parsed.ram_images[0].name, "in.ram");
    EXPECT_EQ(parsed.ram_images[0].path, "");
    EXPECT_EQ(parsed.model.path, "");

    ScratchDir scratch;
    write_file(scratch.path("in.ram"), counting_bytes(256, 0x40));
    Suite suite = parse_suite(text);
    resolve_suite_files(suite, scratch.dir() + "/");
    ASSERT_TRUE(suite.ok()) << first_error(suite);
    EXPECT_EQ(suite.model.path, "/no/such/folder/m.s");
    ASSERT_EQ(suite.cases.size(), 2u);
    for (const SuiteCase& c : suite.cases) {
        EXPECT_EQ(c.ram[0x00], 5) << c.name;
        EXPECT_EQ(c.ram[0x01], 9) << c.name;
        EXPECT_EQ(c.ram[0x02], 0x42) << c.name;
    }

    // One mistake for the line, not one per case it made, among the others by line.
    Suite missing = parse_suite(text + "case b\n  weight 2\n");
    resolve_suite_files(missing, "/no/such/folder/");
    ASSERT_EQ(missing.diagnostics.size(), 3u);
    EXPECT_EQ(missing.diagnostics[0].line, 5);
    EXPECT_EQ(missing.diagnostics[1].line, 8);
    EXPECT_NE(missing.diagnostics[0].message.find("cannot load the RAM image "
                                                  "'/no/such/folder/in.ram'"),
              std::string::npos);
}

// The suite language's manual page documents each keyword of the table.
TEST(SuiteKeywords, TheManualPageNamesEveryKeyword) {
    std::ifstream page(KELVANE_SOURCE_DIR "/man/isa4-suite.5");
    ASSERT_TRUE(page) << "man/isa4-suite.5 cannot be read";
    std::stringstream text;
    text << page.rdbuf();
    const std::string man = text.str();
    for (const SuiteKeyword& k : suite_keywords()) {
        // `.B name` as a term of its own, or in bold within a line.
        const std::string word = k.name;
        const bool named = man.find(".B " + word + "\n") != std::string::npos ||
                           man.find(".B " + word + " ") != std::string::npos ||
                           man.find("\\fB" + word + "\\fR") != std::string::npos ||
                           man.find("\\fB" + word + "\\fP") != std::string::npos;
        EXPECT_TRUE(named) << "man/isa4-suite.5 does not name '" << word << "' in bold";
    }
}

}  // namespace
