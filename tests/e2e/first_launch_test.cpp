// A first launch of the real workbench in an empty directory: the imgui.ini Dear ImGui
// writes at exit places the six simulator windows apart from each other and from the
// example windows, inside the 1280 x 720 window. A screenshot stays in the artefacts.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/x_session.h"
#include "tests/scratch_dir.h"

namespace {

using namespace std::chrono_literals;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
};

// Pos and Size of every [Window][...] section of an imgui.ini.
std::map<std::string, Rect> windows_in(const std::string& ini) {
    std::map<std::string, Rect> found;
    std::istringstream in(ini);
    std::string line, name;
    while (std::getline(in, line)) {
        if (line.rfind("[Window][", 0) == 0)
            name = line.substr(9, line.size() - 10);
        else if (line.rfind("Pos=", 0) == 0)
            std::sscanf(line.c_str(), "Pos=%d,%d", &found[name].x, &found[name].y);
        else if (line.rfind("Size=", 0) == 0)
            std::sscanf(line.c_str(), "Size=%d,%d", &found[name].w, &found[name].h);
    }
    return found;
}

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

TEST(FirstLaunch, WindowsStandApartInsideTheWindow) {
    XServer x;
    ASSERT_FALSE(x.display().empty());
    ScratchDir scratch;
    Process app({KELVANE_BINARY},
                {{"DISPLAY", x.display()}, {"XDG_CACHE_HOME", scratch.path(".cache")}},
                scratch.dir());
    const std::string window = x.wait_for_window("^Kelvane$", 30s);
    ASSERT_FALSE(window.empty());
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(x.screenshot(window, std::string(KELVANE_ARTEFACT_DIR) + "/first-launch.ppm"));
    ASSERT_TRUE(x.close_window(window));
    ASSERT_EQ(app.wait(20s), 0);

    const Bytes ini = read_file(scratch.path("imgui.ini"));
    const auto rects = windows_in(std::string(ini.begin(), ini.end()));
    const char* simulator[] = {"CPU state",       "Program ROM view",
                               "RAM view",        "Computer Architecture state",
                               "(Diss)Assembler", "Logger"};
    const char* shown[] = {
        "CPU state",       "Program ROM view", "RAM view",      "Computer Architecture state",
        "(Diss)Assembler", "Logger",           "Hello, world!", "Dear ImGui Demo"};
    for (const char* name : simulator) {
        ASSERT_TRUE(rects.count(name)) << name;
        const Rect& r = rects.at(name);
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.w <= 1280 && r.y + r.h <= 720) << name;
        for (const char* other : shown) {
            if (std::string(other) == name || !rects.count(other)) continue;
            EXPECT_FALSE(overlap(r, rects.at(other))) << name << " and " << other;
        }
    }
    EXPECT_TRUE(rects.count("Hello, world!") && rects.count("Dear ImGui Demo"));
}

}  // namespace
