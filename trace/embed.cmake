# Writes the page's HTML, CSS and script as C++ character arrays into one header, so that
# isa4 carries them inside the binary.
#   cmake -DOUT=page_files.h -DFILES="name=path|name=path" -P embed.cmake
set(text "// Made by trace/embed.cmake from trace/page/: do not edit.\n#pragma once\n")
string(REPLACE "|" ";" files "${FILES}")
foreach(pair ${files})
    string(REPLACE "=" ";" parts "${pair}")
    list(GET parts 0 name)
    list(GET parts 1 path)
    file(READ "${path}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(APPEND text "inline constexpr char ${name}[] = {${bytes}'\\0'};\n")
endforeach()
file(WRITE "${OUT}.tmp" "${text}")
file(RENAME "${OUT}.tmp" "${OUT}")
