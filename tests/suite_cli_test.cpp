// Suite constructs through the real `isa4 test`: each row a suite, the program it grades,
// the exit status and what the output must hold.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/isa4_process.h"

namespace {

class SuiteCommand : public Isa4InScratch {};

struct Row {
    const char* suite;
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

}  // namespace
