#include "panels/logger.h"

#include <imgui.h>

void Logger::add(std::string_view message) {
    messages.emplace_front(message);
    // The oldest messages make room. The emptiness test keeps a capacity of 0 from
    // popping an empty queue: such a log simply stays empty, as one of capacity 1 does.
    while (!messages.empty() && messages.size() >= capacity) messages.pop_back();
}

void Logger::draw() const {
    for (const std::string& message : messages) ImGui::TextWrapped("%s", message.c_str());
}

void draw_logger_panel(Logger& log) {
    ImGui::Begin("Logger");
    if (ImGui::Button("Clear All")) log.clear();
    log.draw();
    ImGui::End();
}
