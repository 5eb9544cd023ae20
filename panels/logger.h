// Logger: the workbench's message log, newest first, bounded by a capacity.
//
// Usage:
//   Logger log(20);
//   log.add("Loaded Isa4");
//   draw_logger_panel(log);   // each frame: the "Logger" window
//
// After every `add` the log holds at most capacity - 1 messages: a capacity of 20 keeps
// the 19 newest. The log owns copies of the texts it is given.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

class Logger {
public:
    std::deque<std::string> messages;  // newest at the front
    std::size_t capacity;

    explicit Logger(std::size_t capacity) : capacity(capacity) {}

    void add(std::string_view message);
    void clear() { messages.clear(); }

    // One wrapped text item per message, newest on top, into the current window.
    void draw() const;
};

// The "Logger" window: a "Clear All" button above the messages.
void draw_logger_panel(Logger& log);
