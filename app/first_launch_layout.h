// Where the windows stand the first time the workbench starts in a directory: the six
// simulator windows side by side across the 1280 x 720 window, each big enough for what
// it shows, and the demo and example windows in the room they leave. From then on Dear
// ImGui keeps the layout in "imgui.ini" in the working directory, and that file decides.
#pragma once

// The layout, in the syntax of Dear ImGui's ini file.
extern const char* const first_launch_layout;

// Gives Dear ImGui the first-launch layout if the file it reads its layout from
// (io.IniFilename) does not exist. Call after ImGui::CreateContext() and before the first
// frame: settings given before the first frame stand in for the file, which Dear ImGui
// then does not read, so where there is a file (or its state cannot be told) this does
// nothing. Dear ImGui writes the file at exit as usual.
void seed_first_launch_layout();
