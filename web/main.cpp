// Kelvane in the browser: the desktop's frame on a WebGL 2 canvas.
//
// main() brings up SDL2 on the page's canvas, a WebGL 2 context and Dear ImGui with its
// SDL2 backend and the OpenGL 3 renderer (GLSL ES 3.00), creates the message log, the
// machine and the run clock as the desktop does, and hands the frame loop's pass to the
// browser, which calls it once per animation frame, at the display's refresh. The page
// (index.html, page.js) has mounted the home folder and made it the working directory
// before main() runs, so the panels' file names and Dear ImGui's imgui.ini live there.
// The shell never ends: closing the tab ends it.
//
// Start-up failures go to standard error, which the page shows.
#include <SDL.h>
#include <emscripten.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/example_windows.h"
#include "app/first_launch_layout.h"
#include "app/frame_loop.h"
#include "machine/cpu_stepper.h"
#include "machine/isa4.h"
#include "panels/logger.h"
#include "text/message.h"
#include "web/check.h"
#include "web/editor_source.h"
#include "web/home_files.h"
#include "web/twin.h"

namespace {

// What lives for the whole page. The browser calls the frame after main() has returned,
// so nothing of it may live on main()'s stack.
struct WebShell {
    SDL_Window* window = nullptr;
    ShellState shell;
    Logger log{20};
    Isa4 arch{};
    CpuStepper cpu_stepper{1000, 1000};  // period and most credit per frame, in ms
    bool command_is_ctrl = false;        // macOS: Cmd does what Ctrl does elsewhere
    bool drawn = false;                  // the first frame has been drawn
    Isa4::Rom assembled{};               // the ROM the editor loaded last
    bool editor_loaded = false;          // the editor has loaded one
    int executed = -1;                   // the address of the word executed last, or -1
};

WebShell web;

int start_up_failed(const char* reason) {
    std::fprintf(stderr, "Error: %s\n", reason);
    EM_ASM({ Module.startUpFailed(UTF8ToString($0)); }, reason);
    return -1;
}

// On macOS the browser reports Cmd as the GUI key; the fields' fast steps (and Dear
// ImGui's shortcuts) read Ctrl, so Cmd counts as Ctrl there.
void platform_new_frame() {
    ImGui_ImplSDL2_NewFrame();
    if (web.command_is_ctrl) {
        ImGuiIO& io = ImGui::GetIO();
        io.KeyCtrl = io.KeyCtrl || io.KeySuper;
    }
}

void frame() {
    static const FrameBackends backends{ImGui_ImplOpenGL3_NewFrame, platform_new_frame,
                                        ImGui_ImplOpenGL3_RenderDrawData};
    const Isa4 before = web.arch;
    run_frame(backends, web.window, web.shell, web.arch, web.log, web.cpu_stepper);
    web.executed = last_executed(before, web.arch, web.executed);
    if (!web.drawn) {
        web.drawn = true;
        EM_ASM({ Module.firstFrameDrawn(); });
    }
}

// --- What the page calls ---

// Lines for the page, one text: valid until the next call.
const char* page_text(const std::vector<std::string>& lines) {
    static std::string text;
    text.clear();
    for (const std::string& line : lines) text += line + "\n";
    return text.c_str();
}

}  // namespace

// A file from the student's computer: `bytes` holds `size` bytes, or is null when the
// page refused to read a file that large.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_add_file(const char* name, const char* bytes,
                                                             std::size_t size) {
    const std::string_view content = bytes ? std::string_view(bytes, size) : std::string_view();
    return page_text(add_home_file(name, content, size));
}

extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_delete_file(const char* name) {
    return page_text(delete_home_file(name));
}

// The page's report of a save that its storage refused: logged as a failed save.
// "Check": `program` graded against `suite`, both named from the home folder (or any
// folder of the page's file system). "page\n" and the feedback page, or "error\n" and
// the lines that say why there is none; valid until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_check(const char* suite, const char* program) {
    static std::string text;
    const CheckOutcome out = check_program(suite, program);
    text = (out.page ? "page\n" : "error\n") + out.text;
    return text.c_str();
}

extern "C" EMSCRIPTEN_KEEPALIVE void kelvane_storage_refused(const char* path, const char* reason) {
    const std::string line = storage_refused_message(path, reason);
    web.log.add(line);
    std::fprintf(stderr, "%s\n", line.c_str());  // the browser's console
}

// --- What the editor calls ---

// The language layer's view of the text being edited (see web/editor_source.h).
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_source_facts(const char* source) {
    static std::string json;
    json = source_facts_json(source);
    return json.c_str();
}

// The hover at `line` and `column` (bytes, from 1) of the text being edited.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_source_hover(const char* source, int line,
                                                                 int column) {
    static std::string json;
    json = source_hover_json(source, line, column);
    return json.c_str();
}

// "Assemble and load": `name` is the source's file in the home folder.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_assemble_and_load(const char* name,
                                                                      const char* source,
                                                                      int write_image) {
    static std::string json;
    const LoadOutcome result = assemble_and_load(name, source, web.arch.rom, write_image != 0);
    if (result.loaded) {
        web.assembled = web.arch.rom;
        web.editor_loaded = true;
    }
    web.log.add(result.log_line);
    json = result.json;
    return json.c_str();
}

// "Load RAM data": the RAM image beside the source `name`.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_load_ram_beside(const char* name) {
    static std::string json;
    const LoadOutcome result = load_ram_beside(name, web.arch.ram);
    web.log.add(result.log_line);
    json = result.json;
    return json.c_str();
}

// "Trace": {"message", "html"}, the page `isa4 trace` writes or an empty text; the
// message goes to the log too.
extern "C" EMSCRIPTEN_KEEPALIVE const char* kelvane_trace_page(const char* name,
                                                               const char* source) {
    static std::string json;
    const TracePage page = trace_page(name, source);
    web.log.add(page.message);
    json = "{\"message\":" + json_text(page.message) + ",\"html\":" + json_text(page.html) + "}";
    return json.c_str();
}

// The machine as the editor's marks need it: pc in the low byte (pc + 1 is the next
// word), bit 8 set while the ROM is still the one the editor loaded last, and from bit 9
// up the address of the word executed last plus one (0 for none since a reset or a
// change by hand).
extern "C" EMSCRIPTEN_KEEPALIVE int kelvane_machine_marks() {
    const bool same = web.editor_loaded && web.arch.rom == web.assembled;
    return web.arch.pc | (same ? 0x100 : 0) | ((web.executed + 1) << 9);
}

int main(int, char**) {
    // emscripten starts with a umask of 0777, under which a saved file could be read by
    // no one: take the usual one.
    umask(022);

    // --- SDL, the canvas and the WebGL 2 context ---
    // Keys go to SDL only while the canvas has the focus, so that the page's own buttons
    // and fields keep theirs.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_KEYBOARD_ELEMENT, "#canvas");
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER) != 0)
        return start_up_failed(SDL_GetError());

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Dear ImGui draws with neither a depth nor a stencil buffer.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    // The page sizes the canvas; SDL follows it and applies the device pixel ratio.
    const auto window_flags = static_cast<SDL_WindowFlags>(
        SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    web.window = SDL_CreateWindow("Kelvane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1280,
                                  720, window_flags);
    if (web.window == nullptr) return start_up_failed(SDL_GetError());
    // The panels draw with what WebGL 2 has of itself. emscripten would otherwise switch
    // on every extension the browser offers as the context is made, one round trip to the
    // GPU each: some 100 ms before the first frame with a software renderer.
    EM_ASM({ EGL.contextAttributes.enableExtensionsByDefault = false; });
    SDL_GLContext gl_context = SDL_GL_CreateContext(web.window);
    if (gl_context == nullptr)
        return start_up_failed(
            "this browser offers no WebGL 2, or has turned it off. Try another browser, or "
            "turn on hardware acceleration in its settings");
    SDL_GL_MakeCurrent(web.window, gl_context);
    SDL_GL_SetSwapInterval(1);

    // --- Dear ImGui ---
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::StyleColorsDark();
    seed_first_launch_layout();  // only where the home folder holds no imgui.ini yet
    ImGui_ImplSDL2_InitForOpenGL(web.window, gl_context);
    ImGui_ImplOpenGL3_Init("#version 300 es");

    // --- The simulator, as on the desktop ---
    web.arch.reset();
    web.log.add("Loaded Isa4");
    attach_twin(web.arch, web.log);
    web.command_is_ctrl = EM_ASM_INT({ return / Mac | iPhone | iPad /.test(navigator.platform); });

    // --- Frame loop: the browser's animation frames ---
    emscripten_set_main_loop(frame, 0, true);
    return 0;
}
