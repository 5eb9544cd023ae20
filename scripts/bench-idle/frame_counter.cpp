// Loaded with LD_PRELOAD by scripts/bench-idle.sh: counts the frames a program presents
// without touching the program. Every SDL_GL_SwapWindow adds one to the 64-bit counter
// held in the file named by FRAME_COUNTER (mapped shared, so the script reads it while
// the program runs), then calls SDL's own.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

struct SDL_Window;

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static const Swap sdl_swap = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static std::uint64_t* const counter = [] {
        const char* path = std::getenv("FRAME_COUNTER");
        const int fd = path != nullptr ? open(path, O_RDWR) : -1;
        if (fd < 0) return static_cast<std::uint64_t*>(nullptr);
        void* mapped = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        return mapped == MAP_FAILED ? nullptr : static_cast<std::uint64_t*>(mapped);
    }();
    if (counter != nullptr) __atomic_add_fetch(counter, 1, __ATOMIC_RELAXED);
    sdl_swap(window);
}
