// The real workbench under a private X server, with its windows at known places, for
// end-to-end tests that drive it with xdotool as a user would.
//
// Dear ImGui reads "imgui.ini" from the working directory at start-up and places every
// window it names there, so a test writes `layout_ini` into its scratch directory
// before it starts the workbench. The points below follow from that placement and the
// default style: a 13 px font 7 px per character, a 19 px title bar, 8 px of window
// padding, 19 px framed widgets (text lines 13 px) with 4 px between rows and 8 px
// between items on a row, a button 8 px wider than its label, and an item width of
// 65% of the window. Points are in window coordinates, for `xdotool --window`.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tests/e2e/x_session.h"
#include "tests/scratch_dir.h"

struct Point {
    int x, y;
};

inline constexpr const char* layout_ini = R"([Window][CPU state]
Pos=10,10
Size=250,440
Collapsed=0

[Window][Computer Architecture state]
Pos=270,10
Size=400,100
Collapsed=0

[Window][RAM view]
Pos=270,120
Size=390,450
Collapsed=0

[Window][Program ROM view]
Pos=670,10
Size=300,420
Collapsed=0

[Window][(Diss)Assembler]
Pos=980,10
Size=290,250
Collapsed=0

[Window][Logger]
Pos=980,270
Size=290,200
Collapsed=0

[Window][Hello, world!]
Pos=10,620
Size=300,150
Collapsed=1

[Window][Dear ImGui Demo]
Pos=10,660
Size=300,200
Collapsed=1
)";

// "CPU state" at (10, 10): "Arch: isa4" on the first row, then the "PC" field.
inline constexpr Point pc_field{10 + 8, 10 + 44};  // top left of its value

// "Computer Architecture state" at (270, 10), 400 wide: the "Clocks" slider (260 wide),
// then "Reset CPU", "Step" and "Run"/"Stop" on one row.
inline constexpr int clocks_y = 10 + 37;
inline constexpr Point clocks_min{270 + 10, clocks_y};
inline constexpr Point clocks_max{270 + 8 + 255, clocks_y};
inline constexpr Point reset_button{270 + 8 + 35, 10 + 59};
inline constexpr Point step_button{270 + 8 + 71 + 8 + 18, 10 + 59};
inline constexpr Point run_button{270 + 145, 10 + 59};  // "Run" and "Stop" both cover it

// "RAM view" at (270, 120): the dump (a header and 16 rows of 17 px), "val", "addr", the
// Inc/Dec/Poke row, "Filename", then "Save RAM", "Load RAM" and "Clear All".
inline constexpr Point ram_filename{270 + 8 + 50, 120 + 27 + 17 * 17 + 23 * 3 + 9};
inline constexpr Point save_ram_button{270 + 8 + 32, ram_filename.y + 23};

// "Program ROM view" at (670, 10): "PC:" and "Track PC+1", the 200 px listing, "Sync
// with PC+1", "val", "addr", "Poke", "Filename", then "Save ROM", "Load ROM", "Clear All".
inline constexpr Point rom_filename{670 + 8 + 50, 10 + 27 + 23 + 204 + 23 * 4 + 9};
inline constexpr Point load_rom_button{670 + 8 + 64 + 8 + 32, rom_filename.y + 23};

// A test fixture: an X server, a scratch directory holding the layout, and the workbench
// started in it by `start()`.
class WorkbenchTest : public ::testing::Test {
protected:
    XServer x;
    ScratchDir scratch;
    const std::string& dir = scratch.dir();
    std::unique_ptr<Process> app;
    std::string window;

    void SetUp() override {
        ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
        std::ofstream(dir + "/imgui.ini") << layout_ini;
    }

    // Starts the workbench and waits for its window and its first frames.
    void start() {
        using namespace std::chrono_literals;
        app = std::make_unique<Process>(
            std::vector<std::string>{KELVANE_BINARY},
            Env{{"DISPLAY", x.display()}, {"XDG_CACHE_HOME", dir + "/.cache"}}, dir);
        window = x.wait_for_window("^Kelvane$", 30s);
        ASSERT_FALSE(window.empty()) << "no window titled Kelvane";
        std::this_thread::sleep_for(1s);
    }

    // A moment for the workbench to draw a few frames after an action.
    static void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

    void click(Point at) const {
        x.run("xdotool mousemove --window " + window + " " + std::to_string(at.x) + " " +
              std::to_string(at.y) + " click 1");
    }

    // Clicks into a text field and types into it.
    void type_into(Point field, const std::string& text) const {
        click(field);
        pause();
        x.run("xdotool type --delay 40 '" + text + "'");
        pause();
    }

    // Ctrl+click on a slider opens it for typing; the text replaces its value.
    void type_into_slider(Point slider, const std::string& text) const {
        x.run("xdotool mousemove --window " + window + " " + std::to_string(slider.x) + " " +
              std::to_string(slider.y) + " keydown ctrl click 1 keyup ctrl");
        pause();
        x.run("xdotool type --delay 40 '" + text + "'");
        press_key("Return");
    }

    // A key held for a moment: one released within the same frame may go unseen.
    void press_key(const std::string& key) const {
        x.run("xdotool keydown " + key + " sleep 0.1 keyup " + key);
        pause();
    }
};
