#include "tests/e2e/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string temp_dir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

// X errors (a window gone, a rectangle outside it) show as empty results, not as an exit.
int ignore_x_error(Display*, XErrorEvent*) {
    return 0;
}

// The status waitpid reported, as a shell reports it.
int decode_status(int raw) {
    if (WIFEXITED(raw)) return WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
    return -1;
}

}  // namespace

Process::Process(const std::vector<std::string>& argv, const Env& env,
                 const std::string& working_dir) {
    std::string pattern = temp_dir() + "/kelvane-stdout-XXXXXX";
    const int out = mkstemp(pattern.data());
    output_path_ = pattern;

    pid_ = fork();
    if (pid_ == 0) {
        if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(126);
        for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
        dup2(out, STDOUT_FILENO);
        close(out);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out);
}

Process::~Process() {
    if (running()) {
        kill(pid_, SIGKILL);
        wait(std::chrono::seconds(5));
    }
    if (!output_path_.empty()) unlink(output_path_.c_str());
}

void Process::signal(int sig) const {
    if (pid_ > 0) kill(pid_, sig);
}

int Process::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (running()) {
        if (Clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
}

bool Process::running() {
    if (pid_ <= 0 || status_ != -1) return false;
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == 0) return true;
    status_ = done == pid_ ? decode_status(raw) : 255;
    return false;
}

std::string Process::output() const {
    std::ifstream in(output_path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

XServer::XServer(const std::string& screen) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number it chose once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        if (poll(&p, 1, 200) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        if (c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XServer::~XServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string XServer::run(const std::string& command, int* status) const {
    const std::string line = "DISPLAY=" + display_ + " " + command;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) return "";
    std::string out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int raw = pclose(pipe);
    if (status != nullptr) *status = decode_status(raw);
    return out;
}

std::string XServer::wait_for_window(const std::string& name,
                                     std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        std::string id = run("xdotool search --name '" + name + "' 2>/dev/null");
        const auto end = id.find('\n');
        if (end != std::string::npos) return id.substr(0, end);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return "";
}

bool XServer::close_window(const std::string& window_id) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (x == nullptr) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(window_id.c_str(), nullptr, 0);
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, event.xclient.window, False, NoEventMask, &event);
    XFlush(x);
    XCloseDisplay(x);
    return true;
}

std::string XServer::pixels(const std::string& window_id, int x, int y, int width,
                            int height) const {
    Display* display = XOpenDisplay(display_.c_str());
    if (display == nullptr) return "";
    XSetErrorHandler(&ignore_x_error);
    const Window window = std::strtoul(window_id.c_str(), nullptr, 0);
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    std::string out;
    if (image != nullptr) {
        out.assign(image->data, static_cast<std::size_t>(image->bytes_per_line) * height);
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return out;
}

bool XServer::screenshot(const std::string& window_id, const std::string& path) const {
    Display* display = XOpenDisplay(display_.c_str());
    if (display == nullptr) return false;
    XSetErrorHandler(&ignore_x_error);
    const Window window = std::strtoul(window_id.c_str(), nullptr, 0);
    XWindowAttributes attributes{};
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) != 0)
        image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                          static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    bool written = false;
    if (image != nullptr) {
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << image->width << " " << image->height << "\n255\n";
        // Each channel's mask tells where it lies in a pixel; scale it to 8 bits.
        const auto channel = [](unsigned long pixel, unsigned long mask) {
            int shift = 0;
            while (mask != 0 && (mask & 1) == 0) {
                mask >>= 1;
                ++shift;
            }
            return static_cast<char>(mask == 0 ? 0 : ((pixel >> shift) & mask) * 255 / mask);
        };
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const char rgb[3] = {channel(pixel, image->red_mask),
                                     channel(pixel, image->green_mask),
                                     channel(pixel, image->blue_mask)};
                out.write(rgb, 3);
            }
        }
        written = static_cast<bool>(out);
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return written;
}
