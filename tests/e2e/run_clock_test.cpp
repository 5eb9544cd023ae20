// The real workbench running its machine under Xvfb, where vertical sync does not pace
// the frames: with the all-zero ROM every step moves pc on by one, so the "PC" field
// changes once per step. Its pixels are sampled often enough to see every change.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/e2e/workbench_window.h"

namespace {

using namespace std::chrono_literals;

class RunningWorkbench : public WorkbenchTest {
protected:
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
    ASSERT_NO_FATAL_FAILURE(start());
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
    EXPECT_EQ(app->wait(20s), 0);
}

}  // namespace
