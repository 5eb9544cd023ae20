// What the end-to-end tests need to run the real workbench: a private X server, child
// processes with their standard output captured, and xdotool.
//
// Usage:
//   XServer x;                                  // Xvfb on a free display
//   Process app({KELVANE_BINARY}, {{"DISPLAY", x.display()}}, working_dir);
//   std::string id = x.wait_for_window("Kelvane", 20s);
//   app.signal(SIGTERM);
//   int status = app.wait(10s);                 // exit status, or -1 on a timeout
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

using Env = std::vector<std::pair<std::string, std::string>>;

// A child process. Standard output goes to a file that `output()` reads back; standard
// error is left with the test's. The process is killed if it still runs when the object
// goes away.
class Process {
public:
    Process(const std::vector<std::string>& argv, const Env& env = {},
            const std::string& working_dir = "");
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void signal(int sig) const;
    // The exit status (0..255), 128 + the signal if one ended it, or -1 if it has not
    // ended within `timeout` (it is then still running).
    int wait(std::chrono::milliseconds timeout);
    bool running();
    std::string output() const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string output_path_;
};

// An Xvfb server of its own on the first free display.
class XServer {
public:
    explicit XServer(const std::string& screen = "1600x900x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display() const { return display_; }

    // Runs a command with DISPLAY set to this server; returns its standard output.
    std::string run(const std::string& command, int* status = nullptr) const;
    // The X window ID of the first window whose name matches `name` (a regular
    // expression, as xdotool takes it), or "" if none has appeared within `timeout`.
    std::string wait_for_window(const std::string& name, std::chrono::milliseconds timeout) const;

    // Asks the window to close, as a window manager's close button does (a
    // WM_DELETE_WINDOW message). Returns false if the server could not be reached.
    bool close_window(const std::string& window_id) const;

    // The pixels of a rectangle of a window, in window coordinates, as the server holds
    // them: for telling whether that part of the window has changed. "" if unreadable.
    std::string pixels(const std::string& window_id, int x, int y, int width, int height) const;

    // Writes the whole window as a binary PPM image. Returns false if it could not.
    bool screenshot(const std::string& window_id, const std::string& path) const;

private:
    pid_t pid_ = -1;
    std::string display_;
};
