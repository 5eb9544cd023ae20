#include "app/first_launch_layout.h"

#include <imgui.h>

#include <filesystem>
#include <system_error>

// Four columns 10 px apart. "CPU state" with the demo window below it; the run controls
// above "RAM view", with "Another Window" below, where it appears when ticked; "Program
// ROM view" above "Hello, world!", which needs 340 px for its frame-rate line; the
// assembler above a "Logger" tall enough for a full log.
const char* const first_launch_layout = R"([Window][CPU state]
Pos=10,10
Size=250,440
Collapsed=0

[Window][Dear ImGui Demo]
Pos=10,460
Size=250,250
Collapsed=0

[Window][Computer Architecture state]
Pos=270,10
Size=400,100
Collapsed=0

[Window][RAM view]
Pos=270,120
Size=400,450
Collapsed=0

[Window][Another Window]
Pos=270,580
Size=250,80
Collapsed=0

[Window][Program ROM view]
Pos=680,10
Size=350,420
Collapsed=0

[Window][Hello, world!]
Pos=680,440
Size=350,180
Collapsed=0

[Window][(Diss)Assembler]
Pos=1040,10
Size=230,250
Collapsed=0

[Window][Logger]
Pos=1040,270
Size=230,440
Collapsed=0
)";

void seed_first_launch_layout() {
    const char* file = ImGui::GetIO().IniFilename;
    if (file == nullptr) return;
    std::error_code error;
    if (std::filesystem::status(file, error).type() != std::filesystem::file_type::not_found)
        return;
    ImGui::LoadIniSettingsFromMemory(first_launch_layout);
}
