// "Check" in the page: what a student sees for the suite and program they picked.
#include "web/check.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_dir.h"

namespace {

void put(const ScratchDir& dir, const std::string& name, const std::string& text) {
    write_file(dir.path(name), Bytes(text.begin(), text.end()));
}

const std::string suite_text =
    "case doubles\n"
    "    set [0x00] = 3\n"
    "    expect [0x01] = 6\n"
    "case hidden one\n"
    "    set [0x00] = 5\n"
    "    expect [0x01] = 10\n"
    "    hidden\n";

// Reads [0x00] into r1, adds it to itself and stores it in [0x01]; `error` breaks it.
std::string doubling(bool error) {
    return std::string("    MOVE r1, [0x00]\n    ADD r1, r1, r1\n    MOVE [0x01], r1\n") +
           (error ? "    FLY r1\n" : "") + "    ADDI r0, r0, 0\nhalt: JZ @halt\n";
}

TEST(Check, SuiteProblemsMakeNoPage) {
    ScratchDir dir;
    put(dir, "p.s", doubling(false));
    put(dir, "bad.suite", "case one\n    expect [0x01] = 6\n    bogus 3\n");
    put(dir, "utf16.suite",
        std::string("\xff\xfe"
                    "c\0a\0",
                    6));
    struct Row {
        const char* suite;
        const char* says;
    } rows[] = {
        {"missing.suite", "missing.suite: error: cannot read the file (No such file or directory)"},
        {".", ": error: cannot read the file (Is a directory)"},
        {"bad.suite", "; nothing was run\n"},
        {"utf16.suite", "UTF-16"},
    };
    for (const Row& row : rows) {
        const CheckOutcome out = check_program(dir.path(row.suite), dir.path("p.s"));
        EXPECT_FALSE(out.page) << row.suite;
        EXPECT_NE(out.text.find(row.says), std::string::npos) << row.suite << ": " << out.text;
    }
}

TEST(Check, EveryProgramGetsItsPage) {
    ScratchDir dir;
    put(dir, "s.suite", suite_text);
    put(dir, "good.s", doubling(false));
    put(dir, "broken.s", doubling(true));
    struct Row {
        const char* program;
        const char* says;
    } rows[] = {
        {"good.s", "\"graded\":true"},
        {"broken.s", "\"graded\":false"},
        {"missing.s", "\"graded\":false"},
    };
    for (const Row& row : rows) {
        const CheckOutcome out = check_program(dir.path("s.suite"), dir.path(row.program));
        ASSERT_TRUE(out.page) << row.program << ": " << out.text;
        EXPECT_EQ(out.text.rfind("<!DOCTYPE html>", 0), 0u) << row.program;
        EXPECT_NE(out.text.find(row.says), std::string::npos) << row.program;
        // The hidden case is counted but never named.
        EXPECT_EQ(out.text.find("hidden one"), std::string::npos) << row.program;
    }
}

}  // namespace
