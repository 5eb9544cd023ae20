// The message log: its bound, its order, and the "Logger" window.
#include "panels/logger.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <string>

#include "tests/imgui_harness.h"

namespace {

TEST(Logger, HoldsAtMostCapacityMinusOneNewestFirst) {
    Logger log(20);
    log.add("Loaded Isa4");
    for (int i = 1; i <= 18; ++i) log.add("Reset CPU " + std::to_string(i));
    ASSERT_EQ(log.messages.size(), 19u);
    EXPECT_EQ(log.messages.front(), "Reset CPU 18");
    EXPECT_EQ(log.messages.back(), "Loaded Isa4");

    // A full log drops its oldest message for the new one, and stays at 19.
    log.add("Reset CPU 19");
    ASSERT_EQ(log.messages.size(), 19u);
    EXPECT_EQ(log.messages.front(), "Reset CPU 19");
    EXPECT_EQ(log.messages.back(), "Reset CPU 1");
    log.add("Reset CPU 20");
    EXPECT_EQ(log.messages.size(), 19u);
}

TEST(Logger, SmallCapacities) {
    Logger two(2);
    two.add("a");
    two.add("b");
    ASSERT_EQ(two.messages.size(), 1u);
    EXPECT_EQ(two.messages.front(), "b");

    // Capacity 1 keeps nothing; so does a log built with 0, without failing.
    Logger one(1);
    one.add("a");
    EXPECT_TRUE(one.messages.empty());
    Logger none(0);
    none.add("a");
    EXPECT_TRUE(none.messages.empty());
}

TEST(Logger, ClearEmptiesAndAddingStartsAfresh) {
    Logger log(3);
    log.add("a");
    log.add("b");
    log.clear();
    EXPECT_TRUE(log.messages.empty());
    log.clear();
    EXPECT_TRUE(log.messages.empty());
    log.add("c");
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages.front(), "c");
}

TEST(Logger, KeepsItsOwnCopy) {
    Logger log(20);
    std::string text = "Save ROM failed";
    log.add(text);
    text[0] = 'X';
    EXPECT_EQ(log.messages.front(), "Save ROM failed");
}

TEST(LoggerWindow, ShowsTheButtonThenTheMessagesNewestFirst) {
    ImGuiHarness ui;
    Logger log(20);
    log.add("Loaded Isa4");
    log.add("Reset CPU");
    log.add(
        "A message long enough to be wrapped at the right edge of the window, "
        "which is narrow when it first opens");
    auto frame = [&] { draw_logger_panel(log); };
    ui.frame(frame);

    const std::string text = ui.text_of(frame);
    const auto button = text.find("Clear All");
    const auto newest = text.find("A message long enough");
    const auto reset = text.find("Reset CPU");
    const auto oldest = text.find("Loaded Isa4");
    ASSERT_NE(button, std::string::npos) << text;
    ASSERT_NE(oldest, std::string::npos) << text;
    EXPECT_LT(button, newest);
    EXPECT_LT(newest, reset);
    EXPECT_LT(reset, oldest);
}

TEST(LoggerWindow, ClearAllEmptiesTheLogInTheSameFrame) {
    ImGuiHarness ui;
    Logger log(20);
    log.add("Loaded Isa4");
    auto frame = [&] { draw_logger_panel(log); };
    ui.frame(frame);

    // The press and the text of the same frame.
    ImGui::ActivateItem(ui.id("Logger", "Clear All"));
    const std::string text = ui.text_of(frame);
    EXPECT_TRUE(log.messages.empty());
    EXPECT_NE(text.find("Clear All"), std::string::npos);
    EXPECT_EQ(text.find("Loaded Isa4"), std::string::npos) << text;

    // Pressing it on an empty log is harmless; later messages start a fresh log.
    ui.press("Logger", "Clear All", frame);
    log.add("Reset CPU");
    EXPECT_NE(ui.text_of(frame).find("Reset CPU"), std::string::npos);
}

}  // namespace
