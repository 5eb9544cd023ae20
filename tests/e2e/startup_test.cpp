// The real workbench under a private X server: it opens its window, quits cleanly on a
// quit request, and reports a failed start-up in one line.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>

#include "tests/e2e/x_session.h"

namespace {

using namespace std::chrono_literals;

std::string value_of(const std::string& shell_vars, const std::string& name) {
    const auto at = shell_vars.find(name + "=");
    if (at == std::string::npos) return "";
    const auto start = at + name.size() + 1;
    return shell_vars.substr(start, shell_vars.find('\n', start) - start);
}

class Workbench : public ::testing::Test {
protected:
    XServer x;
    std::string dir = make_scratch_dir();

    void SetUp() override { ASSERT_FALSE(x.display().empty()) << "Xvfb did not start"; }
};

TEST_F(Workbench, OpensA1280By720WindowAndQuitsQuietlyOnSigterm) {
    Process app({KELVANE_BINARY}, {{"DISPLAY", x.display()}}, dir);
    const std::string window = x.wait_for_window("^Kelvane$", 30s);
    ASSERT_FALSE(window.empty()) << "no window titled Kelvane";

    const std::string geometry = x.run("xdotool getwindowgeometry --shell " + window);
    EXPECT_EQ(value_of(geometry, "WIDTH"), "1280") << geometry;
    EXPECT_EQ(value_of(geometry, "HEIGHT"), "720") << geometry;

    // Let a few frames run, then ask it to end as the system would.
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(app.running());
    app.signal(SIGTERM);
    EXPECT_EQ(app.wait(20s), 0);
    EXPECT_EQ(app.output(), "");
}

TEST_F(Workbench, ClosingTheWindowEndsWithStatusZero) {
    Process app({KELVANE_BINARY}, {{"DISPLAY", x.display()}}, dir);
    const std::string window = x.wait_for_window("^Kelvane$", 30s);
    ASSERT_FALSE(window.empty()) << "no window titled Kelvane";
    std::this_thread::sleep_for(300ms);

    ASSERT_TRUE(x.close_window(window));
    EXPECT_EQ(app.wait(20s), 0);
    EXPECT_EQ(app.output(), "");
}

TEST(StartUp, AVideoDriverThatDoesNotExistGivesOneErrorLine) {
    Process app({KELVANE_BINARY}, {{"SDL_VIDEODRIVER", "no-such-driver"}}, make_scratch_dir());
    EXPECT_EQ(app.wait(20s), 255);
    const std::string out = app.output();
    EXPECT_EQ(out.rfind("Error: ", 0), 0u) << out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "more than one line: " << out;
}

}  // namespace
