// The "(Diss)Assembler" window driven as a user drives it: menu entries picked, hex typed
// into the fields, "Dissassemble" pressed; then what the window shows, and what the
// words it builds do in the machine.
#include "panels/assembler_panel.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "machine/instruction.h"
#include "machine/isa4.h"
#include "tests/imgui_harness.h"

namespace {

constexpr const char* title = "(Diss)Assembler";

std::string hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::string without(std::string text, const std::string& part) {
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part))
        text.erase(at, part.size());
    return text;
}

class AssemblerWindow : public ::testing::Test {
protected:
    ImGuiHarness ui;
    AssemblerPanelState state;
    AssemblerPanelState* shown = &state;  // the state the window is built on
    ImGuiHarness::Frame frame = [this] { draw_assembler_panel(*shown); };

    void SetUp() override { ui.frame(frame); }

    ImGuiID id(const char* label) const { return ui.id(title, label); }
    void opcode(int menu_index) { ui.pick(id("opcode"), menu_index, opcodes[menu_index], frame); }
    void kind(int kind) { ui.pick(id("Type"), kind, mv_opcodes[kind], frame); }
    void reg(const char* menu, int r) { ui.pick(id(menu), r, regs[r], frame); }
    void type(const char* field, const std::string& text) {
        ui.type(id(field), text.c_str(), frame);
    }
    void disassemble(const std::string& word) {
        type("IC", word);
        ui.press(title, "Dissassemble", frame);
    }

    // One frame's menus, fields and word line, one " | " apart, shortened from
    // "{ ADDI } opcode", "{ 0000007F } [ - ] [ + ] imm", "IC: 1127F" to
    // "ADDI opcode | 0000007F imm | IC: 1127F".
    std::string menus() {
        std::istringstream lines(ui.text_of(frame));
        std::string line, out;
        std::getline(lines, line);  // the title
        while (std::getline(lines, line)) {
            out += (out.empty() ? "" : " | ") + without(without(line, "{ "), " }");
            if (line.rfind("IC: ", 0) == 0) break;
        }
        return without(out, " [ - ] [ + ]");
    }
    // The word line's five digits.
    std::string word() {
        const std::string text = menus();
        return text.substr(text.rfind("IC: ") + 4);
    }
};

// --- Composing --------------------------------------------------------------------------

TEST_F(AssemblerWindow, StartsOnAddR0R0R0AndWordZero) {
    EXPECT_EQ(ui.text_of(frame),
              "(Diss)Assembler\n{ ADD } opcode\n{ r0 } dst\n{ r0 } lhs\n{ r0 } rhs\nIC: 00000\n"
              "{ 00000000 } [ - ] [ + ] IC\n[ Dissassemble ]\n");
}

TEST_F(AssemblerWindow, AddiThenJzWithTheSameByte) {
    opcode(opcode_menu_addi);
    reg("dst", 1);
    reg("lhs", 2);
    type("imm", "7F");
    EXPECT_EQ(menus(), "ADDI opcode | r1 dst | r2 lhs | 0000007F imm | IC: 1127F");

    // The immediate is JZ's address too; the registers leave no trace in its word.
    opcode(opcode_menu_jz);
    EXPECT_EQ(menus(), "JZ opcode | 0000007F addr | IC: 2007F");
    type("addr", "10");
    EXPECT_EQ(word(), "20010");
}

TEST_F(AssemblerWindow, MoveKindsCallTheDestinationDstAndTheSourceRhs) {
    opcode(opcode_menu_move);
    kind(kind_mr);
    type("dst", "A0");
    reg("rhs", 7);
    EXPECT_EQ(menus(), "MOVE opcode | MR Type | 000000A0 dst | r7 rhs | IC: 5A007");

    kind(kind_mm);
    type("dst", "12");
    type("rhs", "34");
    EXPECT_EQ(menus(), "MOVE opcode | MM Type | 00000012 dst | 00000034 rhs | IC: 71234");

    // The RM source address is the MR and MM destination address: one shared byte.
    kind(kind_rm);
    reg("dst", 0xC);
    EXPECT_EQ(menus(), "MOVE opcode | RM Type | rc dst | 00000012 rhs | IC: 6C012");
    kind(kind_rr);
    EXPECT_EQ(menus(), "MOVE opcode | RR Type | rc dst | r7 rhs | IC: 4C007");
}

TEST_F(AssemblerWindow, EachWordIsBuiltFromScratchFromTheOperandsItShows) {
    opcode(opcode_menu_addi);
    reg("dst", 0xF);
    reg("lhs", 0xF);
    type("imm", "FF");
    EXPECT_EQ(word(), "1FFFF");

    const std::pair<int, const char*> moves[] = {
        {kind_rr, "4F000"}, {kind_mr, "5FF00"}, {kind_rm, "6F0FF"}, {kind_mm, "7FF00"}};
    opcode(opcode_menu_add);  // rhs was never chosen: r0
    EXPECT_EQ(word(), "0FF00");
    opcode(opcode_menu_move);
    for (const auto& [k, expected] : moves) {
        kind(k);
        EXPECT_EQ(word(), expected) << mv_opcodes[k];
    }
    opcode(opcode_menu_jz);
    EXPECT_EQ(word(), "200FF");
}

TEST_F(AssemblerWindow, ByteFieldsWrapAtTheirEnds) {
    opcode(opcode_menu_addi);
    ui.press(ui.minus_of(id("imm")), frame);
    EXPECT_EQ(word(), "100FF");
    ui.press(ui.plus_of(id("imm")), frame);
    EXPECT_EQ(word(), "10000");

    // A typed value past one end jumps to the other, no modulo.
    type("imm", "1FF");
    EXPECT_EQ(state.byte_arg, 0);
    type("imm", "FFFFFFFF");  // -1
    EXPECT_EQ(state.byte_arg, 0xFF);

    opcode(opcode_menu_move);
    kind(kind_mm);
    ui.press(ui.minus_of(id("rhs")), frame);
    EXPECT_EQ(word(), "7FFFF");
}

TEST_F(AssemblerWindow, QuestionMarksShowNoOperandsAndKeepTheLastWord) {
    opcode(opcode_menu_jz);
    type("addr", "42");
    opcode(opcode_menu_none);
    EXPECT_EQ(menus(), "??? opcode | IC: 20042");
    opcode(opcode_menu_jz);
    EXPECT_EQ(menus(), "JZ opcode | 00000042 addr | IC: 20042");
}

// --- Decoding ---------------------------------------------------------------------------

TEST_F(AssemblerWindow, DecodedWordShowsFromTheNextFrameWithUnusedBitsCleared) {
    opcode(opcode_menu_jz);
    type("addr", "33");
    type("IC", "0ABCD");

    // The press frame still shows the word from before.
    ImGui::ActivateItem(id("Dissassemble"));
    EXPECT_EQ(word(), "20033");
    EXPECT_EQ(menus(), "ADD opcode | ra dst | rb lhs | rd rhs | IC: 0AB0D");
}

TEST_F(AssemblerWindow, NoOperationWordsDecodeToQuestionMarksAndShowThemselves) {
    for (const char* typed : {"3ABCD", "F0000", "8FFFF"}) {
        SCOPED_TRACE(typed);
        opcode(opcode_menu_addi);
        type("imm", "5");
        type("IC", typed);
        ImGui::ActivateItem(id("Dissassemble"));
        EXPECT_EQ(word(), "10005");
        EXPECT_EQ(menus(), std::string("??? opcode | IC: ") + typed);
        EXPECT_EQ(word(), typed);
        EXPECT_EQ(state.byte_arg, 5);
    }
}

TEST_F(AssemblerWindow, DecodingMoveMrLeavesTheRegisterMenusItDoesNotUse) {
    opcode(opcode_menu_addi);
    reg("dst", 1);
    reg("lhs", 2);
    disassemble("5A0F7");
    EXPECT_EQ(menus(), "MOVE opcode | MR Type | 000000A0 dst | r7 rhs | IC: 5A007");
    EXPECT_EQ(state.dst_sel, 1);
    EXPECT_EQ(state.lhs_sel, 2);
    opcode(opcode_menu_add);
    EXPECT_EQ(menus(), "ADD opcode | r1 dst | r2 lhs | r7 rhs | IC: 01207");
}

TEST_F(AssemblerWindow, WordFieldWrapsAtItsEnds) {
    ui.press(ui.minus_of(id("IC")), frame);
    EXPECT_EQ(state.ic_input, 0xFFFFF);
    ui.press(ui.plus_of(id("IC")), frame);
    EXPECT_EQ(state.ic_input, 0);
    type("IC", "1234567");  // past the end: 0, not the low 20 bits
    EXPECT_EQ(state.ic_input, 0);

    // What the button decodes is the wrapped value.
    opcode(opcode_menu_jz);
    type("IC", "100000");
    EXPECT_EQ(state.ic_input, 0);
    ui.press(title, "Dissassemble", frame);
    EXPECT_EQ(menus(), "ADD opcode | r0 dst | r0 lhs | r0 rhs | IC: 00000");
}

// --- Round trip and execution -----------------------------------------------------------

// One operand widget of a form: its label, whether it is a register menu or a byte
// field, and the value it edits.
struct Operand {
    const char* label;
    bool is_register;
    int AssemblerPanelState::*value;
};

struct Form {
    std::uint32_t opcode;  // the opcode the menus name
    int opcode_sel;
    int kind_sel;
    std::vector<Operand> operands;
};

constexpr auto dst = &AssemblerPanelState::dst_sel;
constexpr auto lhs = &AssemblerPanelState::lhs_sel;
constexpr auto rhs = &AssemblerPanelState::rhs_sel;
constexpr auto arg = &AssemblerPanelState::byte_arg;
constexpr auto arg2 = &AssemblerPanelState::byte_arg2;

const Form forms[] = {
    {op_add, opcode_menu_add, 0, {{"dst", true, dst}, {"lhs", true, lhs}, {"rhs", true, rhs}}},
    {op_addi, opcode_menu_addi, 0, {{"dst", true, dst}, {"lhs", true, lhs}, {"imm", false, arg}}},
    {op_jz, opcode_menu_jz, 0, {{"addr", false, arg}}},
    {op_move_rr, opcode_menu_move, kind_rr, {{"dst", true, dst}, {"rhs", true, rhs}}},
    {op_move_mr, opcode_menu_move, kind_mr, {{"dst", false, arg}, {"rhs", true, rhs}}},
    {op_move_rm, opcode_menu_move, kind_rm, {{"dst", true, dst}, {"rhs", false, arg}}},
    {op_move_mm, opcode_menu_move, kind_mm, {{"dst", false, arg}, {"rhs", false, arg2}}},
};

bool shows(const Form& form, int AssemblerPanelState::*value) {
    for (const Operand& op : form.operands)
        if (op.value == value) return true;
    return false;
}

// Executes `word` as the next word of a machine with random registers, RAM and z, and
// checks that it did what the form names with the operand values `v` (in menu order), and
// nothing else.
void expect_executes_as(const Form& form, const int (&v)[3], std::uint32_t word,
                        std::mt19937& rng) {
    std::uniform_int_distribution<int> random_byte(0, 255);
    Isa4 arch{};
    for (auto& r : arch.registers) r = static_cast<std::uint8_t>(random_byte(rng));
    for (auto& cell : arch.ram) cell = static_cast<std::uint8_t>(random_byte(rng));
    arch.z = random_byte(rng) & 1;
    const auto at = static_cast<std::uint8_t>(random_byte(rng));
    arch.pc = static_cast<std::uint8_t>(at - 1);
    arch.rom[at] = word;

    Isa4 expected = arch;
    expected.pc = at;
    bool goes_on = true;
    auto& r = expected.registers;
    auto& ram = expected.ram;
    const int a = v[0], b = v[1], c = v[2];
    switch (form.opcode) {
        case op_add:
            r[a] = static_cast<std::uint8_t>(r[b] + r[c]);
            expected.z = r[a] == 0;
            break;
        case op_addi:
            r[a] = static_cast<std::uint8_t>(r[b] + c);
            expected.z = r[a] == 0;
            break;
        case op_jz:
            if (expected.z && a == at) goes_on = false;  // a jump onto itself halts
            if (expected.z && a != at) expected.pc = static_cast<std::uint8_t>(a);
            break;
        case op_move_rr:  // MOVE never writes R0
            if (a != 0) r[a] = r[b];
            break;
        case op_move_mr: ram[a] = r[b]; break;
        case op_move_rm:
            if (a != 0) r[a] = ram[b];
            break;
        case op_move_mm: ram[a] = ram[b]; break;
    }
    EXPECT_EQ(arch.step(), goes_on);
    EXPECT_TRUE(arch == expected) << "word " << hex(static_cast<int>(word)) << " at " << int(at);
}

TEST_F(AssemblerWindow, EveryComposedWordDecodesBackAndExecutesAsItsMenusSay) {
    std::mt19937 rng(20260501);
    std::uniform_int_distribution<int> random_reg(0, 15), random_byte(0, 255);
    constexpr int trials = 16;

    for (const Form& form : forms) {
        for (int trial = 0; trial < trials; ++trial) {
            SCOPED_TRACE("opcode " + hex(static_cast<int>(form.opcode)) + ", trial " +
                         std::to_string(trial));
            shown = &state;
            ui.frame(frame);

            // Compose, as a user would, on top of whatever the last trial left.
            opcode(form.opcode_sel);
            if (form.opcode_sel == opcode_menu_move) kind(form.kind_sel);
            int v[3] = {};
            for (std::size_t i = 0; i < form.operands.size(); ++i) {
                const Operand& op = form.operands[i];
                v[i] = op.is_register ? random_reg(rng) : random_byte(rng);
                if (op.is_register) reg(op.label, v[i]);
                if (!op.is_register) type(op.label, hex(v[i]));
            }
            const std::string composed = menus();
            const int built = state.ic;

            // Decode it in a panel whose menus and operands all hold something else.
            AssemblerPanelState other;
            other.opcode_sel = random_byte(rng) % 5;
            other.kind_sel = random_reg(rng) % 4;
            other.dst_sel = random_reg(rng);
            other.lhs_sel = random_reg(rng);
            other.rhs_sel = random_reg(rng);
            other.byte_arg = random_byte(rng);
            other.byte_arg2 = random_byte(rng);
            other.ic = random_byte(rng) << 12;
            shown = &other;
            ui.frame(frame);
            const AssemblerPanelState before = other;
            disassemble(hex(built));
            EXPECT_EQ(menus(), composed);
            EXPECT_EQ(other.ic, built);

            // What the form does not show keeps its value.
            if (form.opcode_sel != opcode_menu_move) {
                EXPECT_EQ(other.kind_sel, before.kind_sel);
            }
            for (auto value : {dst, lhs, rhs, arg, arg2}) {
                if (!shows(form, value)) {
                    EXPECT_EQ(other.*value, before.*value);
                }
            }

            expect_executes_as(form, v, static_cast<std::uint32_t>(built), rng);
        }
    }
}

}  // namespace
