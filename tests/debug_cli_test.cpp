// `isa4 debug` run as a script reads it: commands on standard input, answers compared with
// what `isa4 run --trace` says of the same program.
#include <sstream>
#include <vector>

#include "tests/isa4_process.h"

namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class DebugSession : public Isa4InScratch {
protected:
    void SetUp() override {
        write("multiply.s", multiply_source);
        write("data.txt", "[0x00] = 3\n[0x01] = 4\n");
        ASSERT_EQ(isa4("asm multiply.s -o multiply.rom").status, 0);
        ASSERT_EQ(isa4("ram data.txt -o data.ram").status, 0);
    }

    // `isa4 debug ARGS` with `commands` on its standard input.
    Outcome debug(const std::string& args, const std::string& commands) {
        write("commands.txt", commands);
        return isa4("debug " + args + " <commands.txt");
    }

    // The lines of `isa4 run --trace ARGS` that trace steps (not the stop line or state).
    std::vector<std::string> trace(const std::string& args) {
        const Outcome run = isa4("run --trace -q " + args);
        std::vector<std::string> steps;
        for (const std::string& line : lines_of(run.out))
            if (line.rfind("stopped after", 0) != 0) steps.push_back(line);
        return steps;
    }
};

TEST_F(DebugSession, StepsAsTheTraceOfARunAndBackToTheStart) {
    const std::vector<std::string> traced = trace("multiply.rom --ram data.ram");
    ASSERT_GT(traced.size(), 20u);
    const Outcome out = debug("multiply.rom --ram data.ram",
                              "info registers\nprint [00..03]\nstep 20\nback 20\n"
                              "info registers\nprint [00..03]\n");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.err, "");
    const std::vector<std::string> lines = lines_of(out.out);
    ASSERT_EQ(lines.size(), 1u + 4 + 20 + 1 + 4);
    for (std::size_t k = 0; k < 20; ++k) EXPECT_EQ(lines[5 + k], traced[k]);
    // The same registers, pc, z and cells after going back.
    for (std::size_t k = 1; k < 5; ++k) EXPECT_EQ(lines[k], lines[k + 25]);
    EXPECT_EQ(lines[0], lines[25]);
    EXPECT_EQ(lines[0], "step 0, next 00  61000  MOVE r1, [0x00]");

    // An image with its symbol file: the names as run --trace --symbols shows them.
    ASSERT_EQ(isa4("asm multiply.s -o named.rom --symbols named.sym").status, 0);
    const std::vector<std::string> named = trace("named.rom --ram data.ram --symbols named.sym");
    const std::vector<std::string> stepped =
        lines_of(debug("named.rom --ram data.ram --symbols named.sym", "step 8\n").out);
    ASSERT_EQ(stepped.size(), 9u);
    EXPECT_NE(stepped[3].find("loop: ADDI"), std::string::npos) << stepped[3];
    for (std::size_t k = 0; k < 8; ++k) EXPECT_EQ(stepped[1 + k], named[k]);
}

TEST_F(DebugSession, ContinueStopsWhereRunStops) {
    // Address 8 (done: MOVE [0x02], r3), written as run --break takes it, or by its label.
    const Outcome run = isa4("run multiply.rom --ram data.ram --break 8");
    const std::string stop = lines_of(run.out).at(0);
    ASSERT_EQ(stop.rfind("stopped after", 0), 0u) << stop;
    Outcome out;
    std::vector<std::string> lines;
    for (const char* address : {"8", "0x08", "0b1000", "done"}) {
        out = debug("multiply.s --ram data.ram", std::string("break ") + address + "\ncontinue\n");
        lines = lines_of(out.out);
        ASSERT_EQ(lines.size(), 5u) << address << "\n" << out.out;
        EXPECT_EQ(lines[3], stop) << address;
    }
    // A number is the same number as in run --break: 10 is ten, shown as 0A.
    EXPECT_EQ(lines_of(isa4("run multiply.rom --ram data.ram --break 10").out).at(0),
              lines_of(debug("multiply.rom --ram data.ram", "break 10\nc\n").out).at(3));
    EXPECT_EQ(lines_of(debug("multiply.rom", "break 10\n").out).at(1).substr(0, 18),
              "breakpoint 1 at 0A");
    // With no breakpoint: the halting JZ, said as run says it.
    const std::string halt = lines_of(isa4("run multiply.rom --ram data.ram").out).at(0);
    out = debug("multiply.rom --ram data.ram", "c\n");
    lines = lines_of(out.out);
    ASSERT_EQ(lines.size(), 4u) << out.out;
    EXPECT_EQ(lines[2], halt);
}

TEST_F(DebugSession, AWatchBackwardFindsTheLastWriteWhenLists) {
    const Outcome out = debug("multiply.s --ram data.ram",
                              "watch [0x02]\ncontinue\ncontinue\nwhen [2]\nrc\nprint [0x02]\n");
    EXPECT_EQ(out.err, "");
    const std::vector<std::string> lines = lines_of(out.out);
    // The write `when` lists last...
    std::string last_write;
    for (const std::string& line : lines)
        if (line.rfind("step ", 0) == 0 && line.find("-> 0C") != std::string::npos)
            last_write = line;
    ASSERT_FALSE(last_write.empty()) << out.out;
    const std::uint64_t step = std::stoull(last_write.substr(5));
    // ... is where the watch stops going back: before that step, its word next.
    const std::string stopped =
        "stopped at step " + std::to_string(step - 1) + ": watch [02] 00 -> 0C by the next word";
    EXPECT_NE(out.out.find(stopped + "\nstep " + std::to_string(step - 1) + ", next 08  50203"),
              std::string::npos)
        << out.out;
    EXPECT_EQ(lines.back(), "[02] = 00");
}

TEST_F(DebugSession, SetThenBackUndoesIt) {
    const Outcome out = debug("multiply.s --ram data.ram",
                              "step 2\nset r2 = 1\nprint r2\nback\nprint r2\nset [0] = 0x7F\n"
                              "p [0x00]\nback\np [0]\n");
    EXPECT_EQ(out.err, "");
    const std::vector<std::string> lines = lines_of(out.out);
    const std::vector<std::string> answers(lines.end() - 10, lines.end());
    EXPECT_EQ(answers[0], "r2 = 01");
    EXPECT_EQ(answers[1], "r2 = 01");
    EXPECT_EQ(answers[2], "undone: 1 value set by hand");
    EXPECT_EQ(answers[4], "r2 = 04");
    EXPECT_EQ(answers[5], "[00] = 7F");
    EXPECT_EQ(answers[6], "[00] = 7F");
    EXPECT_EQ(answers[9], "[00] = 03");
}

TEST_F(DebugSession, HostileCommandsAnswerAndTheSessionGoesOn) {
    const std::string long_line = "print " + std::string(1 << 20, 'r');
    const std::string commands[] = {
        "frobnicate",
        "stpe",
        "step 99999999999999999999999",
        "goto 18446744073709551615",
        "back 18446744073709551615",
        "print [00..256]",
        "print [FF..00]",
        "watch [00..1FF]",
        "set [256] = 1",
        "set r1 = -1",
        "break 256",
        "delete 99",
        std::string("print \x1b[2J\x07"),
        long_line,
        "print " + std::string(100000, '['),
    };
    std::string script;
    for (const std::string& c : commands) script += c + "\nprint pc\n";
    const Outcome out = debug("multiply.s", script);
    EXPECT_EQ(out.status, 0);
    // Every fault one line on standard error, and every "print pc" after it answered.
    const std::vector<std::string> errors = lines_of(out.err);
    std::size_t answered = 0;
    for (const std::string& line : lines_of(out.out)) answered += line.rfind("pc = ", 0) == 0;
    EXPECT_EQ(answered, std::size(commands));
    // goto and back of an absurd count are done as far as they go; the rest are refused.
    EXPECT_EQ(errors.size(), std::size(commands) - 2) << out.err;
    for (const std::string& line : errors) {
        EXPECT_NE(line.find(": error: "), std::string::npos) << line;
        EXPECT_LT(line.size(), 300u);
        EXPECT_EQ(line.find('\x1b'), std::string::npos);
    }
    EXPECT_EQ(errors.at(0), "frobnicate: error: no such command (help lists them)");
    EXPECT_EQ(errors.at(1), "stpe: error: no such command (did you mean 'step'?)");
    EXPECT_EQ(out.out.find('\x1b'), std::string::npos);

    // A source line of a megabyte, with control bytes, is shown cut short and escaped.
    write("long.s", "ADDI r1, r1, 1 ; \x1b[2J" + std::string(1 << 20, 'x') + "\n");
    const Outcome shown = debug("long.s", "step\nlist\n");
    EXPECT_EQ(shown.status, 0);
    for (const std::string& line : lines_of(shown.out)) EXPECT_LT(line.size(), 400u);
    EXPECT_EQ(shown.out.find('\x1b'), std::string::npos);
}

TEST_F(DebugSession, StatusOptionsAndTheSameTextEveryTime) {
    // A program that cannot be read: status 1 before anything is shown.
    Outcome out = debug("missing.s", "step\n");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.out, "");
    write("bad.s", "ADDI r1, r1\n");
    EXPECT_EQ(debug("bad.s", "").status, 1);
    // Bad usage: 2.
    EXPECT_EQ(debug("multiply.s --history lots", "").status, 2);
    EXPECT_EQ(debug("", "").status, 2);
    // -ex runs first, in order; quit ends the session there with 0.
    out = debug("multiply.s -ex 'step 2' -ex 'print r1' --ram data.ram",
                "print r2\nquit\nprint r3\n");
    EXPECT_EQ(out.status, 0);
    const std::vector<std::string> lines = lines_of(out.out);
    ASSERT_EQ(lines.size(), 5u) << out.out;
    EXPECT_EQ(lines[3], "r1 = 03");
    EXPECT_EQ(lines[4], "r2 = 04");
    // The history bound: going back beyond it says so.
    out = debug("multiply.s --ram data.ram --history 5", "step 10\nback 10\nback\n");
    EXPECT_NE(out.out.find("stopped at step 5: the oldest step held (--history 5)"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.err.find("back: error: already at step 5"), std::string::npos) << out.err;
    // A script gives the same text every time, with no prompt and no colour.
    const std::string script = "step 3\nbreak done\nc\nwhen r3\nlist\nhelp\ninfo breakpoints\nrc\n";
    const Outcome first = debug("multiply.s --ram data.ram", script);
    const Outcome again = debug("multiply.s --ram data.ram", script);
    EXPECT_EQ(first.out, again.out);
    EXPECT_EQ(first.out.find("(isa4)"), std::string::npos);
    EXPECT_EQ(first.out.find('\x1b'), std::string::npos);
}

}  // namespace
