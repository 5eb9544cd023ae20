// Suite constructs through the real `isa4 test`: each row a suite, the program it grades,
// the exit status and what the output must hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/isa4_process.h"

namespace {

class SuiteCommand : public Isa4InScratch {};

struct Row {
    std::string suite;
    int status;
    std::vector<const char*> shown;  // each in the standard output, or in standard error
                                     // when the status is 2
};

void expect_rows(const SuiteCommand& t, const std::vector<Row>& rows, const std::string& program) {
    for (const Row& row : rows) {
        t.write("t.suite", row.suite);
        const Outcome run = t.isa4("test t.suite " + program);
        EXPECT_EQ(run.status, row.status) << row.suite << run.out << run.err;
        for (const char* text : row.shown)
            EXPECT_NE((row.status == 2 ? run.err : run.out).find(text), std::string::npos)
                << row.suite << "\nlacks: " << text << "\n"
                << run.out << run.err;
    }
}

// Adds 1 to r2 without clearing it first and leaves the sum in [01]; word 0 writes 9 to
// [02], so a start past it leaves [02] alone.
const char* const adds_one =
    "        MOVE r1, [0x03]\n"
    "        MOVE [0x02], r1\n"
    "        ADDI r2, r2, 1\n"
    "        MOVE [0x01], r2\n"
    "        JZ   halt\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";

TEST_F(SuiteCommand, StartStatesReachTheRun) {
    write("adds.s", adds_one);
    expect_rows(*this,
                {
                    {"case a\n  expect [0x01] = 1\n", 0, {}},
                    {"registers zero\ncase a\n  expect [0x01] = 1\n", 0, {}},
                    {"registers random\ncase a\n  expect [0x01] = 1\n",
                     1,
                     {"t.suite:1:1: started with random registers: r1 = ", ", rf = "}},
                    {"registers random\ncase a\n  registers zero\n  expect [0x01] = 1\n", 0, {}},
                    {"case a\n  registers random\n  set r2 = 5\n  expect [0x01] = 6\n", 0, {}},
                    {"case a\n  registers random seed 3\n  set r2 = 0\n  expect [0x01] = 2\n",
                     1,
                     {"t.suite:2:3: started with random registers: r1 = ", "r3 = "}},
                    {"set r2 = 7\ncase a\n  expect [0x01] = 8\ncase b\n  set r2 = 1\n  expect "
                     "[0x01] = 2\n",
                     0,
                     {}},
                    {"case a\n  set z = 1\n  set pc = 0x03\n  steps == 2\n", 0, {}},
                    {"case a\n  set [0x03] = 9\n  set pc = 0x01\n  expect [0x02] = 0\n", 0, {}},
                    {"case a\n  set [0x03] = 9\n  expect [0x02] = 9\n", 0, {}},
                },
                "adds.s");
}

TEST_F(SuiteCommand, RandomRegistersRepeatOnEveryRunAndDifferByCaseAndSeed) {
    write("adds.s", adds_one);
    const auto drawn = [&](const std::string& suite) {
        write("t.suite", suite);
        const std::string out = isa4("test t.suite adds.s").out;
        std::vector<std::string> lines;
        for (std::size_t at = out.find("random registers:"); at != std::string::npos;
             at = out.find("random registers:", at + 1))
            lines.push_back(out.substr(at, out.find('\n', at) - at));
        return lines;
    };
    const std::string two = "registers random\ncase a\n  expect r2 = 0\ncase b\n  expect r2 = 0\n";
    const auto first = drawn(two);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(drawn(two), first);
    EXPECT_NE(first[0], first[1]);
    const auto seeded = drawn("registers random seed 2\ncase a\n  expect r2 = 0\n");
    ASSERT_EQ(seeded.size(), 1u);
    EXPECT_NE(seeded[0], first[0]);
}

TEST_F(SuiteCommand, StartStateMistakesAreRefused) {
    write("adds.s", adds_one);
    expect_rows(
        *this,
        {
            {"registers zero\nregisters random\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:2:1: error: 'registers' is already given on line 1", "nothing was run"}},
            {"case a\n  registers sometimes\n  expect r1 = 0\n",
             2,
             {"t.suite:2:13: error: expected 'registers zero' or 'registers random'"}},
            {"case a\n  registers random seed\n  expect r1 = 0\n",
             2,
             {"t.suite:2:24: error: expected a number"}},
            {"case a\n  registers zero seed 4\n  expect r1 = 0\n",
             2,
             {"t.suite:2:18: error: unexpected 'seed' after 'registers'"}},
            {"case a\n  set r2 = 1\n  set R2 = 2\n  expect r1 = 0\n",
             2,
             {"t.suite:3:7: error: r2 is already set on line 2"}},
            {"case a\n  set z = 1\n  set z = 0\n  expect r1 = 0\n",
             2,
             {"t.suite:3:7: error: z is already set on line 2"}},
            {"set [0x00] = 1\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:5: error: RAM cells are set in a case"}},
        },
        "adds.s");
}

// Copies [03] to [01] cell to cell, or through r1: the same result, other instructions.
const char* const copy_mm =
    "        MOVE [0x01], [0x03]\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";
const char* const copy_through_r1 =
    "        MOVE r1, [0x03]\n"
    "        MOVE [0x01], r1\n"
    "        MOVE [0x04], r1       ; a cell it should leave alone\n"
    "        ADD  r2, r0, r0\n"
    "halt:   JZ   @halt\n";

TEST_F(SuiteCommand, ConstraintsFailEveryCaseOfAProgramThatBreaksThem) {
    write("mm.s", copy_mm);
    write("r1.s", copy_through_r1);
    const std::string one_case = "case a\n  set [0x03] = 7\n  expect [0x01] = 7\n";
    const struct {
        std::string suite;
        int mm_status, r1_status;
        const char* shown;  // in the output of the run of both
    } rows[] = {
        {"max words 3\n" + one_case, 0, 1,
         "t.suite:1:1: the program has 5 words, at most 3 are allowed"},
        {"forbid MOVE MM\n" + one_case, 1, 0,
         "t.suite:1:8: word 00 is MOVE MM, which this exercise does not allow"},
        {"forbid jz\n" + one_case, 1, 1, "word 02 is JZ, which"},
        {"forbid move\n" + one_case, 1, 1, "word 00 and 2 more are MOVE, which"},
        {"forbid ADDI, ADD\n" + one_case, 1, 1, "t.suite:1:14: word 03 is ADD, which"},
        {"unchanged [0x04..0xFF]\n" + one_case, 0, 1,
         "t.suite:1:11: [04] is 07, expected 00 as at the start"},
        {one_case + "  unchanged [0x03..0x04]\n", 0, 1,
         "t.suite:4:13: [04] is 07, expected 00 as at the start"},
        {"case a\n  set [0x03] = 7\n  unchanged [0x04]\n", 0, 1, "[04] is 07, expected 00"},
    };
    for (const auto& row : rows) {
        write("t.suite", row.suite);
        const Outcome mm = isa4("test t.suite mm.s");
        const Outcome r1 = isa4("test t.suite r1.s");
        EXPECT_EQ(mm.status, row.mm_status) << row.suite << mm.out << mm.err;
        EXPECT_EQ(r1.status, row.r1_status) << row.suite << r1.out << r1.err;
        EXPECT_NE((mm.out + r1.out).find(row.shown), std::string::npos)
            << row.suite << mm.out << r1.out;
    }
    write("t.suite", "forbid ADD\n" + one_case);
    ASSERT_EQ(isa4("asm r1.s -o r1.rom").status, 0);
    const Outcome image = isa4("test t.suite r1.rom");
    EXPECT_EQ(image.status, 1);
    EXPECT_NE(image.out.find("word 03 is ADD, which"), std::string::npos) << image.out;
}

TEST_F(SuiteCommand, ConstraintMistakesAreRefused) {
    write("mm.s", copy_mm);
    expect_rows(
        *this,
        {
            {"max words 0\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:11: error: value 0 is out of range (1..256)"}},
            {"max steps 4\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:5: error: expected 'max words N'"}},
            {"max words 4\nmax words 5\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:2:1: error: 'max words' is already given on line 1"}},
            {"case a\n  max words 4\n  expect r1 = 0\n",
             2,
             {"t.suite:2:3: error: 'max' holds for the whole program: put it before the first "
              "case"}},
            {"forbid JUMP\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:8: error: expected an instruction to forbid (ADD, ADDI, JZ, MOVE, or "
              "MOVE RR, MR, RM, MM), found 'JUMP'"}},
            {"forbid MOVE\nforbid MOVE RM\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:2:8: error: MOVE RM is already forbidden on line 1 (MOVE)"}},
            {"forbid ADD, ADD\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:13: error: ADD is already forbidden on line 1"}},
            {"unchanged [0x20..0x10]\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:18: error: value 16 is out of range (32..255)"}},
            {"unchanged [0x10..0x2F]\ncase a\n  unchanged [0x20]\n", 0, {}},
            {"unchanged [0x10..0x2F]\nunchanged [0x20]\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:2:11: error: these cells overlap the unchanged ones of line 1"}},
            {"unchanged [0x00..0x0F]\ncase a\n  expect [0x01] = 7\n",
             2,
             {"t.suite:3:10: error: an expected cell is also unchanged (line 1)"}},
            {"case a\n  unchanged 0x10\n",
             2,
             {"t.suite:2:13: error: expected 'unchanged [address]'"}},
        },
        "mm.s");
}

// "[02] = [00] * [01]": the model adds x y times; the other way adds y x times; the wrong
// one starts the sum at x, so it ends one x too high.
const char* const multiply_model = multiply_source;

std::string multiply_variant(const char* first, const char* second, const char* sum) {
    const std::string text = multiply_model;
    const std::size_t loop = text.find("loop:");
    return std::string(sum) + "        MOVE r1, " + first + "\n        MOVE r2, " + second + "\n" +
           text.substr(loop);
}

TEST_F(SuiteCommand, GeneratedCasesTakeTheirExpectationsFromTheModel) {
    write("model.s", multiply_model);
    write("other.s", multiply_variant("[0x01]", "[0x00]", ""));
    write("wrong.s", multiply_variant("[0x00]", "[0x01]", "        MOVE r3, [0x00]\n"));
    const std::string suite =
        "model model.s\n"
        "case drawn\n"
        "  generate 12 seed 7: [0x00..0x01] in 0..20\n"
        "  compare [0x02]\n";
    write("t.suite", suite);
    const Outcome right = isa4("test t.suite model.s other.s");
    EXPECT_EQ(right.status, 0) << right.out << right.err;
    EXPECT_NE(right.out.find("drawn 12 (1 point)"), std::string::npos) << right.out;
    const Outcome wrong = isa4("test t.suite wrong.s");
    EXPECT_EQ(wrong.status, 1) << wrong.out << wrong.err;
    EXPECT_NE(wrong.out.find("t.suite:4:11: [02] is "), std::string::npos) << wrong.out;
    const std::size_t inputs = wrong.out.find("t.suite:3:3: inputs: [00..01] = ");
    ASSERT_NE(inputs, std::string::npos) << wrong.out;
    // The same draws on every run; another seed draws others.
    EXPECT_EQ(isa4("test t.suite wrong.s").out, wrong.out);
    write("t.suite",
          "model model.s\ncase drawn\n  generate 12 seed 8: [0x00..0x01] in 0..20\n"
          "  compare [0x02]\n");
    const std::string reseeded = isa4("test t.suite wrong.s").out;
    EXPECT_EQ(reseeded.find(wrong.out.substr(inputs, wrong.out.find('\n', inputs) - inputs)),
              std::string::npos)
        << reseeded;
    // A bound on the model holds a program to its pace, in a fixed case too: adding y
    // 9 times is slower than adding x twice.
    write("t.suite",
          "model model.s\ncase fixed\n  set [0x00..0x01] = 9, 2\n  compare [0x02]\n"
          "  steps <= model\n");
    const Outcome paced = isa4("test t.suite other.s");
    EXPECT_EQ(paced.status, 1) << paced.out << paced.err;
    EXPECT_NE(paced.out.find("t.suite:5:9: took 61 steps, expected steps <= 19 (model)"),
              std::string::npos)
        << paced.out;
}

TEST_F(SuiteCommand, PartialPointsAndHints) {
    write("mm.s", copy_mm);  // [01] = [03]; leaves r1 and [04] alone
    const std::string checks =
        "  set [0x03] = 7\n  expect [0x01] = 7\n  expect r1 = 7\n  expect [0x04] = 7\n";
    expect_rows(
        *this,
        {
            // 1 line of 3 met: 4 * 1 / 3, rounded down.
            {"case a\n  points 4\n  partial\n" + checks, 1, {"1/4"}},
            {"case a\n  points 4\n" + checks, 1, {"0/4"}},
            {"case a\n  points 3\n  partial\n  set [0x03] = 7\n  expect [0x01] = 7\n"
             "  steps > 10\n",
             1,
             {"1/3"}},
            {"case a\n  set [0x03] = 7\n  expect r1 = 7\n  hint \"copy \\\"through\\\" r1\"\n",
             1,
             {"t.suite:4:8: hint: copy \"through\" r1"}},
        },
        "mm.s");
    // A hidden case keeps its hint to itself, in every report.
    write("t.suite", "case a\n  expect r1 = 7\n  hidden\n  hint \"look at r1\"\n");
    const Outcome hidden = isa4("test t.suite mm.s --gradescope g.json");
    EXPECT_EQ(hidden.status, 1);
    EXPECT_EQ((hidden.out + read("g.json")).find("look at r1"), std::string::npos) << hidden.out;
    write("t.suite", "case a\n  expect r1 = 7\n  hint \"look at r1\"\n");
    EXPECT_EQ(isa4("test t.suite mm.s --gradescope g.json").status, 1);
    EXPECT_NE(read("g.json").find("hint: look at r1"), std::string::npos) << read("g.json");
}

TEST_F(SuiteCommand, SuitesThatCanNeverPassOrSayAThingTwiceAreRefused) {
    write("model.s", multiply_model);
    write("loops.s", "loop: ADDI r0, r0, 0\n  JZ loop\n");
    write("bad.s", "BOGUS\n");
    write("mm.s", copy_mm);
    const std::string check = "  expect r1 = 0\n";
    const std::string long_word(100000, 'x');
    expect_rows(
        *this,
        {
            {"case a\n  steps < 0\n",
             2,
             {"t.suite:2:9: error: the bound steps < 0 can never hold"}},
            {"case a\n  limit 100\n  until limit\n  steps <= 50\n",
             2,
             {"t.suite:4:9: error: the bound steps <= 50 can never hold: an 'until limit' run "
              "takes 100 steps"}},
            {"case a\n  steps > 50\n  steps < 20\n",
             2,
             {"t.suite:3:9: error: the bound steps < 20 can never hold with steps > 50 (line 2)"}},
            {"case a\n  steps <= 5\n  steps <= 6\n",
             2,
             {"t.suite:3:9: error: a bound 'steps <=' is already given on line 2"}},
            {"case a\n" + check + "  points 2\n  points 3\n",
             2,
             {"t.suite:4:3: error: 'points' is already given on line 3"}},
            {"case a\n" + check + "  until halt\n  until limit\n",
             2,
             {"t.suite:4:3: error: 'until' is already given on line 3"}},
            {"case a\n" + check + "  hidden\n  visible\n",
             2,
             {"t.suite:4:3: error: the case's visibility is already given on line 3"}},
            {"limit 5\nlimit 6\ncase a\n" + check,
             2,
             {"t.suite:2:1: error: 'limit' is already given on line 1"}},
            {"case a\n  expect r1 = 0\n  expect [0x00..0x01] = 0\n  expect r1 = 1\n",
             2,
             {"t.suite:4:10: error: r1 is already expected on line 2"}},
            {"case C# basics\n" + check + "case C# basics ; the same\n" + check,
             2,
             {"t.suite:3:6: error: a case named 'C# basics' is already on line 1"}},
            {long_word + "\n", 2, {"t.suite:1:1: error: unknown keyword 'xxxxxxxxxxxxxxxx"}},
            {"case a\n" + check + "  generate 1001: [0x00] in 0..1\n  points 1000000\n",
             2,
             {"t.suite:1:1: error: the cases so far give 1001000000 points, more than the "
              "1000000000 a suite may give"}},
            {"case a\n  compare [0x02]\n",
             2,
             {"t.suite:2:11: error: 'compare' takes the model's values: name it with 'model "
              "FILE'"}},
            {"case a\n" + check + "  steps <= 2 * model\n",
             2,
             {"t.suite:3:12: error: a bound on 'model' needs a 'model FILE' line"}},
            {"model bad.s\ncase a\n  compare [0x02]\n",
             2,
             {"t.suite:1:7: error: the model 'bad.s' does not assemble (bad.s:1:1: error: "}},
            {"model mm.s\ncase a\n  set [0x03] = 4\n  expect [0x01] = 5\n",
             2,
             {"t.suite:4:10: error: the model fails case 'a': [01] is 04, expected 05"}},
            {"model loops.s\nlimit 50\ncase a\n  generate 3: [0x00] in 1..1\n  compare [0x02]\n",
             2,
             {"t.suite:4:3: error: the model did not halt within 50 steps in case 'a 1' "
              "(inputs: [00] = 01)"}},
            {"model model.s\ncase a\n  set [0x00..0x01] = 1, 1\n  compare [0x02]\n"
             "  steps <= model\n  steps >= 2 * model\n",
             2,
             {"t.suite:6:9: error: the bound steps >= 26 (2 * model) can never hold with "
              "steps <= 13 (model) (line 5) in case 'a'"}},
            {"model model.s\ncase a\n  generate 3: [0x00..0x01] in 0..9, [0x01] in 0..3\n"
             "  compare [0x02]\n",
             2,
             {"t.suite:3:37: error: these cells are already drawn on this line"}},
            {"model model.s\ncase a\n  generate 3: [0x00] in 0..9\n  set [0x00] = 1\n"
             "  compare [0x02]\n",
             2,
             {"t.suite:4:7: error: these cells are drawn by the 'generate' line 3"}},
            {"model model.s\ncase a\n  generate 3 [0x00] in 0..9\n  compare [0x02]\n",
             2,
             {"t.suite:3:14: error: expected ':' and the cells to draw"}},
            {"model model.s\ncase a\n  compare [0x02], q\n",
             2,
             {"t.suite:3:19: error: expected a [RAM address], a register r0..rf, z or pc to "
              "compare, found 'q'"}},
            {"case a\n" + check + "  hint \"open\n",
             2,
             {"t.suite:3:8: error: the hint has no closing quote"}},
        },
        "mm.s");
}

// The feedback page's trace starts as the grader started the case, its registers too, so
// that it ends where the case ended and shows what the end should have been.
TEST_F(SuiteCommand, FeedbackTracesStartAsTheCaseStarted) {
    write("adds.s", adds_one);
    write("t.suite", "case a\n  set r2 = 0x41\n  set [0x03] = 9\n  expect [0x01] = 0\n");
    EXPECT_EQ(isa4("test t.suite adds.s --feedback fb").status, 1);
    const std::string page = read("fb/adds.s.html");
    EXPECT_NE(page.find("\"start\":{\"pc\":255,\"z\":0,\"r\":[0,0,65,0,"), std::string::npos);
    EXPECT_NE(page.find("\"expected\":[{\"what\":\"[01]\""), std::string::npos);
}

// A small class for [02] = [00] + [01]: one honest program and four that pass the plain
// suite by luck, each caught by one of the stricter lines.
const char* const sum_honest =
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "        ADD  r3, r1, r2\n"
    "        MOVE [0x02], r3\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";
const char* const sum_from_zeroed_cell =  // takes [10] for a zero
    "        MOVE r3, [0x10]\n"
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "        ADD  r3, r3, r1\n"
    "        ADD  r3, r3, r2\n"
    "        MOVE [0x02], r3\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";
const char* const sum_through_scratch =  // keeps a sum in [20], then puts [20] back
    "        MOVE r4, [0x20]\n"
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "        ADD  r3, r1, r2\n"
    "        MOVE [0x20], r3\n"
    "        MOVE [0x02], [0x20]\n"
    "        MOVE [0x20], r4\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";
const char* const sum_in_r5 =  // works in r5, which the caller keeps its own
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "        ADD  r5, r1, r2\n"
    "        MOVE [0x02], r5\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";
const char* const sum_reading_the_table =  // adds [30], a cell it has no business reading
    "        MOVE r1, [0x00]\n"
    "        MOVE r2, [0x01]\n"
    "        MOVE r3, [0x30]\n"
    "        ADD  r3, r3, r1\n"
    "        ADD  r3, r3, r2\n"
    "        MOVE [0x02], r3\n"
    "        ADDI r0, r0, 0\n"
    "halt:   JZ   @halt\n";

TEST_F(SuiteCommand, RandomRamAndNeverLinesCatchProgramsThatPassByLuck) {
    const std::string plain =
        "case sum\n  set [0x00..0x01] = 3, 4\n  expect [0x02] = 7\n  unchanged [0x20..0x2F]\n";
    const std::string strict = "ram random seed 5\nnever writes [0x20..0x2F]\nnever writes r5\n" +
                               plain + "  never reads [0x30..0x3F]\n";
    const struct {
        const char* name;
        const char* program;
        const char* caught;  // what the strict suite says, "" when it passes
    } programs[] = {
        {"honest.s", sum_honest, ""},
        {"zeroed.s", sum_from_zeroed_cell,
         "t.suite:1:1: started with random RAM (seed 5): "
         "[02..FF] = "},
        {"scratch.s", sum_through_scratch,
         "t.suite:2:1: step 5 (word 04: MOVE [0x20], r3) writes [20], which this case never "
         "lets it write"},
        {"r5.s", sum_in_r5,
         "t.suite:3:1: step 3 (word 02: ADD r5, r1, r2) writes r5, which this case never lets "
         "it write"},
        {"table.s", sum_reading_the_table,
         "t.suite:8:3: step 3 (word 02: MOVE r3, [0x30]) reads [30], which this case never "
         "lets it read"},
    };
    for (const auto& p : programs) {
        write(p.name, p.program);
        write("t.suite", plain);
        const Outcome before = isa4(std::string("test t.suite ") + p.name);
        EXPECT_EQ(before.status, 0) << p.name << " passes the plain suite\n" << before.out;
        write("t.suite", strict);
        const Outcome after = isa4(std::string("test t.suite ") + p.name);
        EXPECT_EQ(after.status, *p.caught == '\0' ? 0 : 1) << p.name << "\n" << after.out;
        EXPECT_NE(after.out.find(p.caught), std::string::npos) << p.name << "\n" << after.out;
    }
    // The random cells are the same on every run and show where the case failed.
    write("t.suite", strict);
    EXPECT_EQ(isa4("test t.suite zeroed.s").out, isa4("test t.suite zeroed.s").out);
    // Each never line is one line for `partial`: 2 of 3 lines met, 2 of 3 points.
    write("t.suite",
          "case sum\n  set [0x00..0x01] = 3, 4\n  expect [0x02] = 7\n  never writes [0x20]\n"
          "  never reads [0x30]\n  points 3\n  partial\n");
    EXPECT_EQ(isa4("test t.suite scratch.s --csv c.csv").status, 1);
    EXPECT_NE(read("c.csv").find("scratch.s,sum,visible,fail,"), std::string::npos);
    EXPECT_NE(read("c.csv").find(",2,3"), std::string::npos) << read("c.csv");
}

TEST_F(SuiteCommand, StricterLineMistakesAreRefused) {
    write("adds.s", adds_one);
    expect_rows(
        *this,
        {
            {"case a\n  never reads r2\n  expect r1 = 0\n",
             2,
             {"t.suite:2:15: error: expected 'never reads [first..last]'"}},
            {"case a\n  never touches [0x20]\n  expect r1 = 0\n",
             2,
             {"t.suite:2:9: error: expected 'never writes [first..last]', 'never writes rN' or "
              "'never reads [first..last]'"}},
            {"case a\n  never writes r16\n  expect r1 = 0\n", 2, {"t.suite:2:16: error: "}},
            {"case a\n  feedback loud\n  expect r1 = 0\n",
             2,
             {"t.suite:2:12: error: expected 'feedback full', 'feedback brief' or 'feedback "
              "score'"}},
            {"feedback brief\nfeedback score\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:2:1: error: 'feedback' is already given on line 1"}},
            {"ram in.ram\ncase a\n  expect r1 = 0\n",
             2,
             {"t.suite:1:1: error: 'ram FILE' belongs to a case"}},
            {"case a\n  ram random seed many\n  expect r1 = 0\n",
             2,
             {"t.suite:2:19: error: expected a number"}},
            {"case a\n  ram random\n  ram random seed 2\n  expect r1 = 0\n",
             2,
             {"t.suite:3:3: error: 'ram' is already given on line 2"}},
            // A case whose only check is a never line checks something.
            {"case a\n  never writes [0x40..0x4F]\n", 0, {}},
            {"ram random\ncase a\n  ram random seed 9\n  never writes r9\n", 0, {}},
        },
        "adds.s");
}

// What a student can see: the table, TAP, JUnit, Markdown, CSV, both results.json and
// the feedback pages. Each level of feedback shows only what it allows.
TEST_F(SuiteCommand, BriefFeedbackShowsNoExpectedValueAnywhere) {
    write("model.s", sum_honest);
    write("wrong.s",
          "        MOVE r1, [0x00]\n"
          "        MOVE [0x02], r1\n"
          "        MOVE [0x03], r1\n"
          "        ADDI r0, r0, 0\n"
          "halt:   JZ   @halt\n");
    const std::string cases =
        "model model.s\nregisters random seed 3\nram random seed 4\n"
        "case fixed\n  set [0x00..0x01] = 0x41, 0x82\n  expect [0x02] = 0xC3\n"
        "  steps >= 6\n  hint \"add both cells\"\n"
        "case drawn\n  generate 3 seed 8: [0x00..0x01] in 0..100\n  compare [0x02]\n"
        "case never\n  set [0x00..0x01] = 1, 2\n  expect [0x02] = 3\n  never writes [0x03]\n";
    const std::string reports =
        " --tap --junit j.xml --csv c.csv --markdown m.md --feedback fb"
        " --gradescope g.json --prairielearn p.json";
    // The table and TAP go to standard output: each its own run.
    const auto everything = [&](const std::string& suite) {
        write("t.suite", suite);
        EXPECT_EQ(std::system(("rm -rf '" + scratch.dir() + "'/fb").c_str()), 0);
        const Outcome table = isa4("test t.suite wrong.s");
        const Outcome tap = isa4("test t.suite wrong.s" + reports);
        EXPECT_EQ(tap.status, 1) << tap.err;
        std::string seen = table.out + tap.out + tap.err;
        for (const char* f : {"j.xml", "c.csv", "m.md", "g.json", "p.json"}) seen += read(f);
        // A page's data: the JSON between its data element's tags.
        for (const char* f : {"fb/wrong.s.html", "fb/index.html"}) {
            const std::string page = read(f);
            const std::size_t data = page.find("<script type=\"application/json\"");
            EXPECT_NE(data, std::string::npos) << f;
            if (data != std::string::npos)
                seen += page.substr(data, page.find("</script>", data) - data);
        }
        return seen;
    };
    const std::string full = everything(cases);
    for (const char* shown : {"expected C3", "inputs: [00..01] = ", "started with random",
                              "hint: add both cells", "\"trace\":0", "steps >= 6", "writes [03]"})
        EXPECT_NE(full.find(shown), std::string::npos) << "full feedback shows " << shown;
    const std::string brief = everything("feedback brief\n" + cases);
    for (const char* hidden :
         {"expected", "C3", "inputs:", "random", "\"trace\":0", "steps >=", "writes [03]"})
        EXPECT_EQ(brief.find(hidden), std::string::npos)
            << "brief feedback shows " << hidden << ": "
            << brief.substr(std::min(brief.size(), brief.find(hidden) - 300), 600);
    EXPECT_NE(brief.find("hint: add both cells"), std::string::npos);
    EXPECT_NE(brief.find("not ok"), std::string::npos) << "which cases failed";
    // The rules on the program's words give nothing of the end away: brief keeps them.
    const std::string limited = everything("feedback brief\nmax words 2\n" + cases);
    EXPECT_NE(limited.find("the program has 5 words, at most 2 are allowed"), std::string::npos);
    EXPECT_EQ(limited.find("expected"), std::string::npos);
    const std::string score = everything("feedback score\nmax words 2\n" + cases);
    EXPECT_EQ(score.find("at most 2 are allowed"), std::string::npos);
    EXPECT_EQ(score.find("hint:"), std::string::npos);
    EXPECT_EQ(score.find("expected"), std::string::npos);
    // Set in a case, it holds for that case alone.
    const std::string one =
        everything(cases +
                   "case told\n  set [0x00..0x01] = 0x60, 0x79\n  expect [0x02] = 0xD9\n"
                   "  feedback full\n");
    EXPECT_NE(one.find("expected D9"), std::string::npos);
    const std::string mixed =
        everything("feedback brief\n" + cases +
                   "case told\n  set [0x00..0x01] = 0x60, 0x79\n  expect [0x02] = "
                   "0xD9\n  feedback full\n");
    EXPECT_NE(mixed.find("expected D9"), std::string::npos);
    EXPECT_EQ(mixed.find("expected C3"), std::string::npos);
}

}  // namespace
