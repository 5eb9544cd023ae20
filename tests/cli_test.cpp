// The isa4 command as a user runs it: files in, files and text out, exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>
#include <string>

#include "tests/scratch_dir.h"

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class Isa4Command : public ::testing::Test {
protected:
    ScratchDir scratch;
    const std::string& dir = scratch.dir();

    std::string path(const std::string& name) const { return scratch.path(name); }

    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }

    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs `isa4 ARGS` in the scratch directory.
    Result isa4(const std::string& args) const {
        const std::string command =
            "cd '" + dir + "' && '" ISA4_BINARY "' " + args + " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read("stdout.txt");
        r.err = read("stderr.txt");
        return r;
    }
};

TEST_F(Isa4Command, AssemblesListsAndReassemblesToTheSameImage) {
    write("p.s",
          "start: ADDI r1, r0, 'A'\n"
          "       MOVE [0xA0], r1\n"
          "       .org 0x30\n"
          "       .word 0xF3ABCD\n"
          "       JZ start\n");
    Result r = isa4("asm p.s -o p.rom");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string image = read("p.rom");
    ASSERT_EQ(image.size(), 768u);
    EXPECT_EQ(image.substr(0, 6), std::string("\x01\x10\x41\x05\xA0\x01", 6));
    EXPECT_EQ(image.substr(0x30 * 3, 6), std::string("\xF3\xAB\xCD\x02\x00\xFF", 6));

    r = isa4("dis p.rom");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("ADDI r1, r0, 0x41"), std::string::npos) << r.out;
    write("back.s", r.out);
    ASSERT_EQ(isa4("asm back.s -o back.rom").status, 0);
    EXPECT_EQ(read("back.rom"), image);
}

TEST_F(Isa4Command, SourceErrorsNameFileLineAndColumnAndWriteNoImage) {
    write("bad.s", "ADDI r1, r0, 1\nADDI r1, r0, 300\nJZ nowhere\n");
    write("bad.rom", "old");
    const Result r = isa4("asm bad.s -o bad.rom");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.s:2:14: error: immediate 300 is out of range"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("bad.s:3:4: error: undefined name 'nowhere'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2 errors; no image written"), std::string::npos) << r.err;
    EXPECT_EQ(read("bad.rom"), "old");
}

TEST_F(Isa4Command, AsmWarnsOfUnusedNamesAndJumpsIntoDataButWritesTheImage) {
    write("w.s", ".equ spare, 3\nJZ table\nstop: JZ @stop\ntable: .word 7\n");
    const Result r = isa4("asm w.s -o w.rom");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err,
              "w.s:1:6: warning: .equ name 'spare' is never used: no operand names it\n"
              "w.s:2:1: warning: JZ to data: when taken, 02 runs next, which holds .word data "
              "from line 4, not an instruction\n");
    EXPECT_EQ(read("w.rom").size(), 768u);
    // A program without a halting JZ is no fault of the command line's.
    write("loop.s", "loop: ADDI r1, r1, 1\nJZ loop\n");
    EXPECT_EQ(isa4("asm loop.s -o loop.rom").err, "");
}

TEST_F(Isa4Command, RunsToAHaltAndChecksExpectations) {
    write("p.s",
          "loop: ADDI r1, r1, 1\n"
          "      MOVE [0x10], r1\n"
          "      ADDI r2, r1, -3\n"
          "      JZ done\n"
          "      ADDI r0, r0, 0\n"
          "      JZ loop\n"
          "done: JZ @done\n");
    ASSERT_EQ(isa4("asm p.s -o p.rom").status, 0);
    write("good.expect", "pc = 6\nr1 = 3\n[0x10] = 3\n");
    write("bad.expect", "pc = 6\nr1 = 4\n[0x10..0x11] = 3, 1\n");

    Result r = isa4("run p.rom --expect good.expect --save-ram out.ram");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("stopped after 17 steps: halting JZ at 06"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PC: 06  Z: 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1  03 00 00"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("good.expect: all 3 expected values match"), std::string::npos);
    const std::string ram = read("out.ram");
    ASSERT_EQ(ram.size(), 256u);
    EXPECT_EQ(ram[0x10], 3);

    r = isa4("run p.rom --quiet --expect bad.expect");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.expect:2:1: error: r1 is 03, expected 04"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("bad.expect:3:1: error: [11] is 00, expected 01"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("2 of 4 expected values differ"), std::string::npos) << r.err;

    r = isa4("run p.rom --trace --steps 2 --quiet");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("     2  01  51001  MOVE [0x10], r1"), std::string::npos) << r.out;
}

TEST_F(Isa4Command, RunsAreBoundedAndBreakpointsStopThem) {
    write("spin.s", "loop: ADDI r0, r0, 0\nJZ loop\n");
    ASSERT_EQ(isa4("asm spin.s -o spin.rom").status, 0);

    Result r = isa4("run spin.rom --quiet");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no halting JZ within 100000 steps"), std::string::npos) << r.err;

    r = isa4("run spin.rom --steps 1000");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("stopped after 1000 steps: step limit"), std::string::npos) << r.out;
    EXPECT_EQ(isa4("run spin.rom --steps 1000 --until-halt").status, 1);

    r = isa4("run spin.rom --break 0x01");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("stopped after 1 steps: breakpoint at 01"), std::string::npos) << r.out;
}

TEST_F(Isa4Command, RamImagesFromDataFiles) {
    write("d.data", "[0] = 7\n[0x10..0x12] = 'a', 'b', 'c'\n");
    ASSERT_EQ(isa4("ram d.data -o d.ram").status, 0);
    const std::string ram = read("d.ram");
    ASSERT_EQ(ram.size(), 256u);
    EXPECT_EQ(ram[0], 7);
    EXPECT_EQ(ram.substr(0x10, 3), "abc");

    write("bad.data", "r1 = 2\n");
    const Result r = isa4("ram bad.data -o bad.ram");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.data:1:1: error: a RAM image holds only RAM cells"),
              std::string::npos)
        << r.err;
}

TEST_F(Isa4Command, UsageMistakesExitWithTwoAndHelpWithZero) {
    // Whoever finds the mistake, the argument library or the command, it is said in one
    // shape: what is wrong, then where to read how the command is called.
    write("s.suite", "case a\nexpect r1 = 1\n");
    const struct {
        const char* args;
        const char* command;
        const char* what;
    } mistakes[] = {
        {"", "isa4", "A subcommand is required"},
        {"frobnicate", "isa4", "unknown command 'frobnicate'"},
        {"tset s.suite", "isa4", "unknown command 'tset' (did you mean 'test'?)"},
        {"asm", "isa4 asm", "SOURCE is required"},
        {"run x.rom --bogus", "isa4 run", "The following argument was not expected: --bogus"},
        {"run x.rom --break 300", "isa4 run", nullptr},
        {"run x.rom --steps many", "isa4 run", nullptr},
        {"test s.suite", "isa4 test", "name the programs to grade, or --submission-dir"},
        {"test s.suite a.s b.s --gradescope r.json", "isa4 test",
         "--gradescope grades one program, not 2"},
        {"asm s.suite -o ''", "isa4 asm", "--output: a file name cannot be empty"},
    };
    for (const auto& m : mistakes) {
        const Result r = isa4(m.args);
        EXPECT_EQ(r.status, 2) << m.args;
        const std::string head = std::string(m.command) + ": error: ";
        const std::string tail = std::string(m.command) + ": try '" + m.command + " --help'\n";
        EXPECT_EQ(r.err.rfind(head, 0), 0u) << m.args << ": " << r.err;
        if (m.what != nullptr) {
            EXPECT_EQ(r.err, head + m.what + "\n" + tail) << m.args;
        }
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_GE(r.err.size(), tail.size());
        EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << m.args;
    }
    // A faulty image says how it was read; only the commands that load a machine's ROM
    // say that it is unchanged.
    write("g.hex", ":03000G00011001EB\n");
    for (const char* args : {"run g.hex", "dis g.hex", "convert g.hex -o x.rom --to raw"}) {
        const Result r = isa4(args);
        EXPECT_NE(r.err.find("g.hex:1:7: note: read as Intel HEX"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("unchanged") != std::string::npos, args[0] == 'r') << r.err;
    }

    Result r = isa4("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("asm"), std::string::npos);
    r = isa4("run --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--expect"), std::string::npos);
}

TEST_F(Isa4Command, MissingFilesAreProgramFailures) {
    Result r = isa4("run missing.rom");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.rom: error: cannot load the ROM image (No such file"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(isa4("asm missing.s -o x.rom").status, 1);
    EXPECT_EQ(isa4("dis missing.rom").status, 1);
}

// A ROM with words that use bits 23..20, a zero run and a last word, written in every
// format, read back by isa4 and turned into the raw image by Debian's Intel HEX tools.
TEST_F(Isa4Command, EveryFormatHoldsTheSameWordsAndIntelHexToolsAgree) {
    write("p.s", "start: ADDI r1, r0, 5\n.word 0xF3ABCD, 0x100000\n.org 0xFF\nJZ start\n");
    ASSERT_EQ(isa4("asm p.s -o p.rom").status, 0);
    for (const char* format : {"ihex", "logisim", "raw"}) {
        const std::string f(format);
        ASSERT_EQ(isa4("asm p.s -o p." + f + " --format " + f).status, 0) << format;
        for (const char* to : {"raw", "ihex", "logisim"}) {
            const Result r = isa4("convert p." + f + " -o q." + to + " --to " + to);
            ASSERT_EQ(r.status, 0) << r.err;
            ASSERT_EQ(isa4("convert q." + std::string(to) + " -o back.rom --to raw").status, 0);
            EXPECT_EQ(read("back.rom"), read("p.rom")) << format << " -> " << to;
        }
    }
    EXPECT_EQ(read("p.logisim").substr(0, 9), "v2.0 raw\n");
    ASSERT_EQ(std::system(("cd '" + dir +
                           "' && objcopy -I ihex -O binary p.ihex o.bin && "
                           "srec_cat p.ihex -Intel -o s.bin -Binary && "
                           "objcopy -I binary -O ihex p.rom o.hex && "
                           "srec_cat p.rom -Binary -o s.hex -Intel")
                              .c_str()),
              0);
    EXPECT_EQ(read("o.bin"), read("p.rom"));
    EXPECT_EQ(read("s.bin"), read("p.rom"));
    for (const char* hex : {"o.hex", "s.hex"}) {
        ASSERT_EQ(isa4(std::string("convert ") + hex + " -o t.rom --to raw").status, 0) << hex;
        EXPECT_EQ(read("t.rom"), read("p.rom")) << hex;
    }
}

TEST_F(Isa4Command, FaultyTextImagesAreRefusedWithTheirLineAndNothingIsWritten) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {":0100000001FE\n:0100000001FF\n", "f:2:12: error: bad checksum"},
        {":00000006FA\n", "f:1:8: error: unknown record type 06"},
        {":0103000001FB\n", "f:1:10: error: address 0x0300 is beyond"},
        {":0100000001F\n", "f:1:12: error: odd number of hex digits"},
        {"v2.0 raw\n1000000\n", "f:2: error: value 1000000 is too wide"},
        {"v2.0 raw\n# many\n257*0\n", "f:3: error: a repeat count is 1 to 256"},
        {"v2.0 raw\n256*0 1\n", "f:2: error: more than 256 values"},
        {"v2.0 raw\n12 x3\n", "f:2: error: 'x' is not a hex digit"},
    };
    for (const auto& c : cases) {
        write("f", c.text);
        std::remove(path("out.rom").c_str());
        const Result r = isa4("convert f -o out.rom --to raw");
        EXPECT_EQ(r.status, 1) << c.text;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.text << r.err;
        EXPECT_TRUE(read("out.rom").empty()) << c.text;
    }
}

TEST_F(Isa4Command, SymbolsNameLabelsInListingsAndTracesAndTheListingReassembles) {
    write("p.s",
          ".equ cell, 0x10\nloop: MOVE [cell], r1\n ADDI r0, r0, 0\n JZ done\n"
          " JZ loop\ndone: JZ @done\n");
    ASSERT_EQ(isa4("asm p.s -o p.hex --format ihex --symbols p.sym").status, 0);
    EXPECT_EQ(read("p.sym"),
              "# isa4 symbols: name address; \"equ\" marks a constant\n"
              "loop 0x00\ndone 0x04\ncell 0x10 equ\n");
    Result r = isa4("dis p.hex --symbols p.sym");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("loop:   MOVE [cell], r1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("done:   JZ @done"), std::string::npos) << r.out;
    write("back.s", r.out);
    ASSERT_EQ(isa4("asm back.s -o back.hex --format ihex").status, 0);
    EXPECT_EQ(read("back.hex"), read("p.hex"));
    r = isa4("run p.hex --trace --symbols p.sym --quiet");
    EXPECT_NE(r.out.find("JZ done"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("next 04 (done)"), std::string::npos) << r.out;
    write("bad.sym", "r1 0x00\nok 0x200\n");
    r = isa4("dis p.hex --symbols bad.sym");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.sym:1:1: error"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("bad.sym:2:4: error: a label's address"), std::string::npos) << r.err;
}

}  // namespace

namespace {

struct HostileCase {
    const char* name;   // the test's name, after the suite's
    const char* setup;  // shell run in the scratch directory first
    const char* args;
    int status;
    const char* message;  // part of stderr
};

// How GoogleTest shows a case in its messages.
void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name << ": isa4 " << c.args;
}

class Isa4Hostile : public Isa4Command, public ::testing::WithParamInterface<HostileCase> {};

// Every name under `dir` but the runs' own stdout.txt and stderr.txt, with what it is: a
// regular file's bytes, a link's target, or its type. Nodes are never opened.
std::map<std::string, std::string> tree_of(const std::string& dir) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        if (name == "stdout.txt" || name == "stderr.txt") continue;
        if (entry.is_symlink()) {
            tree[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            tree[name] = "file " + bytes.str();
        } else {
            tree[name] = entry.is_directory() ? "folder" : "node";
        }
    }
    return tree;
}

TEST_P(Isa4Hostile, FailsAtOnceWithAClearMessageAndWritesNothing) {
    const HostileCase& c = GetParam();
    if (std::string(c.setup).rfind("mknod ", 0) == 0 && geteuid() != 0)
        GTEST_SKIP() << "needs root to make a device node of its own";
    write("p.s", "ADDI r1, r0, 1\nh: JZ h\n");
    write("d.txt", "[0] = 1\n");
    write("s.suite", "case a\nexpect r1 = 1\n");
    ASSERT_EQ(isa4("asm p.s -o p.rom").status, 0);
    ASSERT_EQ(std::system(("cd '" + dir + "' && " + c.setup).c_str()), 0);
    const auto before = tree_of(dir);
    const Result r = isa4(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(tree_of(dir), before) << "a refused command changed a file";
    // Tokens are cut and differences counted, not listed: the messages stay short.
    std::istringstream lines(r.err);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_LE(line.size(), 200u) << line.substr(0, 400);
    EXPECT_LE(count, 110u);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Isa4Hostile,
    ::testing::Values(
        HostileCase{"FifoAsSource", "mkfifo f", "asm f -o x.rom", 1,
                    "f: error: cannot read the file (Not a regular file)"},
        HostileCase{"DeviceAsRamData", "mknod z c 1 5", "ram z -o x.ram", 1,
                    "(Not a regular file)"},
        HostileCase{"DirectoryAsExpectations", "mkdir e", "run p.rom --expect e", 1,
                    "(Is a directory)"},
        HostileCase{"SourceOver4MiB", "truncate -s 5M big.s", "asm big.s -o x.rom", 1,
                    "File too large"},
        HostileCase{"EmptyExpectationsName", "true", "run p.rom --expect ''", 2, "empty"},
        HostileCase{"EmptySourceName", "true", "asm '' -o x.rom", 2, "empty"},
        HostileCase{"NegativeSteps", "true", "run p.rom --steps -1", 2, "count"},
        HostileCase{"StepsPast64Bits", "true", "run p.rom --steps 99999999999999999999", 2,
                    "count"},
        HostileCase{"EmptySteps", "true", "run p.rom --steps ''", 2, "count"},
        HostileCase{"BreakPastFF", "true", "run p.rom --break 256", 2, "address"},
        HostileCase{"ExpectationsNamingNothing", "touch empty.expect",
                    "run p.rom --expect empty.expect", 1, "no expected values"},
        HostileCase{"OutputOverInput", "true", "asm p.s -o p.s", 2, "same file as the input"},
        HostileCase{"OutputLinkedToInput", "ln -s p.rom link.rom", "run p.rom --save-ram link.rom",
                    2, "same file"},
        HostileCase{"ImmediatePast64Bits", "printf 'ADDI r1, r0, 99999999999999999999\\n' > n.s",
                    "asm n.s -o x.rom", 1, "immediate 99999999999999999999 is out of range"},
        HostileCase{
            "SumPast64Bits",
            "printf '.equ a, 0x4000000000000000\\n.equ g, a + a\\nADDI r1, r0, g + 7\\n' > w.s",
            "asm w.s -o x.rom", 1, "immediate g + 7 is out of range"},
        HostileCase{"ControlByteInSource", "printf 'ADDI r1, r0, \\033x\\n' > c.s",
                    "asm c.s -o x.rom", 1, "\\x1b"},
        HostileCase{"FullStandardOutput", "mknod full c 1 7",
                    "dis p.rom 2>stderr.txt >full; exit $? #", 1, "cannot write the output"},
        HostileCase{"FifoAsTraceProgram", "mkfifo f", "trace f -o x.html", 1,
                    "(Not a regular file)"},
        HostileCase{"TraceOntoItsProgram", "true", "trace p.s -o p.s", 2, "same file as the input"},
        HostileCase{"TraceStepsPastThePage", "true", "trace p.s -o x.html --steps 1000001", 2,
                    "at most that many"},
        HostileCase{"TraceOntoDevice", "mknod full c 1 7", "trace p.s -o full", 1,
                    "full: error: cannot write the page (Not a regular file)"},
        HostileCase{"TraceOfBrokenSource", "printf 'MUL r1\\n' > b.s", "trace b.s -o x.html", 1,
                    "does not assemble; no page written"},
        HostileCase{"FeedbackOntoFile", "touch f", "test s.suite p.s --feedback f", 1,
                    "cannot write the page"},
        // Outputs named twice, as the system resolves the names, also before they exist.
        HostileCase{"ReportOntoFeedbackPage", "true",
                    "test s.suite p.s --feedback out --csv out/index.html", 2,
                    "isa4 test: error: --feedback out/index.html names the same file as --csv"},
        HostileCase{
            "SymbolsOntoTheImage", "true", "asm p.s -o x.rom --symbols ./x.rom", 2,
            "isa4 asm: error: --symbols ./x.rom names the same file as -o (x.rom); nothing"},
        HostileCase{"SymbolsHardLinkedToTheImage", "ln p.rom h.rom",
                    "asm p.s -o p.rom --symbols h.rom", 2, "names the same file as -o"},
        HostileCase{
            "ReportsNamedTwice", "true", "test s.suite p.s --csv r --junit r", 2,
            "isa4 test: error: --csv r names the same file as --junit; nothing was written\n"
            "isa4 test: try 'isa4 test --help'\n"},
        HostileCase{"ReportsThroughALinkToNothingYet", "ln -s r.xml l.xml",
                    "test s.suite p.s --junit r.xml --gradescope l.xml", 2,
                    "--gradescope l.xml names the same file as --junit (r.xml)"},
        HostileCase{"EmptyReportName", "true", "test s.suite p.s --csv ok --junit ''", 2,
                    "--junit: a file name cannot be empty"},
        // All or nothing: every input and output is checked before anything is written.
        HostileCase{"SymbolsOntoAFolder", "mkdir D && printf 'ADDI r2, r0, 2\\n' > q.s",
                    "asm q.s -o p.rom --symbols D", 1,
                    "D: error: cannot write the symbol file (Is a directory); nothing was written"},
        HostileCase{"SavedRamBeforeBadExpectations", "echo old > X && echo bad > bad.expect",
                    "run p.rom --save-ram X --expect bad.expect", 1,
                    "bad.expect:1:1: error: expected pc, z"},
        HostileCase{"ReportIntoAMissingFolder", "true",
                    "test s.suite p.s --csv ok --junit missing/x", 1,
                    "missing/x: error: cannot write the report (No such file or directory)"},
        // An autograder takes the suite's files, and only from the suite's folder.
        HostileCase{"AutograderOfABrokenSuite", "printf 'cse a\\n' > b.suite",
                    "autograder b.suite -o a.zip", 2, "; no autograder written"},
        HostileCase{"AutograderWithARamImageAboveTheSuite",
                    "mkdir ex && head -c 256 p.rom > x.ram && "
                    "printf 'case a\\n  ram ../x.ram\\n  expect r1 = 1\\n' > ex/s.suite",
                    "autograder ex/s.suite -o a.zip", 2, "is outside the suite's folder"},
        HostileCase{"AutograderOntoItsRamImage",
                    "head -c 256 p.rom > in.ram && "
                    "printf 'case a\\n  ram in.ram\\n  expect r1 = 1\\n' > r.suite",
                    "autograder r.suite -o in.ram", 2, "same file as the input in.ram"},
        HostileCase{"AutograderWithAPackageThatIsNone", "true",
                    "autograder s.suite -o a.zip --package p.s", 2, "not a Debian package"},
        HostileCase{"FeedbackTwoFoldersDeep", "true", "test s.suite p.s --feedback new/deeper", 1,
                    "cannot write the page (No such file or directory)"},

        // Symbol files: what asm writes, dis reads back, or asm refuses.
        HostileCase{"SymbolFileOverTheCap", "seq -f 'a%g:' 1 470000 > big.s",
                    "asm big.s -o x.rom --symbols x.sym", 1,
                    "x.sym: error: the symbol file would be"},
        HostileCase{
            "SymbolNamedTwiceAtLength",
            "n=$(printf '%0100000d' 0 | tr 0 a); printf '%s 0x00\\n%s 0x01\\n' $n $n > d.sym",
            "dis p.rom --symbols d.sym", 1, "...' is already named on line 1"},
        HostileCase{"SymbolPast64Bits", "printf 'a -0x8000000000000001 equ\\n' > w.sym",
                    "dis p.rom --symbols w.sym", 1,
                    "w.sym:1:3: error: number 0x8000000000000001 is out of range"},

        // Readers that guess: text images fail with their line and say how they were
        // read; text that is no image is refused where an image is read.
        HostileCase{"IhexShortFirstRecord", "printf ':0000\\n' > s.hex",
                    "convert s.hex -o x.rom --to raw", 1,
                    "s.hex:1:1: error: record too short (at least a count, address, type and "
                    "checksum)\ns.hex:1:1: note: read as Intel HEX, as its first line starts with "
                    "':'\n"},
        HostileCase{"IhexBadDigitAfterBlankLine", "printf '\\n:03000G00011001EB\\n' > g.hex",
                    "run g.hex", 1,
                    "g.hex:2:7: error: 'G' is not a hex digit\ng.hex:2:7: note: read as Intel HEX, "
                    "as its first line starts with ':'\ng.hex:2:7: note: the ROM is unchanged\n"},
        HostileCase{"IhexAfterByteOrderMark", "printf '\\357\\273\\277:0300000001100EB\\n' > m.hex",
                    "dis m.hex", 1,
                    "odd number of hex digits (a record is whole bytes)\nm.hex:1:16: note: read as "
                    "Intel HEX"},
        HostileCase{"IhexVeryLongRecord", "printf ':%0600d\\n' 0 > l.hex",
                    "convert l.hex -o x.rom --to raw", 1,
                    "l.hex:1:522: error: record longer than any Intel HEX record"},
        HostileCase{"LogisimWithoutHeader", "printf '1 2 3\\n' > n.lgs",
                    "convert n.lgs -o x.rom --to raw", 1, "n.lgs:1: error: not an image: text"},
        HostileCase{"SourceRunAsImage", "true", "run p.s", 1, "p.s:1: error: not an image"},
        HostileCase{
            "ImageAssembledAsSource", "true", "asm p.rom -o x.rom", 1,
            "p.rom: error: an image, not a source; no image written\np.rom: note: read as a "
            "raw image, as it holds a NUL byte\n"},
        HostileCase{
            "RamInLinesSpellingIntelHex", "printf ':0300%0250d\\n' 0 > c.ram",
            "convert c.ram -o x.ram --to raw --ram", 1,
            "note: read as Intel HEX, as its first line starts with ':'\nc.ram:1:2: note: it "
            "has a raw image's size: --from raw"},
        HostileCase{"PrintableRamWithoutFrom", "printf '%0255d\\n' 0 > t.ram",
                    "run p.rom --ram t.ram", 1,
                    "--ram-from raw for run's RAM) to read it as a raw image"},

        // Intel HEX that says an address twice or ends early.
        HostileCase{"IhexAddressTwice",
                    "printf ':03000000011001EB\\n:0100020005F8\\n:00000001FF\\n' > d.hex",
                    "convert d.hex -o x.rom --to raw", 1,
                    "d.hex:2:10: error: address 0x0002 is already given on line 1"},
        HostileCase{"IhexWithoutEndRecord", "printf ':03000000011001EB\\n' > e.hex",
                    "convert e.hex -o x.rom --to raw", 1,
                    "e.hex:1: error: the file ends without the end-of-file record"},

        // ROM and RAM mix-ups: a raw image of the other memory's size.
        HostileCase{"RomConvertedAsRam", "true", "convert p.rom -o x.ram --to raw --ram", 1,
                    "p.rom: error: 768 bytes, the size of a raw ROM image: a raw RAM image is "
                    "256 bytes"},
        HostileCase{"RomLoadedAsRam", "true", "run p.rom --ram p.rom", 1, "768 bytes"},
        HostileCase{"RamRunAsRom", "truncate -s 256 z.ram", "run z.ram", 1,
                    "z.ram: error: 256 bytes, the size of a raw RAM image"},

        // Expectations that differ everywhere: counted, a hundred shown.
        HostileCase{"ExpectationsDifferingEverywhere",
                    "for i in $(seq 300); do echo '[0..255] = 1'; done > m.expect",
                    "run p.rom --steps 1 --quiet --expect m.expect", 1,
                    "m.expect: error: 76800 of 76800 expected values differ (76700 more not "
                    "shown)"}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

}  // namespace

// One rule tells every image apart, whatever its first bytes: text images may start
// with blank lines or a byte order mark, raw RAM images may spell a text image's first
// line, and --from reads a file in the format it names.
TEST_F(Isa4Command, ImagesAreReadByContentOrByTheFormatGiven) {
    const std::string record = ":03000000011001EB\n:00000001FF\n";  // ADDI r1, r0, 1
    std::string rom(768, '\0');
    rom.replace(0, 3, "\x01\x10\x01");
    std::string colon_ram(256, '\0'), header_ram(256, '\0');
    colon_ram.replace(0, 11, ":00000001FF");
    header_ram.replace(0, 9, "v2.0 raw\n");
    // No NUL byte to tell it raw: a line end, and bytes that are no UTF-8.
    std::string colon_lines_ram(256, '\xC5');
    colon_lines_ram.replace(0, 6, ":0300\n");
    const std::string printable_ram(256, 'A');
    std::string lines_ram = printable_ram;
    lines_ram[100] = '\n';
    const struct {
        const char* name;
        std::string file;
        const char* options;
        std::string image;
    } cases[] = {
        {"ihex after a blank line", "\n" + record, "", rom},
        {"ihex after a byte order mark", "\xEF\xBB\xBF" + record, "", rom},
        {"raw RAM spelling an end record", colon_ram, " --ram", colon_ram},
        {"raw RAM spelling the Logisim header", header_ram, " --ram", header_ram},
        {"raw RAM of lines starting with ':'", colon_lines_ram, " --ram", colon_lines_ram},
        {"printable RAM on one line", printable_ram, " --ram", printable_ram},
        {"printable RAM in lines read as raw", lines_ram, " --ram --from raw", lines_ram},
        {"RAM-sized ROM read as raw", std::string(256, '\0'), " --from raw",
         std::string(768, '\0')},
    };
    for (const auto& c : cases) {
        write("in", c.file);
        const Result r = isa4(std::string("convert in -o out --to raw") + c.options);
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        EXPECT_EQ(read("out"), c.image) << c.name;
    }
    write("p.rom", rom);
    write("t.ram", lines_ram);
    EXPECT_EQ(isa4("run p.rom --steps 0 --quiet --ram t.ram").status, 1);
    EXPECT_EQ(isa4("run p.rom --steps 0 --quiet --ram t.ram --ram-from raw").status, 0);
}

// A raw image is written as asked even when its bytes would read back as another format,
// but with a warning that names the rule and the option that reads it as raw; read with
// that option it comes back byte for byte.
TEST_F(Isa4Command, RawImagesThatReadBackAsAnotherFormatAreWrittenWithAWarning) {
    // The cell values of a RAM whose 256 bytes are `start` then 'A's.
    const auto cells = [](const std::string& start) {
        std::string bytes = start + std::string(256 - start.size(), 'A');
        std::string text = "[0x00..0xFF] =";
        for (std::size_t a = 0; a < 256; ++a)
            text += (a == 0 ? " " : ", ") + std::to_string(static_cast<unsigned char>(bytes[a]));
        return std::make_pair(text + "\n", bytes);
    };
    std::string words;  // a ROM whose first line is an Intel HEX record's start
    for (int a = 0; a < 256; ++a) words += a == 1 ? ".word 0x0A4141\n" : ".word 0x3A4141\n";
    const struct {
        const char* name;
        const char* command;  // writes out.img from in.txt
        std::string input;
        const char* warning;  // "" for none
        const char* read_back;
    } cases[] = {
        {"RAM spelling the Logisim header", "ram in.txt -o out.img", cells("v2.0 raw\n").first,
         "read as a Logisim image, as its first line is 'v2.0 raw'", "--ram --from raw"},
        {"RAM of Intel HEX lines", "ram in.txt -o out.img", cells(":0300\n").first,
         "read as Intel HEX, as its first line starts with ':'", "--ram --from raw"},
        {"RAM of printable lines", "ram in.txt -o out.img", cells("AB\nCD").first, "read as text",
         "--ram --from raw"},
        {"ROM of Intel HEX lines", "asm in.txt -o out.img", words,
         "read as Intel HEX, as its first line starts with ':'", "--from raw"},
        {"RAM with a zero cell", "ram in.txt -o out.img", "[0] = 0x76\n[1] = 0x32\n", "", "--ram"},
        {"RAM in Logisim's format", "ram in.txt -o out.img --format logisim",
         cells("v2.0 raw\n").first, "", "--ram"},
    };
    for (const auto& c : cases) {
        write("in.txt", c.input);
        const Result r = isa4(c.command);
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        const std::string written = read("out.img");
        if (*c.warning == '\0') {
            EXPECT_EQ(r.err, "") << c.name;
        } else {
            EXPECT_NE(r.err.find("out.img: warning: this raw"), std::string::npos) << c.name;
            EXPECT_NE(r.err.find(c.warning), std::string::npos) << c.name << ": " << r.err;
            EXPECT_NE(r.err.find("read it back with --"), std::string::npos) << c.name;
            EXPECT_NE(r.err.find("-from raw"), std::string::npos) << c.name;
            // convert writes it again as raw, and warns the same.
            const Result again =
                isa4(std::string("convert out.img -o again.img --to raw ") + c.read_back);
            EXPECT_EQ(again.status, 0) << c.name << ": " << again.err;
            EXPECT_EQ(read("again.img"), written) << c.name;
            EXPECT_NE(again.err.find(c.warning), std::string::npos) << c.name;
        }
    }
    // Read without the option, the Logisim-looking RAM is not the RAM that was written.
    write("in.txt", cells("v2.0 raw\n").first);
    ASSERT_EQ(isa4("ram in.txt -o out.img").status, 0);
    EXPECT_EQ(read("out.img"), cells("v2.0 raw\n").second);
    EXPECT_NE(isa4("convert out.img -o again.img --to raw --ram").status, 0);
}

// isa4 test judges a program as asm and run do: a stray control byte in a comment is
// still a source, a ROM of FFFFFF words and a ROM padded past the text cap are images.
TEST_F(Isa4Command, TestJudgesProgramsAsAsmAndRunDo) {
    write("s.suite", "case a\nexpect r1 = 1\n");
    write("stray.s", "ADDI r1, r0, 1 ; stray \x01 byte\nADDI r0, r0, 0\nh: JZ @h\n");
    ASSERT_EQ(isa4("asm stray.s -o p.rom").status, 0);
    ASSERT_EQ(
        std::system(("cd '" + dir + "' && cp p.rom pad.rom && truncate -s 5M pad.rom").c_str()), 0);
    write("ff.rom", std::string(768, '\xff'));
    for (const char* program : {"stray.s", "pad.rom"}) {
        const Result r = isa4(std::string("test s.suite ") + program);
        EXPECT_EQ(r.status, 0) << program << ": " << r.out << r.err;
    }
    EXPECT_EQ(isa4("run pad.rom --quiet").status, 0);
    const Result r = isa4("test s.suite ff.rom");
    EXPECT_NE(r.out.find("did not halt"), std::string::npos) << r.out << r.err;
}

// A listing reassembles whatever the image's name holds, and names its constants with
// every bit: the most negative 64-bit value and one past 32 bits read back exactly.
TEST_F(Isa4Command, SymbolFilesAndListingsRoundTrip) {
    write("p.s",
          ".equ low, -0x7FFFFFFFFFFFFFFF - 1\n.equ big, 0x100000005\n"
          "top: ADDI r1, r0, 1\n MOVE [5], r1\n ADDI r0, r0, 0\nh: JZ @h\n");
    ASSERT_EQ(isa4("asm p.s -o 'a\nb.rom' --symbols p.sym").status, 0);
    EXPECT_EQ(read("p.sym"),
              "# isa4 symbols: name address; \"equ\" marks a constant\n"
              "low -0x8000000000000000 equ\ntop 0x00\nh 0x03\nbig 0x100000005 equ\n");
    const Result r = isa4("dis 'a\nb.rom' --symbols p.sym");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "; a\\x0ab.rom");
    EXPECT_NE(r.out.find(".equ big, 0x100000005\n"), std::string::npos) << r.out;
    write("back.s", r.out);
    ASSERT_EQ(isa4("asm back.s -o back.rom --symbols back.sym").status, 0) << r.out;
    EXPECT_EQ(read("back.rom"), read("a\nb.rom"));
    EXPECT_EQ(read("back.sym"), read("p.sym"));
}

// A save over a file its user may not write is refused, as writing it in place would be,
// even where the directory would let a rename replace it. Root may write anything, so the
// saves run as the unprivileged user 65534 (setpriv drops root's rights).
TEST_F(Isa4Command, SavesRefuseFilesTheUserMayNotWrite) {
    if (geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "needs root and setpriv to run a save as another user";
    write("p.s", "ADDI r1, r0, 1\n");
    write("d.txt", "[0] = 1\n");
    ASSERT_EQ(isa4("asm p.s -o old.rom").status, 0);
    write("old.ram", std::string(256, '\0'));
    const std::string old_rom = read("old.rom");
    ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
    for (const char* name : {"old.rom", "old.ram"}) {
        ASSERT_EQ(chown(path(name).c_str(), 65534, 65534), 0);
        ASSERT_EQ(chmod(path(name).c_str(), 0444), 0);
    }
    for (const char* args : {"asm p.s -o old.rom", "ram d.txt -o old.ram",
                             "run old.rom --quiet --steps 1 --save-ram old.ram",
                             "convert old.rom -o old.ram --to raw"}) {
        const std::string command =
            "cd '" + dir +
            "' && setpriv --reuid=65534 --regid=65534 --clear-groups '" ISA4_BINARY "' " + args +
            " >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1) << args;
        EXPECT_NE(read("stderr.txt").find("Permission denied"), std::string::npos)
            << args << ": " << read("stderr.txt");
    }
    EXPECT_EQ(read("old.rom"), old_rom);
    EXPECT_EQ(read("old.ram"), std::string(256, '\0'));
}

// Every message that shows something from outside (a path, a token, a file's bytes, a
// suite's contents) shows it escaped: no run of isa4 writes a control byte other than
// the line end to either stream, whatever the names and files hold.
TEST_F(Isa4Command, OutsideBytesReachNoMessageUnescaped) {
    const std::string e = "e\x1b[31m\x07\x7f";  // ESC, BEL and DEL in every name below
    const std::string loop = "l: JZ l\n";       // never halts: z is clear
    write(e + ".s", "ADDI r1, r0, 1\n\x1b ADD r1\n");
    write(e + "ok.s", loop);
    write(e + ".data", "[0x00] = \x1b\n");
    write(e + ".sym", "\x1b 0x00\n");
    write(e + ".hex",
          ":0100000000FF\n:01\x1b"
          "0\n");
    write(e + ".lgs", "v2.0 raw\n1 \x1b\n");
    write(e + ".lgw", "v2.0 raw\n1fffffff\x1b\n");
    write(e + ".exp", "r1 = 5\n");
    write(e + ".suite", "case one\n  expect r1 = 1\n  \x1b\n");
    write(e + "ram.suite", "case one\n  ram " + e + ".missing\n  expect r1 = 1\n");
    write("ok.suite", "case one\n  expect r1 = 1\n");
    mkdir(path(e + ".dir").c_str(), 0755);
    ASSERT_EQ(isa4("asm '" + e + "ok.s' -o '" + e + ".rom'").status, 0);
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"asm '" + e + ".missing' -o x.rom", 1},
        {"asm '" + e + ".s' -o x.rom", 1},
        {"asm '" + e + "ok.s' -o '" + e + "ok.s'", 2},
        {"asm '" + e + "ok.s' -o '" + e + ".dir'", 1},
        {"asm '" + e + "ok.s' -o x.rom --symbols '" + e + ".dir'", 1},
        {"dis '" + e + ".rom'", 0},
        {"dis '" + e + ".hex'", 1},
        {"dis '" + e + ".lgs'", 1},
        {"dis '" + e + ".lgw'", 1},
        {"dis '" + e + ".rom' --symbols '" + e + ".sym'", 1},
        {"ram '" + e + ".data' -o x.ram", 1},
        {"run '" + e + ".rom' --quiet", 1},
        {"run '" + e + ".rom' --quiet --steps 3 --expect '" + e + ".exp'", 1},
        {"run '" + e + ".rom' --ram '" + e + ".missing' --quiet", 1},
        {"convert '" + e + ".lgs' -o x.rom --to raw", 1},
        {"test '" + e + ".suite' '" + e + "ok.s'", 2},
        {"test '" + e + "ram.suite' '" + e + "ok.s'", 2},
        {"test ok.suite '" + e + ".missing' '" + e + ".s' '" + e + ".hex'", 1},
        {"test ok.suite '" + e + ".s' --tap", 1},
        {"test ok.suite '" + e + "ok.s' --junit '" + e + ".dir'", 1},
    };
    for (const auto& c : cases) {
        const Result r = isa4(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        for (const std::string* stream : {&r.out, &r.err}) {
            for (const char ch : *stream) {
                const auto byte = static_cast<unsigned char>(ch);
                if ((byte < 0x20 && byte != '\n') || byte == 0x7f) {
                    ADD_FAILURE() << c.args << ": raw byte " << int{byte} << " in\n" << *stream;
                    break;
                }
            }
        }
    }
}

// A trace page holds one delta per step and says how the run ended; the feedback pages are
// named after their programs, none over another or over index.html.
TEST_F(Isa4Command, TracePagesAndFeedbackPageNames) {
    write("loop.s", "top: ADDI r1, r1, 1\n ADDI r0, r0, 0\n JZ top\n");
    Result r = isa4("trace loop.s -o loop.html --steps 30");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "loop.html: 30 steps; the run reaches the step limit\n");
    const std::string page = read("loop.html");
    EXPECT_NE(page.find("content=\"default-src 'none';"), std::string::npos);
    const std::size_t deltas = page.find("\"deltas\":[");
    ASSERT_NE(deltas, std::string::npos);
    const std::string list = page.substr(deltas, page.find(']', deltas) - deltas);
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 29) << list;
    EXPECT_NE(page.find("\"reason\":\"step_limit\",\"limit\":30"), std::string::npos);

    write("s.suite", "case one\nexpect r1 = 1\n");
    ASSERT_EQ(std::system(("cd '" + dir + "' && mkdir a b && cp loop.s a/multiply.s && " +
                           "cp loop.s b/multiply.s && cp loop.s index && cp loop.s 'x y.s' && " +
                           "cp loop.s X_Y.s && cp loop.s .hidden.s")
                              .c_str()),
              0);
    r = isa4("test s.suite a/multiply.s b/multiply.s index 'x y.s' X_Y.s .hidden.s --feedback out");
    EXPECT_EQ(r.status, 1) << r.err;
    for (const char* name : {"a-multiply.s.html", "b-multiply.s.html", "index-2.html", "x_y.s.html",
                             "X_Y.s-2.html", "_hidden.s.html", "index.html"})
        EXPECT_NE(read(std::string("out/") + name).find("<!DOCTYPE html>"), std::string::npos)
            << name;
}
