#include "language/analysis.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct LintCase {
    const char* name;
    const char* source;
    int line;  // of the one warning expected, 0 for none
    int column;
    const char* words;  // part of its message
};

void PrintTo(const LintCase& c, std::ostream* os) {
    *os << c.name;
}

class Lints : public ::testing::TestWithParam<LintCase> {};

TEST_P(Lints, WarnOnceWhereDue) {
    const LintCase& c = GetParam();
    const Analysis a = analyze(c.source);
    std::vector<Diagnostic> warnings;
    for (const Diagnostic& d : a.diagnostics)
        if (d.warning) warnings.push_back(d);
    if (c.line == 0) {
        EXPECT_TRUE(warnings.empty()) << warnings.front().message;
        return;
    }
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].line, c.line);
    EXPECT_EQ(warnings[0].column, c.column);
    EXPECT_NE(warnings[0].message.find(c.words), std::string::npos) << warnings[0].message;
}

const char* const halt = "done: JZ @done\n";

INSTANTIATE_TEST_SUITE_P(
    Analysis, Lints,
    ::testing::Values(
        LintCase{"unused_label", "spare: ADDI r1, r1, 1\ndone: JZ @done\n", 1, 1,
                 "label 'spare' is never used"},
        LintCase{"unused_constant", "  .equ Limit, 3\ndone: JZ @done\n", 1, 8,
                 ".equ name 'Limit' is never used"},
        LintCase{"used_in_other_case", ".equ cell, 3\nMOVE [CELL], r1\ndone: JZ @done\n", 0, 0, ""},
        LintCase{"used_by_equ", ".equ a, 3\n.equ b, a + 1\nMOVE [b], r1\ndone: JZ @done\n", 0, 0,
                 ""},
        LintCase{"jz_to_data", "JZ table\ndone: JZ @done\ntable: .word 7\n", 1, 1,
                 "JZ to data: when taken, 02 runs next, which holds .word data from line 3"},
        LintCase{"raw_jz_before_data", "JZ 0x02\ndone: JZ @done\nADDI r1, r1, 1\n.word 5\n", 1, 1,
                 "JZ to data"},
        LintCase{"jz_to_code", "back: ADDI r1, r1, 1\nJZ back\ndone: JZ @done\n", 0, 0, ""},
        LintCase{"halting_jz_on_data_label", "x: .word 0x20000\nJZ @done\ndone: JZ @done\n", 1, 1,
                 "label 'x' is never used"}),
    [](const ::testing::TestParamInfo<LintCase>& info) { return std::string(info.param.name); });

int notes(const Analysis& a) {
    int n = 0;
    for (const Mark& m : a.marks) n += m.severity == Severity::information ? 1 : 0;
    return n;
}

TEST(Analysis, NoHaltingJzIsANoteForEditorsOnly) {
    const Analysis loops = analyze("loop: ADDI r1, r1, 1\nJZ loop\n");
    EXPECT_EQ(notes(loops), 1);
    for (const Diagnostic& d : loops.diagnostics)
        EXPECT_EQ(d.message.find("halting"), std::string::npos) << d.message;
    EXPECT_EQ(notes(analyze(halt)), 0);
    EXPECT_EQ(notes(analyze("ADD r1\n")), 0) << "a source with errors gets its errors only";
    EXPECT_EQ(notes(analyze("; nothing yet\n")), 0);
}

TEST(Analysis, ManyUnusedNamesPrintShortButAreMarkedEach) {
    std::string source;
    for (int i = 0; i < 500; ++i) source += "n" + std::to_string(i) + ":\n";
    const Analysis a = analyze(source);
    ASSERT_EQ(a.diagnostics.size(), 21u);
    EXPECT_EQ(a.diagnostics.back().line, 21);
    EXPECT_EQ(a.diagnostics.back().message,
              "480 more labels or .equ names from here on are never used");
    EXPECT_EQ(a.marks.size(), 500u);
}

TEST(Analysis, MarksCoverTheTokenAtFault) {
    struct Case {
        const char* source;
        int line, column, end;
    };
    for (const Case& c :
         {Case{"  FOO r1\n", 1, 3, 6}, Case{"JZ nowhere\n", 1, 4, 11},
          Case{"ADDI r1, r1, 300\n", 1, 14, 17}, Case{"ADDI r1, r1, 'x\n", 1, 14, 16},
          Case{"MOVE [0x10, r1\n", 1, 11, 12}}) {
        const Analysis a = analyze(c.source);
        ASSERT_FALSE(a.marks.empty()) << c.source;
        const Mark& m = a.marks.front();
        EXPECT_EQ(m.severity, Severity::error) << c.source;
        EXPECT_EQ(m.line, c.line) << c.source;
        EXPECT_EQ(m.column, c.column) << c.source << m.message;
        EXPECT_EQ(m.end, c.end) << c.source << m.message;
    }
}

const char* const program =
    ".equ cell, 0x10\n"         // 1
    "loop: ADDI r1, r2, 5\n"    // 2
    "      MOVE [cell], r1\n"   // 3
    "      JZ loop\n"           // 4
    "done: JZ @done ; stop\n";  // 5

TEST(Analysis, HoverSaysWhatStandsThere) {
    const Analysis a = analyze(program);
    struct Case {
        int line, column;
        const char* text;
    };
    for (const Case& c : {
             Case{2, 7, "`00: 11205` r1 = r2 + 0x05, sets z"},
             Case{3, 20, "`01: 51001` RAM[0x10] = r1"},
             Case{2, 20, "0x5 = 5 = 0b00000101"},
             Case{1, 13, "0x10 = 16 = 0b00010000"},
             Case{2, 2, "label `loop`: address 0x00, used in 1 place"},
             Case{4, 10, "label `loop`: address 0x00, used in 1 place"},
             Case{5, 10, "label `done`: address 0x03, used in 1 place"},
             Case{5, 11, "label `done`: address 0x03, used in 1 place"},
             Case{3, 13, "`.equ cell` = 0x10 (16), used in 1 place"},
             Case{5, 3, "label `done`: address 0x03, used in 1 place"},
             Case{5, 17, ""},
             Case{9, 1, ""},
         }) {
        EXPECT_EQ(hover_text(a, c.line, c.column), c.text) << c.line << ":" << c.column;
    }
    EXPECT_EQ(hover_text(a, 5, 7),
              "`03: 20003` if z is set: halt (its operand is its own address)");
    EXPECT_EQ(hover_text(a, 4, 7), "`02: 200FF` if z is set: pc = 0xFF, so 0x00 runs next");
    // An error elsewhere leaves a line's word as it is; one on the line is said.
    const Analysis faulty = analyze("ADD r1, r2, r3\nADDI r1, r2, 999\n");
    EXPECT_EQ(hover_text(faulty, 1, 1), "`00: 01203` r1 = r2 + r3, sets z");
    EXPECT_EQ(hover_text(faulty, 2, 1), "`01: 00000` (this line has an error)");
}

TEST(Analysis, NamesKnowTheirUses) {
    const Analysis a = analyze(program);
    const DefinedName* done = a.name("done");
    ASSERT_NE(done, nullptr);
    ASSERT_EQ(done->uses.size(), 1u);
    const NameSpan& use = a.assembly.names[done->uses[0]];
    EXPECT_EQ(use.line, 5);
    EXPECT_EQ(use.column, 11) << "the name after '@', not the '@'";
    EXPECT_EQ(use.end, 15);
    EXPECT_EQ(a.name("LOOP"), nullptr) << "keys are lower case";
    EXPECT_EQ(a.name("loop")->uses.size(), 1u);
    EXPECT_EQ(a.name("cell")->value, 0x10);
    EXPECT_FALSE(a.name("cell")->is_label);
}

TEST(Analysis, RenameRefusesNamesThatWouldNotAssemble) {
    const Analysis a = analyze(program);
    const DefinedName& loop = *a.name("loop");
    EXPECT_EQ(rename_problem(a, loop, "again"), std::nullopt);
    EXPECT_EQ(rename_problem(a, loop, "LOOP"), std::nullopt);
    for (const char* bad : {"", "r1", "RF", "add", ".org", "9lives", "a b", "done", "CELL"})
        EXPECT_NE(rename_problem(a, loop, bad), std::nullopt) << bad;
}

TEST(Analysis, CompletionsOfferTheLanguageAndTheFilesNames) {
    const auto items = completions(analyze(program));
    const auto has = [&](const char* label, Completion::Kind kind) {
        for (const Completion& c : items)
            if (c.label == label && c.kind == kind) return true;
        return false;
    };
    EXPECT_TRUE(has("ADDI", Completion::mnemonic));
    EXPECT_TRUE(has("MOVE [addr], [addr]", Completion::mnemonic));
    EXPECT_TRUE(has("rf", Completion::register_name));
    EXPECT_TRUE(has(".equ", Completion::directive));
    EXPECT_TRUE(has("loop", Completion::label_name));
    EXPECT_TRUE(has("cell", Completion::constant));
}

TEST(Analysis, WordHintsFollowEachStatement) {
    const auto hints = word_hints(analyze(".word 1, 0x2A\nJZ @x\nx: ADD r1, r2, r3 ; c\n"));
    ASSERT_EQ(hints.size(), 4u);
    EXPECT_EQ(hints[1].text, "01: 0002A");
    EXPECT_EQ(hints[1].line, 1);
    EXPECT_EQ(hints[1].end, 14);
    EXPECT_EQ(hints[3].text, "03: 01203");
    EXPECT_EQ(hints[3].end, 18);
}

TEST(Analysis, FormatLaysOutAsTheListing) {
    EXPECT_EQ(format_source("loop:addi R1,r2,- 1;go\n  jz loop\n.EQU x , 4-1\n"
                            "   ; alone\n\nbad r1,,\n.word ';', x+1\n"),
              "loop:   ADDI R1, r2, -1             ;go\n"
              "        JZ loop\n"
              "        .equ x, 4 - 1\n"
              "   ; alone\n"
              "\n"
              "bad r1,,\n"
              "        .word ';', x + 1\n");
}

std::string example(const char* name) {
    std::ifstream in(std::string(EXAMPLES_DIR) + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Analysis, FormatKeepsTheWordsAndIsStable) {
    for (const char* name : {"add.s", "copy.s", "count.s", "multiply.s"}) {
        const std::string source = example(name);
        ASSERT_FALSE(source.empty()) << name;
        const std::string once = format_source(source);
        EXPECT_EQ(format_source(once), once) << name;
        EXPECT_EQ(assemble(once).rom, assemble(source).rom) << name;
        // The examples are quiet: no warning to read past.
        EXPECT_TRUE(analyze(source).diagnostics.empty()) << name;
    }
}

}  // namespace
