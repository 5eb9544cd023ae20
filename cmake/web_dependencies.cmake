# SDL2 and Dear ImGui for the browser, from Debian's source packages: scripts/web.sh
# fetches them with apt-get source, builds SDL2 with emscripten into a prefix and names
# both here.
#
#   KELVANE_WEB_SDL2   the prefix SDL2 was installed into (lib/libSDL2.a, include/SDL2)
#   KELVANE_WEB_IMGUI  the unpacked source of Debian's imgui package
#
# They stand in for the desktop's SDL2::SDL2 and imgui_backends: Dear ImGui with its SDL2
# backend and the OpenGL 3 renderer, which draws on WebGL 2 with GLSL ES 3.00.
set(KELVANE_WEB_SDL2 "" CACHE PATH "SDL2 built with emscripten (its install prefix)")
set(KELVANE_WEB_IMGUI "" CACHE PATH "Dear ImGui's source, from Debian's source package")
foreach(dependency KELVANE_WEB_SDL2 KELVANE_WEB_IMGUI)
    if(NOT IS_DIRECTORY "${${dependency}}")
        message(FATAL_ERROR "${dependency} must name a folder (scripts/web.sh sets it)")
    endif()
endforeach()

add_library(SDL2::SDL2 STATIC IMPORTED)
set_target_properties(SDL2::SDL2 PROPERTIES
    IMPORTED_LOCATION ${KELVANE_WEB_SDL2}/lib/libSDL2.a
    INTERFACE_INCLUDE_DIRECTORIES ${KELVANE_WEB_SDL2}/include/SDL2)

# Dear ImGui as Debian builds it, with the stb headers its source carries.
add_library(imgui_backends STATIC
    ${KELVANE_WEB_IMGUI}/imgui.cpp
    ${KELVANE_WEB_IMGUI}/imgui_demo.cpp
    ${KELVANE_WEB_IMGUI}/imgui_draw.cpp
    ${KELVANE_WEB_IMGUI}/imgui_tables.cpp
    ${KELVANE_WEB_IMGUI}/imgui_widgets.cpp
    ${KELVANE_WEB_IMGUI}/backends/imgui_impl_sdl.cpp
    ${KELVANE_WEB_IMGUI}/backends/imgui_impl_opengl3.cpp
)
target_include_directories(imgui_backends SYSTEM PUBLIC ${KELVANE_WEB_IMGUI}
    ${KELVANE_WEB_IMGUI}/backends)
target_link_libraries(imgui_backends PUBLIC SDL2::SDL2)
# Not our code: its warnings are Dear ImGui's.
target_compile_options(imgui_backends PRIVATE -w)
