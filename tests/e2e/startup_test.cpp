// The real workbench under a private X server: it opens its window, quits cleanly on a
// quit request, and reports a failed start-up in one line.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>

#include "tests/e2e/workbench_window.h"

namespace {

using namespace std::chrono_literals;

std::string value_of(const std::string& shell_vars, const std::string& name) {
    const auto at = shell_vars.find(name + "=");
    if (at == std::string::npos) return "";
    const auto start = at + name.size() + 1;
    return shell_vars.substr(start, shell_vars.find('\n', start) - start);
}

using Workbench = WorkbenchTest;

TEST_F(Workbench, OpensA1280By720WindowAndQuitsQuietlyOnSigterm) {
    ASSERT_NO_FATAL_FAILURE(start());
    const std::string geometry = x.run("xdotool getwindowgeometry --shell " + window);
    EXPECT_EQ(value_of(geometry, "WIDTH"), "1280") << geometry;
    EXPECT_EQ(value_of(geometry, "HEIGHT"), "720") << geometry;

    // Ask it to end as the system would.
    ASSERT_TRUE(app->running());
    app->signal(SIGTERM);
    EXPECT_EQ(app->wait(20s), 0);
    EXPECT_EQ(app->output(), "");
}

TEST_F(Workbench, ClosingTheWindowEndsWithStatusZero) {
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(x.close_window(window));
    EXPECT_EQ(app->wait(20s), 0);
    EXPECT_EQ(app->output(), "");
}

TEST(StartUp, AVideoDriverThatDoesNotExistGivesOneErrorLine) {
    ScratchDir scratch;
    Process app({KELVANE_BINARY}, {{"SDL_VIDEODRIVER", "no-such-driver"}}, scratch.dir());
    EXPECT_EQ(app.wait(20s), 255);
    const std::string out = app.output();
    EXPECT_EQ(out.rfind("Error: ", 0), 0u) << out;
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "more than one line: " << out;
}

}  // namespace
