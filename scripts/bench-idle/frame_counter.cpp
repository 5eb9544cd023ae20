// Loaded with LD_PRELOAD by scripts/bench-idle.sh: counts the frames a program presents
// without touching the program. Every SDL_GL_SwapWindow adds one to the 64-bit counter
// held in the file named by FRAME_COUNTER (mapped shared, so the script reads it while
// the program runs), then calls SDL's own. With FRAME_PACE_HZ set it then waits out what
// is left of that frame's period, as the workbench itself does where vertical sync does
// not pace it, so that a program without that wait can be measured at the same rate.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

struct SDL_Window;

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static const Swap sdl_swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static std::uint64_t* const counter = [] {
        const char* path = std::getenv("FRAME_COUNTER");
        const int fd = path != nullptr ? open(path, O_RDWR) : -1;
        if (fd < 0) return static_cast<std::uint64_t*>(nullptr);
        void* mapped =
            mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        return mapped == MAP_FAILED ? nullptr : static_cast<std::uint64_t*>(mapped);
    }();
    using Clock = std::chrono::steady_clock;
    static const Clock::duration period = []() -> Clock::duration {
        const char* hz = std::getenv("FRAME_PACE_HZ");
        const double rate = hz != nullptr ? std::atof(hz) : 0.0;
        if (rate <= 0) return Clock::duration::zero();
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1 / rate));
    }();
    static Clock::time_point frame_start = Clock::now();
    if (counter != nullptr) __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
    sdl_swap(window);
    if (period != Clock::duration::zero()) {
        std::this_thread::sleep_until(frame_start + period);
        frame_start = Clock::now();
    }
}
