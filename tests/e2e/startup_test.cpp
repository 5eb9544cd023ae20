// The real workbench under a private X server: it opens its window, quits cleanly on a
// quit request, and reports a failed start-up in one line.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <thread>
#include <vector>

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

// Where there is no display SDL settles on a driver that shows no window; unless the user
// chose it, that ends the start-up with one line, the only output on either stream, also
// where XDG_RUNTIME_DIR is not set (chroots, containers). Chosen, the workbench runs.
TEST(StartUp, NoDisplayGivesOneErrorLineUnlessAWindowlessDriverWasChosen) {
    ScratchDir scratch;
    struct Case {
        const char* display;
        bool runtime_dir;
        std::string output;
    } cases[] = {
        {"", false, "Error: no display found: DISPLAY and WAYLAND_DISPLAY are not set\n"},
        {"", true, "Error: no display found: DISPLAY and WAYLAND_DISPLAY are not set\n"},
        {":65000", false, "Error: no display found: cannot open X display :65000\n"},
        {":65000", true, "Error: no display found: cannot open X display :65000\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("DISPLAY=") + c.display +
                     (c.runtime_dir ? ", XDG_RUNTIME_DIR set" : ", no XDG_RUNTIME_DIR"));
        // Both streams into the one that Process reads, in the order they were written.
        std::vector<std::string> argv{"env", "-u", "WAYLAND_DISPLAY", "-u", "SDL_VIDEODRIVER"};
        if (!c.runtime_dir) argv.insert(argv.end(), {"-u", "XDG_RUNTIME_DIR"});
        argv.insert(argv.end(), {"sh", "-c", "exec \"$0\" 2>&1", KELVANE_BINARY});
        Env env{{"DISPLAY", c.display}, {"XDG_CACHE_HOME", scratch.path("cache")}};
        if (c.runtime_dir) env.emplace_back("XDG_RUNTIME_DIR", scratch.dir());
        Process failing(argv, env, scratch.dir());
        EXPECT_EQ(failing.wait(5s), 255);
        EXPECT_EQ(failing.output(), c.output);
    }

    Process running({KELVANE_BINARY},
                    {{"DISPLAY", ""},
                     {"WAYLAND_DISPLAY", ""},
                     {"XDG_CACHE_HOME", scratch.path("cache")},
                     {"SDL_VIDEODRIVER", "offscreen"}},
                    scratch.dir());
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(running.running()) << running.output();
    running.signal(SIGTERM);
    EXPECT_EQ(running.wait(20s), 0);
}
