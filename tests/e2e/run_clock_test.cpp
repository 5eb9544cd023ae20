// The real workbench running its machine under Xvfb, where vertical sync does not pace
// the frames: with the all-zero ROM every step moves pc on by one, so the "PC" field
// changes once per step. Its pixels are sampled often enough to see every change.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/e2e/x_session.h"

namespace {

using namespace std::chrono_literals;

// Dear ImGui places the windows from this file, so the controls are at known points.
// The font is 13 px high with 7 px per character: the title bar is 19 px, each row of
// widgets 19 px plus 4 between rows, all inside 8 px of padding.
constexpr const char* layout = R"([Window][Dear ImGui Demo]
Pos=900,400
Size=300,200
Collapsed=1

[Window][Hello, world!]
Pos=900,20
Size=300,150
Collapsed=1

[Window][CPU state]
Pos=20,20
Size=300,420
Collapsed=0

[Window][Computer Architecture state]
Pos=340,20
Size=400,100
Collapsed=0

[Window][Logger]
Pos=340,200
Size=400,200
Collapsed=0

[Window][Program ROM view]
Pos=20,480
Size=300,300
Collapsed=1

[Window][RAM view]
Pos=20,520
Size=300,300
Collapsed=1

[Window][(Diss)Assembler]
Pos=20,560
Size=300,300
Collapsed=1
)";

struct Point {
    int x, y;
};
constexpr Point run_button{340 + 145, 20 + 59};      // right of "Reset CPU" and "Step"
constexpr Point clocks_max{340 + 8 + 255, 20 + 36};  // the right end of the "Clocks" slider
constexpr Point pc_field{20 + 8, 20 + 44};           // top left of the "PC" value

class RunningWorkbench : public ::testing::Test {
protected:
    XServer x;
    std::string dir = make_scratch_dir();
    std::string window;

    void SetUp() override {
        ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
        std::ofstream(dir + "/imgui.ini") << layout;
    }

    void click(Point at) {
        x.run("xdotool mousemove --window " + window + " " + std::to_string(at.x) + " " +
              std::to_string(at.y) + " click 1");
    }

    // How often the "PC" field changes within `span`, sampled every 5 ms.
    int pc_changes(std::chrono::milliseconds span) {
        int changes = 0;
        std::string last = x.pixels(window, pc_field.x, pc_field.y, 120, 19);
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(5ms);
            std::string now = x.pixels(window, pc_field.x, pc_field.y, 120, 19);
            if (now != last) ++changes;
            last = std::move(now);
        }
        return changes;
    }
};

TEST_F(RunningWorkbench, RunsAtTheChosenRateNotAtTheFrameRate) {
    Process app({KELVANE_BINARY}, {{"DISPLAY", x.display()}}, dir);
    window = x.wait_for_window("^Kelvane$", 30s);
    ASSERT_FALSE(window.empty()) << "no window titled Kelvane";
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(pc_changes(1s), 0) << "pc moved before Run";

    click(run_button);
    const int at_one = pc_changes(5s);
    EXPECT_GE(at_one, 3) << "at Clocks 1";
    EXPECT_LE(at_one, 7) << "at Clocks 1";

    click(clocks_max);
    const int at_twenty = pc_changes(3s);
    EXPECT_GE(at_twenty, 30) << "at Clocks 20";
    EXPECT_LE(at_twenty, 75) << "at Clocks 20";

    ASSERT_TRUE(x.close_window(window));
    EXPECT_EQ(app.wait(20s), 0);
}

}  // namespace
