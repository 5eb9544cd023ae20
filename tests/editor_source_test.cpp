// The editor's questions to the language layer: the facts of a text as JSON, its hover, and
// "Assemble and load" / "Load RAM data" on a scratch home folder.
#include "web/editor_source.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "machine/image_file.h"
#include "tests/scratch_dir.h"
#include "toolchain/assembler.h"

namespace {

void write_text(const std::string& path, const std::string& text) {
    write_file(path, Bytes(text.begin(), text.end()));
}

// The member `key` of a facts object, as written: from its '[' to the matching ']'.
std::string member(const std::string& json, const std::string& key) {
    const std::size_t from = json.find("\"" + key + "\":[");
    if (from == std::string::npos) return "(no " + key + ")";
    const std::size_t open = from + key.size() + 3;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = open; i < json.size(); ++i) {
        const char c = json[i];
        if (quoted) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"') quoted = true;
        if (c == '[') ++depth;
        if (c == ']' && --depth == 0) return json.substr(open, i + 1 - open);
    }
    return "(unclosed " + key + ")";
}

TEST(SourceFacts, MarksWithTheLanguageLayersRangesAndSeverities) {
    struct Case {
        const char* source;
        const char* diagnostics;
    };
    const Case cases[] = {
        {"", "[]"},
        {"done: JZ @done\n", "[]"},
        // An error, with the range of its token.
        {"  ADDI r1, r0, 300\ndone: JZ @done\n",
         R"([{"line":1,"column":16,"end":19,"severity":"error","message":)"},
        // A lint as a warning, and the note that a program never halts as information.
        {"unused: ADDI r1, r0, 1\n",
         R"([{"line":1,"column":1,"end":7,"severity":"warning","message":"label 'unused' is never used: no JZ or operand names it"},)"
         R"({"line":1,"column":9,"end":23,"severity":"information","message":"no halting JZ: )"},
        // A JZ whose target is followed by .word data.
        {"  JZ table\ndone: JZ @done\ntable: .word 7\n",
         R"([{"line":1,"column":3,"end":5,"severity":"warning","message":"JZ to data: when taken, 02 runs next, which holds .word data from line 3, not an instruction"}])"},
    };
    for (const Case& c : cases) {
        const std::string marks = member(source_facts_json(c.source), "diagnostics");
        EXPECT_EQ(marks.rfind(c.diagnostics, 0), 0u) << c.source << "\n" << marks;
    }
}

TEST(SourceFacts, GivesTheWordsAndCompletesTheNames) {
    struct Case {
        const char* source;
        const char* words;
    };
    const Case cases[] = {
        {"", "[]"},
        // A word per statement: [address, line, word].
        {"  .equ n, 3\nloop: ADDI r1, r0, n\n  JZ loop\n", "[[0,2,69635],[1,3,131327]]"},
        // .org places the next word; every word of .word has its line.
        {".org 0x10\n.word 1, 2\n", "[[16,2,1],[17,2,2]]"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(member(source_facts_json(c.source), "words"), c.words) << c.source;

    const std::string offered =
        member(source_facts_json("  .equ n, 3\nloop: ADDI r1, r0, n\n  JZ loop\n"), "completions");
    for (const char* item : {
             R"({"label":"ADDI","insert":"ADDI ","kind":"mnemonic",)",
             R"({"label":"rf","insert":"rf","kind":"register",)",
             R"({"label":".equ","insert":".equ ","kind":"directive",)",
             R"x({"label":"n","insert":"n","kind":"constant","detail":".equ 0x3 (3)"})x",
             R"({"label":"loop","insert":"loop","kind":"label","detail":"label at 0x00"})",
         })
        EXPECT_NE(offered.find(item), std::string::npos) << item;
}

TEST(SourceFacts, HoversAsTheLanguageLayerSays) {
    const char* source = "  .equ n, 3\nloop: ADDI r1, r0, n\n  JZ loop\n  .word 0x20000\n";
    struct Case {
        int line, column;
        const char* json;
    };
    const Case cases[] = {
        {2, 7, R"({"text":"`00: 11003` r1 = r0 + 0x03, sets z"})"},
        {3, 6, R"({"text":"label `loop`: address 0x00, used in 1 place"})"},
        {4, 9, R"({"text":"0x20000 = 131072 = 0b000000100000000000000000"})"},
        {1, 1, R"({"text":""})"},
        {9, 1, R"({"text":""})"},  // past the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(source_hover_json(source, c.line, c.column), c.json) << c.line << ":" << c.column;
}

TEST(SourceFacts, EscapesTheMessagesForJson) {
    // A token with a quote, a backslash and a control byte in it.
    const std::string json = source_facts_json("  \"\\\x01\n");
    EXPECT_EQ(
        json.rfind(R"({"diagnostics":[{"line":1,"column":3,"end":6,"severity":"error","message":")",
                   0),
        0u)
        << json;
    EXPECT_EQ(json.find('\x01'), std::string::npos) << json;
    EXPECT_NE(json.find(R"('\"\\\\x01')"), std::string::npos) << json;
}

class AssembleAndLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(previous_, sizeof previous_), nullptr);
        ASSERT_EQ(chdir(home.dir().c_str()), 0);
        for (int i = 0; i < 256; ++i) machine.rom[i] = 0xABCDE;
        machine.ram[5] = 9;
        machine.pc = 7;
    }
    void TearDown() override { ASSERT_EQ(chdir(previous_), 0); }

    ScratchDir home;
    Isa4 machine{};

private:
    char previous_[4096] = {};
};

TEST_F(AssembleAndLoad, WritesTheImageAndLoadsOnlyTheRom) {
    const char* source = "ADDI r1, r0, 3\nhalt: JZ @halt\n";
    const LoadOutcome result = assemble_and_load("prog.s", source, machine.rom);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.log_line, "Assembled prog.s into prog.rom and loaded it");
    EXPECT_EQ(result.json.rfind(R"({"loaded":true,"message":"Assembled prog.s)", 0), 0u);
    EXPECT_EQ(machine.rom, assemble(source).rom);
    Isa4::Rom written{};
    ASSERT_TRUE(load_rom_image(home.path("prog.rom").c_str(), written));
    EXPECT_EQ(written, machine.rom);
    EXPECT_EQ(machine.ram[5], 9);
    EXPECT_EQ(machine.pc, 7);
}

TEST_F(AssembleAndLoad, WithErrorsWritesAndLoadsNothing) {
    const Isa4::Rom before = machine.rom;
    const LoadOutcome result =
        assemble_and_load("bad.s", "ADDI r1, r0, 3\nJUMP 4\nADD r1\n", machine.rom);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.log_line, "bad.s: 2 errors; nothing written or loaded");
    EXPECT_NE(result.json.find(R"("diagnostics":[{"line":2,)"), std::string::npos) << result.json;
    EXPECT_EQ(machine.rom, before);
    EXPECT_TRUE(home.names().empty());
}

TEST_F(AssembleAndLoad, AnImageThatCannotBeWrittenOrReadLoadsNothing) {
    const Isa4::Rom before = machine.rom;
    // A folder where the image would go.
    ASSERT_EQ(mkdir(home.path("dir.rom").c_str(), 0755), 0);
    LoadOutcome result = assemble_and_load("dir.s", "ADDI r1, r0, 3\n", machine.rom);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.log_line.rfind("Save ROM failed: dir.rom (", 0), 0u) << result.log_line;
    // An example's image is only read: missing, it is a failed load.
    result = assemble_and_load("gone.s", "ADDI r1, r0, 3\n", machine.rom, false);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.log_line.rfind("Load ROM failed: gone.rom (", 0), 0u) << result.log_line;
    EXPECT_EQ(machine.rom, before);
}

TEST_F(AssembleAndLoad, LoadsTheRamDataBesideTheSource) {
    LoadOutcome result = load_ram_beside("prog.s", machine.ram);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.log_line, "Load RAM failed: there is no prog.ram or prog.data");
    EXPECT_EQ(machine.ram[5], 9);

    // The text isa4 ram reads: its cells over zeros; with an error, nothing.
    write_text(home.path("prog.data"), "[0x01] = 0x2A\n");
    result = load_ram_beside("prog.s", machine.ram);
    EXPECT_TRUE(result.loaded) << result.log_line;
    EXPECT_EQ(result.log_line, "Loaded prog.data into RAM");
    EXPECT_EQ(machine.ram[1], 0x2A);
    EXPECT_EQ(machine.ram[5], 0);
    write_text(home.path("prog.data"), "[0x01] = nonsense\n");
    machine.ram[5] = 9;
    result = load_ram_beside("prog.s", machine.ram);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(result.log_line.rfind("prog.data:1:", 0), 0u) << result.log_line;
    EXPECT_EQ(machine.ram[5], 9);

    // An image beside it comes first.
    Isa4::Ram image{};
    image[0] = 6;
    image[1] = 7;
    ASSERT_TRUE(save_ram_image(home.path("prog.ram").c_str(), image));
    result = load_ram_beside("prog.s", machine.ram);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(result.log_line, "Loaded prog.ram into RAM");
    EXPECT_EQ(machine.ram, image);
}

TEST_F(AssembleAndLoad, TracesTheSourceWithItsRamData) {
    TracePage page = trace_page("bad.s", "JUMP 4\n");
    EXPECT_EQ(page.message, "bad.s: 1 error; no trace");
    EXPECT_TRUE(page.html.empty());

    const char* source = "MOVE r1, [0x00]\nADDI r0, r0, 0\nhalt: JZ @halt\n";
    page = trace_page("prog.s", source);
    EXPECT_EQ(page.message, "Traced prog.s: 3 steps") << page.message;
    EXPECT_EQ(page.html.rfind("<!DOCTYPE html>", 0), 0u);
    write_text(home.path("prog.data"), "[0x00] = 7\n");
    page = trace_page("prog.s", source);
    EXPECT_EQ(page.message.rfind("Traced prog.s with prog.data: ", 0), 0u) << page.message;
    write_text(home.path("prog.data"), "[0x00] = 0x107\n");
    page = trace_page("prog.s", source);
    EXPECT_TRUE(page.html.empty());
    EXPECT_EQ(page.message.rfind("prog.data:1:", 0), 0u) << page.message;
}

TEST(LastExecuted, FollowsTheStepsOfAFrame) {
    Isa4 start{};
    start.rom = assemble("ADDI r1, r0, 1\nloop: ADDI r0, r0, 0\nJZ loop\n").rom;
    start.reset();
    Isa4 one = start, three = start;
    one.step();
    for (int i = 0; i < 3; ++i) three.step();
    Isa4 poked = one;
    poked.registers[5] = 9;
    struct Case {
        const Isa4* before;
        const Isa4* after;
        int expected;
    };
    const Case cases[] = {
        {&start, &start, 7},  // nothing happened: what was there stays
        {&start, &one, 0},
        {&start, &three, 2},  // the JZ, though pc now names the word before the label
        {&one, &start, -1},   // a reset
        {&one, &poked, -1},   // a change by hand
    };
    for (const Case& c : cases) EXPECT_EQ(last_executed(*c.before, *c.after, 7), c.expected);
    EXPECT_EQ(last_executed(start, three, 7, 2), -1);  // further than it looks
}

}  // namespace
