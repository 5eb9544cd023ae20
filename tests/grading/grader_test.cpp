// Suite files and grading: what a case sets up, which verdict a run earns, and where a
// mistake in a suite is reported.
#include "grading/grader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "grading/suite.h"
#include "tests/scratch_dir.h"

namespace {

std::string first_error(const Suite& suite) {
    if (suite.ok()) return "no error";
    const Diagnostic& d = suite.diagnostics.front();
    return std::to_string(d.line) + ":" + std::to_string(d.column) + ": " + d.message;
}

TEST(Suite, ReadsEverySettingOfACase) {
    ScratchDir scratch;
    write_file(scratch.path("in.ram"), counting_bytes(256, 0x40));
    const Suite suite = read_suite(
        "LIMIT 300   # the default\n"
        "case first one ; a comment\n"
        "  set [0x01] = 9        # before the image, still wins over it\n"
        "  ram in.ram\n"
        "  set [0x10..0x11] = 1, 2\n"
        "  expect r1 = 3\n"
        "  steps >= 2\n"
        "  steps < 50\n"
        "  points 3\n"
        "  hidden\n"
        "case second\n"
        "  limit 0x20\n"
        "  until limit\n"
        "  After_Published\n"
        "  expect [0x10] = 0\n",
        scratch.dir() + "/");
    ASSERT_TRUE(suite.ok()) << first_error(suite);
    ASSERT_EQ(suite.cases.size(), 2u);
    const SuiteCase& a = suite.cases[0];
    EXPECT_EQ(a.name, "first one");
    EXPECT_EQ(a.ram[0x00], 0x40);
    EXPECT_EQ(a.ram[0x01], 9);
    EXPECT_EQ(a.ram[0x10], 1);
    EXPECT_EQ(a.ram[0x12], 0x52);
    EXPECT_EQ(a.expect.entries.size(), 1u);
    ASSERT_EQ(a.bounds.size(), 2u);
    EXPECT_EQ(a.bounds[1].text(), "steps < 50");
    EXPECT_EQ(a.limit, 300u);
    EXPECT_EQ(a.points, 3u);
    EXPECT_EQ(a.visibility, Visibility::hidden);
    EXPECT_TRUE(a.until_halt);
    const SuiteCase& b = suite.cases[1];
    EXPECT_EQ(b.limit, 0x20u);
    EXPECT_FALSE(b.until_halt);
    EXPECT_EQ(b.visibility, Visibility::after_published);
    EXPECT_TRUE(b.hidden());
    EXPECT_EQ(b.points, 1u);
    EXPECT_EQ(b.ram[0x00], 0);
    EXPECT_EQ(suite.total_points(), 4u);
    ASSERT_EQ(suite.ram_images.size(), 1u);
    EXPECT_EQ(suite.ram_images[0].path, scratch.dir() + "/in.ram");
}

TEST(Suite, MistakesNameTheirLineAndColumn) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "1:1: the suite has no cases: add 'case NAME' lines"},
        {"expect r1 = 1\n", "1:1: 'expect' belongs to a case: start one with 'case NAME' first"},
        {"case\n", "1:1: a case needs a name: 'case NAME'"},
        {"case a\n",
         "1:1: case 'a' checks nothing: give it an 'expect', 'compare' or 'steps' line"},
        {"case a\nexpect r1 = 1\ncase a\nexpect r1 = 1\n",
         "3:6: a case named 'a' is already on line 1"},
        {"case a\n  expect r1 = 256\n", "2:15: value 256 is out of range (0..255)"},
        {"case a\n  expect rx = 1\n",
         "2:10: expected pc, z, a register r0..rf or a [RAM address], found 'rx'"},
        {"case a\n  steps = 4\n", "2:9: expected <, <=, ==, >= or > and a number of steps"},
        {"case a\n  steps >= 200\n  limit 100\n",
         "2:9: the bound steps >= 200 is beyond the case's step limit of 100"},
        {"limit 0\n", "1:7: value 0 is out of range (1..1000000000)"},
        {"limit 123456789012345678901\n",
         "1:7: value 123456789012345678901 is out of range (1..1000000000)"},
        {"case a\n  expect r1 = 1\n  points 2 3\n", "3:12: unexpected '3' after 'points'"},
        {"case a\n  expect r1 = 1\n  until never\n", "3:9: expected 'until halt' or 'until limit'"},
        {"case a\n  expect r1 = 1\n  weight 2\n",
         "3:3: unknown keyword 'weight' (see 'isa4 test --help')"},
        {"case a\n  ram missing.ram\n  expect r1 = 1\n",
         "2:7: cannot load the RAM image 'missing.ram' (No such file or directory)"},
        {"case a\x1b[2J\n  expect r1 = 1\n", "1:6: a case name holds no control characters"},
    };
    for (const auto& c : cases) EXPECT_EQ(first_error(read_suite(c.text, "")), c.error) << c.text;
}

// Stored suites give their students the same cases for good: the draws are pinned here,
// so a change of the generator shows as a failure rather than as other cases.
TEST(Suite, GeneratedCasesDrawTheSameCellsForGood) {
    const Suite suite = read_suite(
        "case r\n"
        "  generate 3 seed 7: [0x00..0x01] in 0..15, [0x10] in 200..202\n"
        "  set [0x20] = 9\n"
        "  expect r1 = 0\n"
        "  points 2\n",
        "");
    ASSERT_TRUE(suite.ok()) << first_error(suite);
    ASSERT_EQ(suite.cases.size(), 3u);
    EXPECT_EQ(suite.total_points(), 6u);
    const struct {
        const char* name;
        unsigned x, y, z;
    } drawn[] = {{"r 1", 7, 5, 201}, {"r 2", 1, 1, 201}, {"r 3", 4, 4, 201}};
    for (std::size_t i = 0; i < 3; ++i) {
        const SuiteCase& c = suite.cases[i];
        EXPECT_EQ(c.name, drawn[i].name);
        EXPECT_EQ(c.ram[0x00], drawn[i].x) << c.name;
        EXPECT_EQ(c.ram[0x01], drawn[i].y) << c.name;
        EXPECT_EQ(c.ram[0x10], drawn[i].z) << c.name;
        EXPECT_EQ(c.ram[0x20], 9) << c.name;
        EXPECT_EQ(c.points, 2u);
    }
}

// A program that counts r1 up to the number in RAM cell 00 and halts: 4 + 7n steps.
const char* const count_up =
    "loop:  MOVE r2, [0x00]\n"
    "       ADD  r2, r2, r3     ; r3 holds -r1\n"
    "       JZ   done\n"
    "       ADDI r1, r1, 1\n"
    "       ADDI r3, r3, -1\n"
    "       ADDI r0, r0, 0\n"
    "       JZ   loop\n"
    "done:  JZ   @done\n";

TEST(Grader, EachRunEarnsItsVerdict) {
    ScratchDir scratch;
    std::ofstream(scratch.path("count.s")) << count_up;
    const struct {
        const char* body;
        Verdict verdict;
        const char* problem;
    } cases[] = {
        {"set [0] = 3\nexpect r1 = 3\nexpect pc = 7\nsteps <= 40\n", Verdict::pass, ""},
        {"set [0] = 3\nexpect r1 = 4\n", Verdict::fail, "r1 is 03, expected 04"},
        {"set [0] = 3\nexpect r1 = 3\nsteps < 20\n", Verdict::fail,
         "took 25 steps, expected steps < 20"},
        {"set [0] = 3\nexpect r1 = 3\nsteps == 25\n", Verdict::pass, ""},
        {"set [0] = 3\nexpect r1 = 3\nlimit 24\n", Verdict::no_halt,
         "did not halt within 24 steps"},
        {"set [0] = 3\nexpect r1 = 2\nlimit 17\nuntil limit\n", Verdict::pass, ""},
        {"set [0] = 3\nexpect r1 = 3\nuntil limit\nlimit 30\n", Verdict::fail,
         "halted after 25 steps, before the step limit of 30"},
    };
    for (const auto& c : cases) {
        const Suite suite = read_suite(std::string("case c\n") + c.body, "");
        ASSERT_TRUE(suite.ok()) << first_error(suite);
        const ProgramResult result = grade_program(suite, scratch.path("count.s"));
        ASSERT_TRUE(result.graded);
        ASSERT_EQ(result.cases.size(), 1u);
        const CaseResult& r = result.cases[0];
        EXPECT_EQ(r.verdict, c.verdict) << c.body;
        EXPECT_EQ(r.points, c.verdict == Verdict::pass ? 1u : 0u);
        EXPECT_EQ(r.problems.empty() ? "" : r.problems.front().message, c.problem) << c.body;
    }
}

TEST(Grader, ProgramsThatCannotRunFailEveryCase) {
    ScratchDir scratch;
    const Suite suite = read_suite("case a\nexpect r1 = 0\ncase b\nexpect r1 = 0\n", "");
    ASSERT_TRUE(suite.ok());
    std::ofstream(scratch.path("bad.s")) << "ADDI r1, r0, 300\nBOGUS\n";
    std::filesystem::create_directory(scratch.path("dir.s"));
    const struct {
        std::string path;
        const char* failure;
        std::string reason;
    } cases[] = {
        {scratch.path("bad.s"), "does not assemble",
         scratch.path("bad.s") + ":1:14: error: immediate 300 is out of range"},
        {scratch.path("dir.s"), "cannot be read",
         scratch.path("dir.s") + ": error: cannot read the file (Is a directory)"},
        {scratch.path("none.s"), "cannot be read",
         scratch.path("none.s") + ": error: cannot read the file (No such file or directory)"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = grade_program(suite, c.path);
        EXPECT_FALSE(result.graded);
        EXPECT_EQ(result.failure, c.failure);
        ASSERT_FALSE(result.reasons.empty());
        EXPECT_EQ(result.reasons[0].substr(0, c.reason.size()), c.reason);
        ASSERT_EQ(result.cases.size(), 2u);
        for (const CaseResult& r : result.cases) EXPECT_EQ(r.verdict, Verdict::error);
    }
}

TEST(Grader, RomImagesAreToldFromSourcesByTheirBytes) {
    ScratchDir scratch;
    // ADDI r1, r0, 5 then a halt: the words 1 10 05 and 2 00 01 after ADDI r0, r0, 0.
    write_file(scratch.path("p.img"), {0x01, 0x10, 0x05, 0x01, 0x00, 0x00, 0x02, 0x00, 0x02});
    const Suite suite = read_suite("case a\nexpect r1 = 5\nexpect pc = 2\n", "");
    const ProgramResult result = grade_program(suite, scratch.path("p.img"));
    ASSERT_TRUE(result.graded) << result.reasons[0];
    EXPECT_EQ(result.cases[0].verdict, Verdict::pass);
    EXPECT_TRUE(looks_like_source("ADDI r1, r0, 5\t; \x1b[1m bold\r\n"));
    EXPECT_TRUE(looks_like_source("ADDI r1, r0, 5 ; stray \x01 and caf\xe9\n"));
    EXPECT_FALSE(looks_like_source(std::string("\x01\x10\x05\x02\x00\x02", 6)));
    EXPECT_FALSE(looks_like_source(std::string(768, '\xff')));  // 256 words FFFFFF
}

}  // namespace
